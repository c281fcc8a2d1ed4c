#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "http/cookie_manager.h"
#include "http/http_request.h"
#include "http/http_response.h"
#include "http/limits.h"
#include "http/proxy_rules.h"
#include "http/uri.h"
#include "net/tcp_client.h"
#include "net/tls_context.h"

namespace mevra::http {

enum class HttpProtocolVersion { pv1_0, pv1_1 };
enum class HttpOption { hoInProcessAuth, hoKeepOrigProtocol, hoForceEncodeParams };

// The blocking HTTP/1.x client on top of the TCP client: one request cycle from a URL to the body
// in the caller's stream, with keep-alive, redirects and cookies. Relative URLs resolve against
// the previous request. A Get blocks; work events report the body's progress, and an OnWork
// handler may call CloseConnection to cut a transfer short.
class CustomHttpClient : public net::TcpClient {
 public:
  CustomHttpClient();
  ~CustomHttpClient() override;

  HttpProtocolVersion ProtocolVersion() const { return protocol_version_; }
  void SetProtocolVersion(HttpProtocolVersion version) { protocol_version_ = version; }
  bool HandleRedirects() const { return handle_redirects_; }
  void SetHandleRedirects(bool value) { handle_redirects_ = value; }
  int32_t RedirectMaximum() const { return redirect_maximum_; }
  void SetRedirectMaximum(int32_t value) { redirect_maximum_ = value; }
  int32_t AuthRetries() const { return auth_retries_; }
  void SetAuthRetries(int32_t value) { auth_retries_ = value; }
  bool AllowCookies() const { return allow_cookies_; }
  void SetAllowCookies(bool value) { allow_cookies_ = value; }
  const std::set<HttpOption>& HTTPOptions() const { return http_options_; }
  void SetHTTPOptions(std::set<HttpOption> options) { http_options_ = std::move(options); }
  // An extra bundle of trusted certificates (PEM) for https, besides the system's; empty for
  // none. A file that cannot be loaded fails the next https request with TlsCaFileError.
  const std::string& CaFile() const { return ca_file_; }
  void SetCaFile(const std::string& path);
  // The TLS settings of https connections, the CA file's among them. Clients share one per CA
  // file (TlsContext::Shared) unless given their own, so that the system's store (some
  // milliseconds to load) is loaded once for all of them.
  void SetTlsContext(std::shared_ptr<net::TlsContext> context);
  // The settings in use; null before the first https connection.
  const std::shared_ptr<net::TlsContext>& TlsSettings() const { return tls_context_; }
  // The time limit (ms) of opening a connection, the TLS handshake included; -2 = no limit,
  // -1 (the default) = the read time-out, which also serves as the connect's.
  int32_t ConnectTimeout() const { return connect_timeout_; }
  void SetConnectTimeout(int32_t ms) { connect_timeout_ = ms; }

  // The proxies requests go through: plain http ones in absolute form to an HTTP proxy (with
  // its credentials as Basic Proxy-Authorization), https ones and every one through SOCKS in a
  // tunnel the proxy opens, TLS then running to the server itself. Straight by default. A
  // connection made one way is never reused for a request that should go another.
  const ProxyRules& Proxy() const { return proxy_rules_; }
  void SetProxy(ProxyRules rules) { proxy_rules_ = std::move(rules); }

  // The cookie store in use: one assigned here (not owned), or the client's own, created with
  // the first response head when cookies are allowed. nullptr before that.
  CookieManager* CookieStore() const { return cookie_manager_; }
  void SetCookieStore(CookieManager* manager);

  HttpRequest& Request() { return request_; }
  const HttpRequest& Request() const { return request_; }
  HttpResponse& Response() { return response_; }
  const HttpResponse& Response() const { return response_; }
  const std::string& ResponseText() const { return response_.ResponseText(); }
  int32_t ResponseCode() const { return response_.ResponseCode(); }

  // The target every request URL is merged into; it persists between calls.
  const Uri& URL() const { return url_; }
  // Requests sent in the running call, the first one included; 0 between calls.
  int32_t RedirectCount() const { return redirect_count_; }
  // True while a request cycle of this client runs (handlers run inside it).
  bool InsideGet() const { return inside_request_; }

  // Setting the peer also sets the host and port of the target.
  void SetHost(const std::string& host) override;
  void SetPort(int32_t port) override;
  // Also notes the close, so a body that ends short because a work handler closed the
  // connection is told apart from one the peer cut: a Get whose caller closed the connection
  // during a body ends normally, with what arrived of a final body, or nothing when the body
  // was a redirect's.
  void CloseConnection() override;

  // Called for each redirect before it is followed. It may change the location and the method;
  // clearing `handled` makes the redirect fail as an error status.
  std::function<void(CustomHttpClient& sender, std::string& location, HttpMethod& method,
                     bool& handled, int32_t redirect_count)>
      OnRedirect;

 protected:
  // One request cycle: the request and every redirect it leads to, the final body written to
  // `content` from its current position. Throws GetInProgressError when a cycle already runs.
  void DoRequest(HttpMethod method, const std::string& url, net::Stream* source,
                 net::Stream* content);
  // A TLS handler for an https target, a plain one otherwise.
  std::shared_ptr<net::IoHandler> NewIoHandler() override;

 private:
  enum class Outcome { kUndefined, kFollow, kDone };
  // How a response's body ends on the wire.
  struct Framing {
    enum class Kind { kNone, kChunked, kLength, kUntilClose } kind;
    int64_t length = 0;
  };

  // Closes the connection for the client's own reasons, which are no stop asked for.
  void Disconnect();
  // Whether the target is https, which needs TLS and allows Secure cookies.
  bool SecureTarget() const;
  // Whether the running request goes to an HTTP proxy in absolute form.
  bool AbsoluteForm() const;
  // The proxy the connection's own handler asks for a tunnel; kNone for none.
  net::ProxyServer TunnelProxy() const;
  // Keeps the connection for the next request only when the last response was read to the end
  // of its body and allows keep-alive.
  void FinishExchange();
  std::string PrepareRequest();
  // The request's credentials for the target just merged: those of the request URL, else the
  // ones kept, as long as the target is the server they went to.
  void ScopeCredentials(const Uri& next);
  void ConnectToHost();
  void SendRequestHead(const std::string& target);
  void ReadResponseHead();
  std::string ReadStatusLine();
  void ReadHeaderBlock();
  void StoreCookies();
  Outcome ProcessResponse();
  Outcome HandleRedirect();
  [[noreturn]] void FailWithStatus();
  // Reads the body as the response frames it; throws on a framing fault or a short body.
  void ReadBody(net::Stream& stream);
  void ReadChunkedBody(net::Stream& stream);
  // Reads a body nobody uses (of a redirect or an error) with a time-out of its own; keeps at
  // most `keep` bytes. Failures are swallowed, but a connection whose body could not be read to
  // its end is closed so the next request does not read the rest as its response.
  std::string ReadSpareBody(int32_t timeout, int64_t keep);
  bool HasNoBody() const;
  // Throws FramingError for a body this client cannot frame.
  Framing BodyFraming() const;

  HttpProtocolVersion protocol_version_ = HttpProtocolVersion::pv1_1;
  bool handle_redirects_ = false;
  int32_t redirect_maximum_ = kRedirectMaximum;
  int32_t auth_retries_ = kAuthRetries;
  bool allow_cookies_ = true;
  std::set<HttpOption> http_options_{HttpOption::hoForceEncodeParams};
  std::string ca_file_;
  int32_t connect_timeout_ = -1;
  ProxyRules proxy_rules_;
  // The proxy of the running request, chosen when its target is merged.
  net::ProxyServer route_proxy_;
  // How the open connection was made: straight, to an HTTP proxy, or through a tunnel.
  std::string connected_route_;
  // Taken with the first https connection and used by the later ones.
  std::shared_ptr<net::TlsContext> tls_context_;

  std::unique_ptr<CookieManager> own_cookie_manager_;
  CookieManager* cookie_manager_ = nullptr;
  HttpRequest request_;
  HttpResponse response_{*this};
  Uri url_;
  // The server the request's credentials went to, and those credentials.
  Uri credentials_server_;
  std::string credentials_sent_;
  int32_t redirect_count_ = 0;
  bool inside_request_ = false;
  // A handler closed the connection during the running Get.
  bool close_requested_ = false;
  // The last response was read to the end of its body, so the connection holds nothing of it.
  bool body_complete_ = true;
};

}  // namespace mevra::http

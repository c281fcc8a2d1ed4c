#include "http/custom_http_client.h"

#include "http/bounded_text_stream.h"
#include "http/http_error.h"
#include "http/text_util.h"
#include "net/net_error.h"
#include "net/proxy_error.h"
#include "net/tls_io_handler.h"

namespace mevra::http {

namespace {

// Clears a flag when the scope ends, however it ends.
class FlagGuard {
 public:
  explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagGuard() { flag_ = false; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

 private:
  bool& flag_;
};

// Restores the read time-out when the scope ends.
class TimeoutGuard {
 public:
  TimeoutGuard(net::TcpConnection& connection, int32_t timeout)
      : connection_(connection), saved_(connection.ReadTimeout()) {
    connection_.SetReadTimeout(timeout);
  }
  ~TimeoutGuard() { connection_.SetReadTimeout(saved_); }
  TimeoutGuard(const TimeoutGuard&) = delete;
  TimeoutGuard& operator=(const TimeoutGuard&) = delete;

 private:
  net::TcpConnection& connection_;
  int32_t saved_;
};

// A chunk-size line: hexadecimal digits, then optionally blanks and ";" extensions, which carry
// nothing this client uses. nullopt for anything else or a size beyond 32 bits.
std::optional<int32_t> ParseChunkSize(const std::string& line) {
  size_t end = 0;
  int64_t size = 0;
  while (end < line.size()) {
    const char c = line[end];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      break;
    }
    size = size * 16 + digit;
    if (size > INT32_MAX) return std::nullopt;
    ++end;
  }
  if (end == 0) return std::nullopt;
  const std::string rest = Trim(line.substr(end));
  if (!rest.empty() && rest[0] != ';') return std::nullopt;
  return static_cast<int32_t>(size);
}

}  // namespace

CustomHttpClient::CustomHttpClient() {
  // The peer's port starts at 80 while the target stays empty until the first request.
  TcpClient::SetPort(80);
  request_.SetAccept("text/html, */*");
  request_.SetUserAgent("Mozilla/3.0 (compatible; Mevra HTTP Library)");
}

CustomHttpClient::~CustomHttpClient() = default;

void CustomHttpClient::SetCookieStore(CookieManager* manager) {
  if (manager != own_cookie_manager_.get()) own_cookie_manager_.reset();
  cookie_manager_ = manager;
}

void CustomHttpClient::SetCaFile(const std::string& path) {
  if (path != ca_file_) tls_context_.reset();
  ca_file_ = path;
}

void CustomHttpClient::SetTlsContext(std::shared_ptr<net::TlsContext> context) {
  ca_file_ = context ? context->CaFile() : std::string();
  tls_context_ = std::move(context);
}

bool CustomHttpClient::SecureTarget() const { return EqualsNoCase(url_.Protocol(), "https"); }

bool CustomHttpClient::AbsoluteForm() const {
  return route_proxy_.kind == net::ProxyKind::kHttp && !SecureTarget();
}

net::ProxyServer CustomHttpClient::TunnelProxy() const {
  return route_proxy_.Tunnels(SecureTarget()) ? route_proxy_ : net::ProxyServer();
}

std::shared_ptr<net::IoHandler> CustomHttpClient::NewIoHandler() {
  std::shared_ptr<net::SocketIoHandler> handler;
  if (!SecureTarget()) {
    handler = std::make_shared<net::SocketIoHandler>();
  } else {
    if (!tls_context_) tls_context_ = net::TlsContext::Shared(ca_file_);
    handler = std::make_shared<net::TlsIoHandler>(tls_context_);
  }
  handler->SetProxy(TunnelProxy());
  return handler;
}

void CustomHttpClient::SetHost(const std::string& host) {
  TcpClient::SetHost(host);
  url_.SetHost(host);
}

void CustomHttpClient::SetPort(int32_t port) {
  TcpClient::SetPort(port);
  url_.SetPort(std::to_string(port));
}

void CustomHttpClient::CloseConnection() {
  close_requested_ = true;
  TcpClient::CloseConnection();
}

void CustomHttpClient::Disconnect() { TcpClient::CloseConnection(); }

void CustomHttpClient::FinishExchange() {
  if (!body_complete_ || !response_.KeepAlive()) Disconnect();
}

void CustomHttpClient::DoRequest(HttpMethod method, const std::string& url, net::Stream* source,
                                 net::Stream* content) {
  // A handler run during this client's wait must not start a second cycle on it: the two would
  // share one connection and one response record.
  if (inside_request_) throw GetInProgressError();
  FlagGuard inside(inside_request_);

  const int64_t start = content != nullptr ? content->Position() : 0;
  request_.SetURL(url);
  request_.SetMethod(method);
  request_.SetSource(source);
  response_.SetContentStream(content);
  redirect_count_ = 0;
  close_requested_ = false;

  try {
    Outcome outcome = Outcome::kUndefined;
    do {
      ++redirect_count_;
      const std::string target = PrepareRequest();
      ConnectToHost();
      body_complete_ = false;
      SendRequestHead(target);
      ReadResponseHead();
      outcome = ProcessResponse();
      if (outcome == Outcome::kUndefined) throw net::NetError("Undefined situation");
      if (outcome == Outcome::kFollow && content != nullptr) {
        content->Seek(start);
        content->SetSize(start);
      }
    } while (outcome == Outcome::kFollow);
  } catch (...) {
    // A failure in the middle of a head or a body leaves bytes on the wire that must not be
    // read as the next response; one after a whole response (an error status) does not.
    redirect_count_ = 0;
    FinishExchange();
    throw;
  }
  redirect_count_ = 0;
  FinishExchange();
}

std::string CustomHttpClient::PrepareRequest() {
  const Uri next(request_.URL());
  // Merged into a copy: a URL that cannot be requested leaves the target as it was.
  Uri target = url_;
  target.Merge(next);
  // This client speaks HTTP only; a URL of any other scheme is refused, with a port or without.
  const auto default_port = Uri::DefaultPort(target.Protocol());
  if (!default_port) throw UnknownProtocolError();
  if (target.Host().empty()) throw UriError("Host field is empty");
  // A blank or a control byte in the host would break the Host line, or add lines of its own.
  if (HasBlankOrControl(target.Host())) {
    throw UriError("Host field contains blanks or control bytes");
  }
  const std::string& port_text = target.Port();
  const auto port = ParseInt32(port_text);
  if (port_text.find_first_not_of("0123456789") != std::string::npos || !port || *port < 1 ||
      *port > 65535) {
    throw UriError("Port field is not a number from 1 to 65535");
  }
  target.SetPort(std::to_string(*port));
  url_ = std::move(target);
  ScopeCredentials(next);
  route_proxy_ = proxy_rules_.For(url_.Protocol(), url_.Host());

  // Bytes that may not stand in a request line are percent-encoded, so that a URL can neither
  // split the request line nor add header lines.
  const std::string request_target =
      PercentEncodeForWire(url_.Path() + url_.Document() + url_.Params());
  request_.SetURL(request_target);
  request_.SetContentLength(-1);
  const std::string host = Uri::HostForAuthority(PercentEncodeForWire(url_.Host()));
  request_.SetHost(*port == *default_port ? host : host + ":" + url_.Port());
  // An HTTP proxy needs the whole URL to know where the request goes.
  if (AbsoluteForm()) return url_.Protocol() + "://" + request_.Host() + request_target;
  return request_target;
}

void CustomHttpClient::ScopeCredentials(const Uri& next) {
  const std::string given = request_.Username() + '\0' + request_.Password();
  if (!next.Username().empty()) {
    request_.SetUsername(next.Username());
    request_.SetPassword(next.Password());
  } else if (given.size() == 1) {
    return;
  } else if (given == credentials_sent_ && !Uri::SameServer(credentials_server_, url_)) {
    // Credentials went to one server: a redirect or a later request to another scheme, host or
    // port does not take them along. Ones the caller sets anew go where the caller sends them.
    request_.SetUsername("");
    request_.SetPassword("");
    credentials_sent_.clear();
    return;
  }
  credentials_server_ = url_;
  credentials_sent_ = request_.Username() + '\0' + request_.Password();
}

void CustomHttpClient::ConnectToHost() {
  const bool absolute = AbsoluteForm();
  const int32_t port = absolute ? route_proxy_.port : ParseInt32(url_.Port()).value_or(0);
  const std::string& host = absolute ? route_proxy_.host : url_.Host();
  const bool secure = SecureTarget();
  const net::ProxyServer tunnel = TunnelProxy();
  const std::string route = route_proxy_.kind == net::ProxyKind::kNone
                                ? std::string()
                                : (absolute ? "to " : "through ") + route_proxy_.DisplayText() +
                                      '\0' + route_proxy_.username + '\0' + route_proxy_.password;
  // A handler given from outside carries every request as it is; https needs one that speaks
  // TLS, and without it nothing is sent.
  if (IOHandler() && !OwnsIOHandler() && secure && !IOHandler()->UsesTls()) {
    throw IoHandlerPropInvalidError();
  }
  // A connection of the other kind is never reused, even to the same host and port: https must
  // never go out in plain text.
  const bool other_kind = OwnsIOHandler() && IOHandler()->UsesTls() != secure;
  if (!EqualsNoCase(host, Host()) || port != Port() || other_kind || route != connected_route_) {
    if (IsConnected()) Disconnect();
    TcpClient::SetHost(host);
    TcpClient::SetPort(port);
  }
  // An owned handler kept from a failed open may be of the other kind; OpenConnection makes the
  // right one.
  if (OwnsIOHandler() && IOHandler()->UsesTls() != secure) SetIOHandler(nullptr);

  if (!body_complete_ || !response_.KeepAlive()) Disconnect();
  if (IsConnected()) PollForClose(false);
  if (IsConnected()) return;
  if (OwnsIOHandler()) {
    if (auto* handler = dynamic_cast<net::SocketIoHandler*>(IOHandler().get())) {
      handler->SetProxy(tunnel);
    }
  }
  connected_route_ = route;
  try {
    OpenConnection(connect_timeout_ == -1 ? ReadTimeout() : connect_timeout_);
  } catch (const net::ProxyError&) {
    throw;
  } catch (const net::ClosedSocketError&) {
    throw;
  } catch (const net::NetError& error) {
    // Requests in absolute form connect to the proxy itself.
    if (absolute) throw net::ProxyConnectError(error.what());
    throw;
  }
}

void CustomHttpClient::SendRequestHead(const std::string& target) {
  request_.SetHeaders();
  if (allow_cookies_ && cookie_manager_ != nullptr) {
    const std::string cookies = cookie_manager_->GenerateCookieList(url_, SecureTarget());
    if (!cookies.empty()) request_.RawHeaders().SetValue("Cookie", cookies);
  }
  if (AbsoluteForm() && !route_proxy_.username.empty()) {
    request_.RawHeaders().SetValue(
        "Proxy-Authorization", net::BasicCredentials(route_proxy_.username, route_proxy_.password));
  }

  const char* version = protocol_version_ == HttpProtocolVersion::pv1_0 ? "1.0" : "1.1";
  StartWriteBuffering(-1);
  try {
    WriteLine(std::string(MethodName(request_.Method())) + " " + target + " HTTP/" + version);
    for (const std::string& line : request_.RawHeaders().Lines()) {
      if (!line.empty()) WriteLine(line);
    }
    WriteLine("");
  } catch (...) {
    try {
      EndWriteBuffering();
    } catch (...) {
    }
    throw;
  }
  EndWriteBuffering();
}

void CustomHttpClient::ReadResponseHead() {
  for (;;) {
    std::string status_line = ReadStatusLine();
    response_.Clear();
    response_.SetResponseText(std::move(status_line));
    ReadHeaderBlock();
    response_.ProcessHeaders();
    StoreCookies();
    // Informational answers (100 Continue, 103 Early Hints, ...) come before the real one and
    // have no body. 101 would switch protocols, which this client never asks for: it stays the
    // answer and fails.
    const int32_t code = ResponseCode();
    if (code < 100 || code >= 200 || code == 101) return;
  }
}

std::string CustomHttpClient::ReadStatusLine() {
  // One empty line before the status line may be skipped, as a stray line end after a previous
  // body is common; more are no response.
  for (int empty_lines = 0;; ++empty_lines) {
    std::string line;
    try {
      line = ReadLine();
    } catch (const net::ConnClosedGracefullyError&) {
      // A peer that closes without answering at all keeps the transport's own message.
      if (empty_lines == 0) throw;
      throw StatusLineError("The connection closed after an empty line, before a status line.");
    }
    if (!line.empty()) return line;
    // ReadLine gives "" without a line end only when the peer closed in the middle of a line.
    if (!IsConnected() && InputBuffer().Size() > 0) {
      throw StatusLineError("The connection closed in the middle of the status line.");
    }
    if (empty_lines >= 1) {
      throw StatusLineError("The response has empty lines where its status line should be.");
    }
  }
}

void CustomHttpClient::ReadHeaderBlock() {
  int32_t line_count = 0;
  size_t block_bytes = 0;
  while (true) {
    std::string line;
    try {
      line = ReadLine();
    } catch (const net::ConnClosedGracefullyError&) {
      // The peer ended the head early; what arrived is all the head there is.
      Disconnect();
      break;
    }
    if (line.empty()) break;
    if (++line_count > kMaxHeaderLineCount) {
      throw HeaderBlockTooLargeError("The response has more than " +
                                     std::to_string(kMaxHeaderLineCount) + " header lines.");
    }
    block_bytes += line.size();
    if (block_bytes > kMaxHeaderBlockBytes) {
      throw HeaderBlockTooLargeError("The response header block exceeds " +
                                     std::to_string(kMaxHeaderBlockBytes) + " bytes.");
    }
    response_.RawHeaders().Add(line);
  }
}

void CustomHttpClient::StoreCookies() {
  if (!allow_cookies_) return;
  if (cookie_manager_ == nullptr) {
    own_cookie_manager_ = std::make_unique<CookieManager>();
    cookie_manager_ = own_cookie_manager_.get();
  }
  const std::string path = url_.Path() + url_.Document();
  std::vector<std::string> values;
  response_.RawHeaders().ExtractValues("Set-cookie", values);
  const bool secure = SecureTarget();
  for (const std::string& value : values) {
    cookie_manager_->AddCookie(value, url_.Host(), path, secure);
  }
  values.clear();
  response_.RawHeaders().ExtractValues("Set-cookie2", values);
  for (const std::string& value : values) {
    cookie_manager_->AddCookie2(value, url_.Host(), path, secure);
  }
}

CustomHttpClient::Outcome CustomHttpClient::ProcessResponse() {
  const int32_t code = ResponseCode();
  const int32_t code_class = code / 100;
  // A Location counts on success and redirect statuses only: following the one of an error
  // would turn a failed transfer into a success.
  const bool located = !response_.Location().empty() && (code_class == 2 || code_class == 3);
  if ((code_class == 3 && code != 304) || located) return HandleRedirect();
  // The proxy's own refusal of a request in absolute form is no answer of the server's.
  if (code == 407 && AbsoluteForm()) {
    ReadSpareBody(kErrorBodyTimeout, 0);
    throw net::ProxyAuthError();
  }
  // Without credential handlers, 401 and 407 fail like every other status.
  if (code_class != 2) FailWithStatus();

  if (!IsConnected()) return Outcome::kUndefined;
  if (response_.ContentStream() != nullptr) {
    ReadBody(*response_.ContentStream());
  } else {
    ReadSpareBody(kRedirectBodyTimeout, 0);
  }
  return Outcome::kDone;
}

CustomHttpClient::Outcome CustomHttpClient::HandleRedirect() {
  std::string location = response_.Location();
  HttpMethod method = request_.Method();
  const bool follow = handle_redirects_ && redirect_count_ < redirect_maximum_;
  bool handled = follow || handle_redirects_;
  if (OnRedirect) OnRedirect(*this, location, method, handled, redirect_count_);
  if (!handled) FailWithStatus();

  ReadSpareBody(kRedirectBodyTimeout, 0);
  // A stop asked for while the redirect's body came ends the Get, as it would the final body's.
  if (close_requested_) return Outcome::kDone;
  if (!follow) {
    // A client that handles redirects got no final response; one that does not was told by its
    // hook to take the redirect as the answer.
    if (handle_redirects_) throw RedirectLimitError(redirect_count_);
    return Outcome::kDone;
  }
  if (location.empty()) throw RedirectWithoutLocationError(ResponseText());
  request_.SetURL(location);
  request_.SetMethod(method);
  return Outcome::kFollow;
}

void CustomHttpClient::FailWithStatus() {
  const std::string body = ReadSpareBody(kErrorBodyTimeout, kMaxErrorBodyBytes);
  throw HttpProtocolError(ResponseCode(), ResponseText(), body);
}

bool CustomHttpClient::HasNoBody() const {
  const int32_t code = response_.ResponseCode();
  return request_.Method() == HttpMethod::hmHead || code == 204 || code == 304 ||
         (code >= 100 && code < 200);
}

CustomHttpClient::Framing CustomHttpClient::BodyFraming() const {
  using Kind = Framing::Kind;
  if (HasNoBody()) return {Kind::kNone};
  const HeaderList& headers = response_.RawHeaders();
  // Chunked framing wins over a length, so a response carrying both cannot make us read the
  // chunk lines as body bytes. Any other coding would be saved still encoded.
  std::vector<std::string> codings = headers.Tokens("Transfer-Encoding");
  std::erase_if(codings,
                [](const std::string& coding) { return EqualsNoCase(coding, "identity"); });
  if (!codings.empty()) {
    if (codings.size() == 1 && EqualsNoCase(codings[0], "chunked")) return {Kind::kChunked};
    std::string named;
    for (const std::string& coding : codings) named += (named.empty() ? "" : ", ") + coding;
    throw FramingError("The response uses the transfer coding \"" + named.substr(0, 64) +
                       "\", which this client cannot decode.");
  }
  // Repeated lengths must agree; a length that is no number at all means "until the close".
  std::optional<int64_t> length;
  bool unreadable = false;
  for (const std::string& value : headers.Tokens("Content-Length")) {
    const auto number = value.find_first_not_of("0123456789") == std::string::npos
                            ? ParseInt64(value)
                            : std::nullopt;
    if (!number) {
      unreadable = true;
    } else if (length && *length != *number) {
      throw FramingError("The response announces two lengths, " + std::to_string(*length) +
                         " and " + std::to_string(*number) + " bytes.");
    } else {
      length = number;
    }
  }
  if (length && unreadable) {
    throw FramingError("The response announces a length of " + std::to_string(*length) +
                       " bytes and one that is no number.");
  }
  if (!length) return {Kind::kUntilClose};
  if (*length == 0) return {Kind::kNone};
  return {Kind::kLength, *length};
}

std::string CustomHttpClient::ReadSpareBody(int32_t timeout, int64_t keep) {
  BoundedTextStream body(keep);
  if (!IsConnected()) return body.Text();
  try {
    TimeoutGuard guard(*this, timeout);
    ReadBody(body);
  } catch (...) {
    Disconnect();
  }
  return body.Text();
}

void CustomHttpClient::ReadBody(net::Stream& stream) {
  // What follows a 101 is another protocol: nothing of it is read, and the connection is not
  // used again.
  if (ResponseCode() == 101) return;
  const Framing framing = BodyFraming();
  switch (framing.kind) {
    case Framing::Kind::kNone:
      break;
    case Framing::Kind::kChunked:
      ReportStatus(net::NetStatus::hsStatusText, "Chunk Started");
      ReadChunkedBody(stream);
      break;
    case Framing::Kind::kLength: {
      // A body that ends short because the peer closed is not the body that was announced. One
      // that a work handler cut by closing the connection (the stop button) returns normally:
      // its caller knows it asked for the stop.
      const int64_t before = stream.Position();
      bool peer_closed = false;
      try {
        ReadToStream(stream, framing.length, false);
      } catch (const net::ConnClosedGracefullyError&) {
        peer_closed = true;
      }
      const int64_t received = stream.Position() - before;
      if (received < framing.length) {
        if (peer_closed || !close_requested_) {
          throw IncompleteBodyError("Connection closed after " + std::to_string(received) + " of " +
                                    std::to_string(framing.length) + " body bytes.");
        }
        return;
      }
      break;
    }
    case Framing::Kind::kUntilClose:
      ReadToStream(stream, -1, true);
      // Over TLS only the peer's close alert says the body is whole; a bare close may have been
      // made by whoever sits between to cut it short. A stop asked for ends it anyway.
      if (!close_requested_ && IOHandler() && IOHandler()->EndedWithoutCloseAlert()) {
        throw IncompleteBodyError(
            "The connection closed without the TLS close alert, so the body may be cut short.");
      }
      break;
  }
  body_complete_ = true;
}

void CustomHttpClient::ReadChunkedBody(net::Stream& stream) {
  while (true) {
    const std::string line = ReadLine();
    const auto size = ParseChunkSize(line);
    if (!size) {
      if (line.empty() && !IsConnected()) {
        throw IncompleteBodyError("Connection closed before the last chunk.");
      }
      throw ChunkSizeError("Invalid chunk size line: \"" + line.substr(0, 64) + "\"");
    }
    if (*size == 0) break;
    const int64_t before = stream.Position();
    try {
      ReadToStream(stream, *size, false);
    } catch (const net::ConnClosedGracefullyError&) {
      throw IncompleteBodyError("Connection closed in the middle of a chunk.");
    }
    // A work handler closed the connection in the middle of the chunk: the rest of the body
    // cannot be read.
    if (stream.Position() - before < *size) throw net::NotConnectedError();
    // The chunk's line end. Anything else there means the chunk was longer than its size line
    // said, and its rest would be lost.
    if (!ReadLine().empty()) {
      throw ChunkSizeError("A chunk is longer than its size line \"" + line.substr(0, 64) +
                           "\" says.");
    }
  }
  // Trailer lines up to the empty line end the body; left unread they would be taken for the
  // next response.
  // A peer that closes right after the last chunk has still sent the whole body.
  try {
    int32_t trailer_lines = 0;
    while (!ReadLine().empty()) {
      if (++trailer_lines > kMaxHeaderLineCount) {
        throw HeaderBlockTooLargeError("The chunked body has more than " +
                                       std::to_string(kMaxHeaderLineCount) + " trailer lines.");
      }
    }
  } catch (const net::ConnClosedGracefullyError&) {
  }
}

}  // namespace mevra::http

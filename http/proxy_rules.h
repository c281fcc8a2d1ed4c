#pragma once

#include <functional>
#include <optional>
#include <string>

#include "net/proxy_server.h"

namespace mevra::http {

// Which proxy, if any, carries a request, chosen per scheme and host.
class ProxyRules {
 public:
  // A variable's value, or nullopt when it is not set.
  using Lookup = std::function<std::optional<std::string>(const char* name)>;

  // Straight to every server.
  ProxyRules() = default;
  // Every request through `proxy`, except to the hosts `no_proxy` lists.
  static ProxyRules Fixed(net::ProxyServer proxy, std::string no_proxy = std::string());
  // As the environment says: http_proxy for http (the upper-case form is left alone, since a CGI
  // server sets HTTP_PROXY from a request's "Proxy" header), https_proxy or HTTPS_PROXY for
  // https, all_proxy or ALL_PROXY for either where its own is missing; no_proxy or NO_PROXY for
  // the hosts that go straight. The lower-case form wins, an empty value counts as unset. A value
  // that names no usable proxy raises ProxyUrlError naming the variable.
  static ProxyRules FromEnvironment(const Lookup& lookup);
  static ProxyRules FromProcessEnvironment();
  // The no_proxy list of the environment alone.
  static std::string NoProxyFromEnvironment(const Lookup& lookup);

  // The proxy for a request to `host` with `scheme` ("http" or "https"); kind kNone: straight.
  net::ProxyServer For(const std::string& scheme, const std::string& host) const;
  bool Direct() const { return !http_ && !https_; }

  bool operator==(const ProxyRules&) const = default;

 private:
  std::optional<net::ProxyServer> http_;
  std::optional<net::ProxyServer> https_;
  std::string no_proxy_;
};

// Whether `host` is one the comma- or blank-separated `no_proxy` list sends straight: "*"
// matches every host, an IP address the same address, a name the host itself and every host
// below it ("example.com" and ".example.com" both match "a.example.com", never
// "badexample.com"). Case and one trailing dot do not count.
bool NoProxyMatches(const std::string& no_proxy, const std::string& host);

}  // namespace mevra::http

#pragma once

#include <cstdint>
#include <string>

namespace mevra::net {

enum class ProxyKind {
  kNone,     // straight to the server
  kHttp,     // an HTTP proxy: absolute-form requests, CONNECT tunnels for TLS
  kSocks5,   // SOCKS5, the server's name resolved here
  kSocks5h,  // SOCKS5, the server's name resolved by the proxy
};

// One proxy as a setting names it.
struct ProxyServer {
  ProxyKind kind = ProxyKind::kNone;
  std::string host;  // an IPv6 address without brackets
  int32_t port = 0;
  std::string username;  // percent-decoded; empty: no credentials
  std::string password;

  // Whether a connection to a server goes through a tunnel the proxy opens (SOCKS always, an
  // HTTP proxy for TLS); an HTTP proxy carries plain requests itself.
  bool Tunnels(bool secure) const {
    return kind == ProxyKind::kSocks5 || kind == ProxyKind::kSocks5h ||
           (kind == ProxyKind::kHttp && secure);
  }
  // "scheme://host:port" without the credentials, for messages and logs.
  std::string DisplayText() const;

  bool operator==(const ProxyServer&) const = default;
};

// Parses "http://[user:password@]host[:port][/]", "socks5://..." or "socks5h://...". Text
// without a scheme is an HTTP proxy, and a missing port is 1080, as other tools read proxy
// variables. Throws ProxyUrlError with the reason for anything else.
ProxyServer ParseProxyUrl(const std::string& text);

// The value of a Basic Proxy-Authorization header for the proxy's credentials.
std::string BasicCredentials(const std::string& username, const std::string& password);

}  // namespace mevra::net

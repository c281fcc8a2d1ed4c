#pragma once

#include <string>

#include "net/net_error.h"

namespace mevra::net {

// Base of the failures that belong to the proxy rather than to the server behind it, so a
// caller can say "the proxy" instead of blaming the site.
class ProxyError : public NetError {
 public:
  using NetError::NetError;
  const char* ClassName() const override { return "ProxyError"; }
};

// A proxy setting that names no proxy this client can use.
class ProxyUrlError : public ProxyError {
 public:
  explicit ProxyUrlError(const std::string& reason) : ProxyError("Bad proxy URL: " + reason) {}
  const char* ClassName() const override { return "ProxyUrlError"; }
};

// The proxy itself cannot be reached: refused, unknown name, no answer in time.
class ProxyConnectError : public ProxyError {
 public:
  explicit ProxyConnectError(const std::string& cause)
      : ProxyError("Cannot reach the proxy server: " + cause) {}
  const char* ClassName() const override { return "ProxyConnectError"; }
};

// The proxy wants credentials, or did not take the ones given.
class ProxyAuthError : public ProxyError {
 public:
  ProxyAuthError() : ProxyError("The proxy server did not accept the credentials.") {}
  const char* ClassName() const override { return "ProxyAuthError"; }
};

// The proxy answered but would not open the way to the server; `reason` is its answer.
class ProxyRefusedError : public ProxyError {
 public:
  explicit ProxyRefusedError(const std::string& reason)
      : ProxyError("The proxy server refused the connection: " + reason) {}
  const char* ClassName() const override { return "ProxyRefusedError"; }
};

// The proxy's answer follows neither HTTP nor SOCKS: probably no proxy of the kind set.
class ProxyProtocolError : public ProxyError {
 public:
  explicit ProxyProtocolError(const std::string& detail)
      : ProxyError("The proxy server's answer is not understood: " + detail) {}
  const char* ClassName() const override { return "ProxyProtocolError"; }
};

}  // namespace mevra::net

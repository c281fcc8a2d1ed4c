#pragma once

#include <cstdint>
#include <string>

#include "net/proxy_server.h"

namespace mevra::net {

// The bytes of a freshly connected proxy socket, before anything else runs over it.
class ProxyChannel {
 public:
  virtual ~ProxyChannel() = default;
  // Sends all of `bytes` or raises.
  virtual void Send(const std::string& bytes) = 0;
  // Between 1 and `most` bytes; raises when none come in time or the proxy closes.
  virtual std::string Receive(size_t most) = 0;
};

// Asks the proxy for a byte stream to host:port: CONNECT for an HTTP proxy, the SOCKS5
// exchange (with user and password when the proxy names them) for a SOCKS one. When it
// returns, every later byte of the channel belongs to the server. Raises ProxyAuthError,
// ProxyRefusedError or ProxyProtocolError for what the proxy answered.
void OpenProxyTunnel(ProxyChannel& channel, const ProxyServer& proxy, const std::string& host,
                     int32_t port);

// What a SOCKS5 reply code means.
std::string SocksReplyText(uint8_t code);

}  // namespace mevra::net

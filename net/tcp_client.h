#pragma once

#include <cstdint>
#include <string>

#include "net/tcp_connection.h"

namespace mevra::net {

// A connection that opens itself to Host and Port.
class TcpClient : public TcpConnection {
 public:
  const std::string& BoundIP() const { return bound_ip_; }
  void SetBoundIP(const std::string& ip) { bound_ip_ = ip; }
  int32_t BoundPort() const { return bound_port_; }
  void SetBoundPort(int32_t port) { bound_port_ = port; }
  const std::string& Host() const { return host_; }
  virtual void SetHost(const std::string& host) { host_ = host; }
  int32_t Port() const { return port_; }
  virtual void SetPort(int32_t port) { port_ = port; }

  NotifyEvent OnConnected;

  virtual void NotifyConnected();
  // Timeout in ms: -1 or 0 = the handler's default limit, -2 = no limit. A failed open drops
  // the socket and keeps the handler for the next attempt; an open connection raises
  // AlreadyConnectedError.
  virtual void OpenConnection(int32_t timeout = -1);

 private:
  std::string bound_ip_;
  int32_t bound_port_ = 0;
  std::string host_;
  int32_t port_ = 0;
};

}  // namespace mevra::net

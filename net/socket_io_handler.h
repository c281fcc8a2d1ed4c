#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/connect_race.h"
#include "net/io_handler.h"
#include "net/limits.h"
#include "net/proxy_server.h"
#include "net/socket_handle.h"

namespace mevra::net {

class AbortLatch;
class ConnectThread;

// The I/O handler over one TCP socket. Connects on a second thread with a time limit while the
// calling thread keeps pumping messages (to each address of a host in turn, IPv6 and IPv4 alike),
// and waits for data in slices with a pump after each. A handler run by a pump may close this
// socket; every wait notices it after the pump and ends.
class SocketIoHandler : public IoHandler {
 public:
  SocketIoHandler();
  ~SocketIoHandler() override;

  void CloseBinding() override;
  void EstablishClient(const std::string& host, int32_t port, int32_t timeout, int32_t port_max,
                       int32_t port_min, int32_t bound_port, const std::string& bound_ip) override;
  bool HasOpenSocket() const override;
  void PrepareBinding() override;
  bool WaitReadable(int32_t ms) override;
  // Both raise ClosedSocketError ("Disconnected.") without an open socket.
  int32_t ReceiveBytes(void* buffer, int32_t length) override;
  int32_t ReceiveAvailable(void* buffer, int32_t length) override;
  int32_t SendBytes(const void* buffer, int32_t length) override;

  // The proxy through which EstablishClient reaches its host: the socket connects to the proxy,
  // which is then asked for a tunnel to the host within the same time limit. kNone: direct.
  // Failing to reach the proxy raises ProxyConnectError.
  const ProxyServer& Proxy() const { return proxy_; }
  void SetProxy(ProxyServer proxy) { proxy_ = std::move(proxy); }

  // Passed on to the socket record, so another thread can shut its socket down.
  void SetAbortLatch(std::shared_ptr<AbortLatch> latch);

  // Null before the first PrepareBinding.
  SocketHandle* Handle() const { return handle_.get(); }
  bool UseNagle() const { return use_nagle_; }
  void SetUseNagle(bool value) { use_nagle_ = value; }
  // The limit of a connect made with time-out -1 or 0 while an anti-freeze is in force.
  int32_t ConnectTimeLimit() const { return connect_time_limit_; }
  void SetConnectTimeLimit(int32_t ms) { connect_time_limit_ = ms; }

 protected:
  // The wait of WaitReadable, also for the socket taking more bytes (`for_write`): slices with
  // a pump after each while an anti-freeze is in force. Raises ConnClosedGracefullyError when a
  // pumped handler closed the socket.
  bool WaitFor(int32_t ms, bool for_write);

 private:
  // The connect to host:port itself, without any proxy.
  void Connect(const std::string& host, int32_t port, int32_t timeout, int32_t port_max,
               int32_t port_min, int32_t bound_port, const std::string& bound_ip);
  // Connects on the connect thread within `timeout`, racing the addresses when there are more.
  void ThreadedConnect(int32_t timeout, const std::vector<std::string>& addresses,
                       const ConnectRace::Options& race);
  // The race's connected socket becomes the handle's.
  void TakeWinner(ConnectRace& race);
  bool WaitSlice(int32_t ms, bool for_write);

  std::unique_ptr<SocketHandle> handle_;
  std::shared_ptr<AbortLatch> abort_latch_;
  ProxyServer proxy_;
  bool use_nagle_ = true;
  int32_t connect_time_limit_ = kDefaultConnectTimeLimit;
  // The connect thread while ThreadedConnect runs; CloseBinding stops it before closing.
  ConnectThread* connect_thread_ = nullptr;
};

}  // namespace mevra::net

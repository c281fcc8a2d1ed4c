#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <sys/socket.h>

namespace mevra::net {

class AbortLatch;

// The socket record of an I/O handler: the descriptor and both ends' addresses. All calls go
// through the socket stack.
class SocketHandle {
 public:
  SocketHandle() = default;
  ~SocketHandle();
  SocketHandle(const SocketHandle&) = delete;
  SocketHandle& operator=(const SocketHandle&) = delete;

  int Descriptor() const { return descriptor_; }
  bool HasDescriptor() const { return has_descriptor_; }
  const std::string& IP() const { return ip_; }
  int32_t Port() const { return port_; }
  const std::string& RemoteAddress() const { return remote_address_; }
  int32_t RemotePort() const { return remote_port_; }
  int32_t ClientPortMin() const { return client_port_min_; }
  int32_t ClientPortMax() const { return client_port_max_; }

  // Every socket allocated from now on is attached to `latch`, so another thread can shut it
  // down; a tripped latch makes AllocateSocket fail with ClosedSocketError.
  void SetAbortLatch(std::shared_ptr<AbortLatch> latch) { abort_latch_ = std::move(latch); }

  // Back to the state without a descriptor; addresses cleared. Does not close anything.
  void Reset();
  // Closes a previous descriptor and creates a TCP socket of `family` (InvalidSocketError on
  // failure).
  void AllocateSocket(int family = AF_INET);
  // Closes the descriptor and holds `descriptor` instead, a connected socket that is attached
  // to the abort latch already.
  void TakeOver(int descriptor);
  // Binds to `ip` (empty = any) and `port`; 10048 raises CouldNotBindSocketError, anything else
  // SocketError. The local address is read back afterwards.
  void Bind(const std::string& ip, int32_t port, int32_t port_min, int32_t port_max);
  void SetRemote(const std::string& address, int32_t port);
  // Blocking connect to the remote address; SocketError on failure.
  void Connect();
  // Reads both ends' addresses back from the connected socket.
  void UpdateBindings();
  // One select on this socket alone; true when it can be read (data or the peer's close), or
  // with `for_write` when it can take more bytes.
  bool Select(int32_t timeout_ms, bool for_write = false);
  // Calls on the socket return at once instead of waiting (SocketError on failure).
  void SetNonBlocking(bool on);
  int32_t Receive(void* buffer, int32_t length);
  // Returns at once; nothing there yet fails with 10035.
  int32_t ReceiveAvailable(void* buffer, int32_t length);
  int32_t Send(const void* buffer, int32_t length);
  // Shuts down sending and closes; results ignored. Nothing without a descriptor.
  void CloseSocket();

 private:
  int descriptor_ = -1;
  bool has_descriptor_ = false;
  std::string ip_;
  int32_t port_ = 0;
  std::string remote_address_;
  int32_t remote_port_ = 0;
  int32_t client_port_min_ = 0;
  int32_t client_port_max_ = 0;
  std::shared_ptr<AbortLatch> abort_latch_;
};

}  // namespace mevra::net

#include "net/socket_handle.h"

#include <sys/socket.h>

#include "net/abort_latch.h"
#include "net/net_error.h"
#include "net/net_stack.h"

namespace mevra::net {

namespace {
constexpr int32_t kAddressInUse = 10048;

NetStack& Stack() { return *NetStack::SocketStack(); }
}  // namespace

SocketHandle::~SocketHandle() { CloseSocket(); }

void SocketHandle::Reset() {
  descriptor_ = -1;
  has_descriptor_ = false;
  ip_.clear();
  port_ = 0;
  remote_address_.clear();
  remote_port_ = 0;
}

void SocketHandle::AllocateSocket(int family) {
  CloseSocket();
  const int descriptor = Stack().NewSocket(SOCK_STREAM, 0, family);
  if (abort_latch_ && !abort_latch_->Attach(descriptor)) {
    Stack().CloseSocket(descriptor);
    throw ClosedSocketError();
  }
  descriptor_ = descriptor;
  has_descriptor_ = true;
}

void SocketHandle::Bind(const std::string& ip, int32_t port, int32_t port_min, int32_t port_max) {
  ip_ = ip;
  port_ = port;
  client_port_min_ = port_min;
  client_port_max_ = port_max;
  // Binding within a port range is never asked for; every client binds once.
  NetStack& stack = Stack();
  if (stack.CheckSocketResult(stack.Bind(descriptor_, ip_, port_), {kAddressInUse})) {
    throw CouldNotBindSocketError();
  }
  const SocketAddress local = stack.LocalAddress(descriptor_);
  ip_ = local.ip;
  port_ = local.port;
}

void SocketHandle::TakeOver(int descriptor) {
  CloseSocket();
  descriptor_ = descriptor;
  has_descriptor_ = true;
}

void SocketHandle::SetRemote(const std::string& address, int32_t port) {
  remote_address_ = address;
  remote_port_ = port;
}

void SocketHandle::Connect() {
  NetStack& stack = Stack();
  stack.CheckSocketResult(stack.Connect(descriptor_, remote_address_, remote_port_));
}

void SocketHandle::UpdateBindings() {
  NetStack& stack = Stack();
  const SocketAddress local = stack.LocalAddress(descriptor_);
  ip_ = local.ip;
  port_ = local.port;
  const SocketAddress peer = stack.PeerAddress(descriptor_);
  remote_address_ = peer.ip;
  remote_port_ = peer.port;
}

bool SocketHandle::Select(int32_t timeout_ms, bool for_write) {
  SocketSet set{descriptor_};
  // An error of select counts as "not ready".
  return Stack().Select(for_write ? nullptr : &set, for_write ? &set : nullptr, nullptr,
                        timeout_ms) == 1;
}

void SocketHandle::SetNonBlocking(bool on) {
  NetStack& stack = Stack();
  stack.CheckSocketResult(stack.SetNonBlocking(descriptor_, on));
}

int32_t SocketHandle::Receive(void* buffer, int32_t length) {
  return Stack().Receive(descriptor_, buffer, length);
}

int32_t SocketHandle::ReceiveAvailable(void* buffer, int32_t length) {
  return Stack().ReceiveAvailable(descriptor_, buffer, length);
}

int32_t SocketHandle::Send(const void* buffer, int32_t length) {
  return Stack().Send(descriptor_, buffer, length);
}

void SocketHandle::CloseSocket() {
  if (!has_descriptor_) return;
  has_descriptor_ = false;
  if (abort_latch_) abort_latch_->Detach(descriptor_);
  NetStack& stack = Stack();
  stack.Shutdown(descriptor_, SHUT_WR);
  stack.CloseSocket(descriptor_);
}

}  // namespace mevra::net

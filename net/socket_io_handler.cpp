#include "net/socket_io_handler.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include <netinet/in.h>
#include <netinet/tcp.h>

#include "net/anti_freeze_base.h"
#include "net/connect_thread.h"
#include "net/host_name.h"
#include "net/net_error.h"
#include "net/net_stack.h"
#include "net/proxy_error.h"
#include "net/proxy_tunnel.h"

namespace mevra::net {

namespace {
constexpr int32_t kNoLimit = NetStack::kNoTimeLimit;
// What a receive on an empty socket gets when it must not wait.
constexpr int32_t kWouldBlock = 10035;

// The slice of a wait while an anti-freeze is in force, looked up afresh for every slice: a
// pumped handler may have changed the setting or destroyed the instance. 0 when none is in force,
// so the wait is one select. A slice of zero or less would end at once and spin, so such a
// setting counts as the default.
int32_t IdleSlice() {
  if (!AntiFreezeBase::AntiFreezeInForce()) return 0;
  const int32_t idle = AntiFreezeBase::ActiveAntiFreeze()->IdleTimeOut();
  return idle > 0 ? idle : kDefaultIdleTimeOut;
}

}  // namespace

SocketIoHandler::SocketIoHandler() = default;

SocketIoHandler::~SocketIoHandler() { CloseBinding(); }

void SocketIoHandler::CloseBinding() {
  // A connect still running on its thread is stopped and joined first, so the descriptor is
  // never closed (and possibly reused) under it.
  if (connect_thread_ != nullptr) {
    connect_thread_->Stop();
    connect_thread_->Join();
  }
  if (handle_) handle_->CloseSocket();
}

void SocketIoHandler::SetAbortLatch(std::shared_ptr<AbortLatch> latch) {
  abort_latch_ = std::move(latch);
  if (handle_) handle_->SetAbortLatch(abort_latch_);
}

void SocketIoHandler::PrepareBinding() {
  if (!handle_) {
    handle_ = std::make_unique<SocketHandle>();
    handle_->SetAbortLatch(abort_latch_);
  } else {
    handle_->CloseSocket();
    handle_->Reset();
  }
}

bool SocketIoHandler::HasOpenSocket() const { return handle_ && handle_->HasDescriptor(); }

void SocketIoHandler::EstablishClient(const std::string& host, int32_t port, int32_t timeout,
                                      int32_t port_max, int32_t port_min, int32_t bound_port,
                                      const std::string& bound_ip) {
  if (proxy_.kind == ProxyKind::kNone) {
    Connect(host, port, timeout, port_max, port_min, bound_port, bound_ip);
    return;
  }
  // The connect to the proxy and the tunnel's opening share the connect's limit.
  const int32_t limit = timeout == -1 || timeout == 0 ? connect_time_limit_ : timeout;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(limit, 0));
  try {
    Connect(proxy_.host, proxy_.port, timeout, port_max, port_min, bound_port, bound_ip);
  } catch (const ClosedSocketError&) {
    // Closed by a pumped handler, or stopped: nothing the proxy did.
    throw;
  } catch (const NetError& error) {
    throw ProxyConnectError(error.what());
  }

  // The proxy's socket as the tunnel's negotiation sees it: every wait is one of this
  // handler's, so it pumps and honours the abort latch as any other read does.
  class Channel : public ProxyChannel {
   public:
    Channel(SocketIoHandler& handler, bool unlimited, std::chrono::steady_clock::time_point end)
        : handler_(handler), unlimited_(unlimited), end_(end) {}
    void Send(const std::string& bytes) override {
      for (size_t done = 0; done < bytes.size();) {
        const int32_t n = handler_.SocketIoHandler::SendBytes(
            bytes.data() + done, static_cast<int32_t>(bytes.size() - done));
        NetStack::SocketStack()->CheckSocketResult(n);
        if (n == 0) throw ProxyProtocolError("the proxy closed the connection");
        done += static_cast<size_t>(n);
      }
    }
    std::string Receive(size_t most) override {
      int32_t left = kNoLimit;
      if (!unlimited_) {
        const auto ms =
            std::chrono::ceil<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
        left = static_cast<int32_t>(std::max<int64_t>(ms.count(), 0));
      }
      bool ready = false;
      try {
        ready = handler_.WaitFor(left, false);
      } catch (const ConnClosedGracefullyError&) {
        throw ClosedSocketError();
      }
      if (!ready) throw ProxyConnectError("no answer within the connect time limit");
      std::string bytes(std::min<size_t>(most, 4096), '\0');
      const int32_t n =
          handler_.SocketIoHandler::ReceiveBytes(bytes.data(), static_cast<int32_t>(bytes.size()));
      NetStack::SocketStack()->CheckSocketResult(n);
      if (n == 0) throw ProxyProtocolError("the proxy closed the connection without an answer");
      bytes.resize(static_cast<size_t>(n));
      return bytes;
    }

   private:
    SocketIoHandler& handler_;
    bool unlimited_;
    std::chrono::steady_clock::time_point end_;
  } channel(*this, limit == kNoLimit, end);
  ReportStatus(NetStatus::hsStatusText, "Opening a tunnel through " + proxy_.DisplayText());
  OpenProxyTunnel(channel, proxy_, host, port);
}

void SocketIoHandler::Connect(const std::string& host, int32_t port, int32_t timeout,
                              int32_t port_max, int32_t port_min, int32_t bound_port,
                              const std::string& bound_ip) {
  if (!handle_) PrepareBinding();
  NetStack& stack = *NetStack::SocketStack();
  if (!IsAddressLiteral(WithoutTrailingDot(host))) ReportStatus(NetStatus::hsResolving, host);
  std::vector<std::string> addresses = stack.LookupAddresses(host);
  // A local address to bind to admits its own family only, and a fixed local port can serve
  // one attempt at a time: such a connect tries one address.
  if (!bound_ip.empty()) {
    const int family = NetStack::FamilyOfAddress(bound_ip);
    std::vector<std::string> same_family;
    for (const std::string& address : addresses) {
      if (NetStack::FamilyOfAddress(address) == family) same_family.push_back(address);
    }
    if (!same_family.empty()) addresses = std::move(same_family);
  }
  if (bound_port != 0) addresses.resize(1);

  handle_->AllocateSocket(NetStack::FamilyOfAddress(addresses.front()));
  handle_->Bind(bound_ip, bound_port, port_min, port_max);
  handle_->SetRemote(addresses.front(), port);
  if (!use_nagle_) stack.SetSocketOption(handle_->Descriptor(), IPPROTO_TCP, TCP_NODELAY, 1);
  ReportStatus(NetStatus::hsConnecting, handle_->RemoteAddress());

  const ConnectRace::Options race{bound_ip, !use_nagle_, abort_latch_};
  if (timeout == -1 || timeout == 0) {
    if (AntiFreezeBase::AntiFreezeInForce()) {
      ThreadedConnect(connect_time_limit_, addresses, race);
    } else if (addresses.size() > 1) {
      ConnectRace direct(handle_->Descriptor(), addresses, port, race);
      direct.Run(-1);
      TakeWinner(direct);
    } else {
      handle_->Connect();
    }
  } else {
    ThreadedConnect(timeout, addresses, race);
  }
  handle_->UpdateBindings();
}

void SocketIoHandler::TakeWinner(ConnectRace& race) {
  const int winner = race.TakeWinner();
  if (winner != handle_->Descriptor()) handle_->TakeOver(winner);
  handle_->SetRemote(race.WinnerAddress(), handle_->RemotePort());
}

void SocketIoHandler::ThreadedConnect(int32_t timeout, const std::vector<std::string>& addresses,
                                      const ConnectRace::Options& race) {
  ConnectThread thread(handle_->Descriptor(), handle_->RemoteAddress(), handle_->RemotePort());
  if (addresses.size() > 1 && thread.CanRace()) {
    thread.SetRace(std::make_unique<ConnectRace>(handle_->Descriptor(), addresses,
                                                 handle_->RemotePort(), race));
  }
  connect_thread_ = &thread;
  struct Forget {
    ConnectThread*& slot;
    ~Forget() { slot = nullptr; }
  } forget{connect_thread_};
  thread.Start();

  const int32_t idle = IdleSlice();
  const int32_t slice = idle > 0 ? std::min(idle, kConnectSliceMax) : kConnectSliceMax;
  int32_t remaining = timeout == kNoLimit ? slice + 1 : timeout;
  // Each slice ends early when the connect does, so a quick connect costs no idle slice.
  while (remaining > slice) {
    thread.WaitFinished(slice);
    remaining = timeout == kNoLimit ? slice + 1 : remaining - slice;
    AntiFreezeBase::Pump(true, false);
    // A pumped handler may have closed this handler's socket, which stopped and joined the
    // thread; the connect cannot go on.
    if (!HasOpenSocket()) throw ClosedSocketError();
    if (thread.Finished()) {
      remaining = 0;
      break;
    }
  }
  thread.WaitFinished(remaining);

  if (thread.Finished()) {
    if (!thread.FailureText().empty()) throw ConnectError(thread.FailureText());
    if (thread.Stopped()) throw ClosedSocketError();
    if (thread.Race() != nullptr) TakeWinner(*thread.Race());
    return;
  }
  thread.Stop();
  thread.Join();
  handle_->CloseSocket();
  throw ConnectTimeoutError();
}

bool SocketIoHandler::WaitReadable(int32_t ms) { return WaitFor(ms, false); }

bool SocketIoHandler::WaitFor(int32_t ms, bool for_write) {
  if (!HasOpenSocket()) throw ConnClosedGracefullyError();
  if (ms == kNoLimit) {
    for (;;) {
      const int32_t idle = IdleSlice();
      if (WaitSlice(idle > 0 ? idle : kNoLimit, for_write)) return true;
    }
  }
  // With an anti-freeze in force the wait is a series of slices, each followed by a pump: the
  // part that does not fill a whole slice first, then whole slices. A loop, so that a long
  // time-out costs no stack.
  int64_t remaining = std::max(ms, 0);
  for (bool first = true;; first = false) {
    const int32_t idle = IdleSlice();
    int64_t slice = remaining;
    if (idle > 0 && remaining > idle)
      slice = first && remaining % idle != 0 ? remaining % idle : idle;
    if (WaitSlice(static_cast<int32_t>(slice), for_write)) return true;
    remaining -= slice;
    if (remaining <= 0) return false;
  }
}

// One select and the pump after it. The pump may run a handler that closes this socket; the
// wait then ends here instead of selecting on a descriptor that may already belong to another.
bool SocketIoHandler::WaitSlice(int32_t ms, bool for_write) {
  if (!HasOpenSocket()) throw ConnClosedGracefullyError();
  const bool ready = handle_->Select(ms, for_write);
  AntiFreezeBase::Pump(!ready, false);
  if (!HasOpenSocket()) throw ConnClosedGracefullyError();
  return ready;
}

int32_t SocketIoHandler::ReceiveBytes(void* buffer, int32_t length) {
  if (!HasOpenSocket()) throw ClosedSocketError();
  return handle_->Receive(buffer, length);
}

int32_t SocketIoHandler::ReceiveAvailable(void* buffer, int32_t length) {
  if (!HasOpenSocket()) throw ClosedSocketError();
  const int32_t n = handle_->ReceiveAvailable(buffer, length);
  if (n != NetStack::kSocketError) return n;
  // Any other failure stays pending for the caller, as after a plain receive.
  NetStack& stack = *NetStack::SocketStack();
  int32_t code = 0;
  try {
    if (stack.CheckSocketResult(n, {kWouldBlock})) return kNothingYet;
  } catch (const SocketError& error) {
    code = error.ErrorCode();
  }
  return NetStack::ReportFailure(code);
}

int32_t SocketIoHandler::SendBytes(const void* buffer, int32_t length) {
  if (!HasOpenSocket()) throw ClosedSocketError();
  return handle_->Send(buffer, length);
}

}  // namespace mevra::net

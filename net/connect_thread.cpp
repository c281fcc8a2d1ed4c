#include "net/connect_thread.h"

#include <chrono>
#include <utility>

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/net_error.h"
#include "net/net_stack.h"

namespace mevra::net {

namespace {
// What a connect gets when the waiting side closed its socket; such an end is not a failure.
constexpr int32_t kBadFileNumber = 10009;
constexpr int32_t kNotASocket = 10038;
}  // namespace

ConnectThread::ConnectThread(int descriptor, std::string address, int32_t port)
    : descriptor_(descriptor), address_(std::move(address)), port_(port) {
  wake_descriptor_ = ::eventfd(0, EFD_CLOEXEC);
}

ConnectThread::~ConnectThread() {
  Stop();
  Join();
  if (wake_descriptor_ >= 0) ::close(wake_descriptor_);
}

void ConnectThread::Start() {
  thread_ = std::thread([this] { Run(); });
}

void ConnectThread::Stop() {
  if (wake_descriptor_ < 0) {
    // Without a wake-up channel, shutting the socket down aborts a pending connect while the
    // descriptor itself stays valid until the owner closes it.
    ::shutdown(descriptor_, SHUT_RDWR);
    return;
  }
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wake_descriptor_, &one, sizeof one);
}

void ConnectThread::Join() {
  if (thread_.joinable()) thread_.join();
}

void ConnectThread::Run() {
  NetStack& stack = *NetStack::SocketStack();
  try {
    if (race_) {
      stopped_ = !race_->Run(wake_descriptor_);
    } else if (wake_descriptor_ < 0) {
      stack.CheckSocketResult(stack.Connect(descriptor_, address_, port_));
    } else {
      bool cancelled = false;
      const int32_t result =
          stack.CancellableConnect(descriptor_, address_, port_, wake_descriptor_, cancelled);
      stopped_ = cancelled;
      if (!cancelled) stack.CheckSocketResult(result, {kBadFileNumber, kNotASocket});
    }
  } catch (const std::exception& error) {
    failure_text_ = error.what();
  }
  {
    std::lock_guard guard(finish_lock_);
    finished_.store(true, std::memory_order_release);
  }
  finish_signal_.notify_all();
}

bool ConnectThread::WaitFinished(int32_t ms) {
  std::unique_lock guard(finish_lock_);
  return finish_signal_.wait_for(guard, std::chrono::milliseconds(ms > 0 ? ms : 0),
                                 [this] { return Finished(); });
}

}  // namespace mevra::net

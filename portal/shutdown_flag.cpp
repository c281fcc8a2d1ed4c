#include "portal/shutdown_flag.h"

namespace mevra::portal {

void ShutdownFlag::Request() {
  {
    std::lock_guard guard(lock_);
    requested_ = true;
  }
  changed_.notify_all();
}

bool ShutdownFlag::IsRequested() const {
  std::lock_guard guard(lock_);
  return requested_;
}

bool ShutdownFlag::WaitFor(std::chrono::milliseconds duration) const {
  std::unique_lock guard(lock_);
  return changed_.wait_for(guard, duration, [this] { return requested_; });
}

}  // namespace mevra::portal

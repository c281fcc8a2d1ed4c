#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace mevra::portal {

// Set once when the portal stops; long waits inside request handlers (the stalling song, the
// rate limit) wait on it, so stopping never has to wait for them.
class ShutdownFlag {
 public:
  void Request();
  bool IsRequested() const;
  // Waits up to `duration`; true when shutdown was requested.
  bool WaitFor(std::chrono::milliseconds duration) const;

 private:
  mutable std::mutex lock_;
  mutable std::condition_variable changed_;
  bool requested_ = false;
};

}  // namespace mevra::portal

#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace mevra::download {

// One speed limit for every transfer that shares it: each block of bytes waits for its turn on
// one timeline, so the transfers together keep to the limit however many run. Thread-safe.
class RateLimiter {
 public:
  // 0 lifts the limit. A change lets every waiting block pass at once and starts the timeline
  // anew.
  void SetBytesPerSecond(int64_t bytes_per_second);
  int64_t BytesPerSecond() const;

  // Waits until `bytes` may pass. Returns false as soon as `cancelled` is set and Wake is
  // called, without waiting further.
  bool Acquire(int64_t bytes, const std::atomic<bool>& cancelled);
  // Makes every waiting block look at its cancel flag again.
  void Wake();

 private:
  using Clock = std::chrono::steady_clock;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int64_t bytes_per_second_ = 0;
  Clock::time_point next_free_{};
  uint64_t generation_ = 0;
};

}  // namespace mevra::download

#include "download/rate_limiter.h"

#include <algorithm>

namespace mevra::download {

void RateLimiter::SetBytesPerSecond(int64_t bytes_per_second) {
  {
    std::lock_guard lock(mutex_);
    bytes_per_second_ = std::max<int64_t>(bytes_per_second, 0);
    next_free_ = Clock::now();
    ++generation_;
  }
  changed_.notify_all();
}

int64_t RateLimiter::BytesPerSecond() const {
  std::lock_guard lock(mutex_);
  return bytes_per_second_;
}

bool RateLimiter::Acquire(int64_t bytes, const std::atomic<bool>& cancelled) {
  std::unique_lock lock(mutex_);
  if (bytes_per_second_ <= 0 || bytes <= 0) return !cancelled;
  // The block's turn begins when every block before it has had its time; a pause in between
  // is not saved up for a burst later.
  const Clock::time_point now = Clock::now();
  const Clock::time_point turn = std::max(now, next_free_);
  next_free_ = turn + std::chrono::nanoseconds(bytes * 1000000000 / bytes_per_second_);
  const uint64_t generation = generation_;
  changed_.wait_until(lock, turn, [&] { return cancelled.load() || generation_ != generation; });
  return !cancelled;
}

void RateLimiter::Wake() {
  { std::lock_guard lock(mutex_); }
  changed_.notify_all();
}

}  // namespace mevra::download

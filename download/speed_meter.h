#pragma once

#include <cstdint>
#include <deque>
#include <utility>

#include "download/limits.h"

namespace mevra::download {

// The speed of a transfer as the average over its last stretch of time.
class SpeedMeter {
 public:
  explicit SpeedMeter(int64_t window_ms = kSpeedWindowMs) : window_ms_(window_ms) {}

  // Notes that `bytes` have arrived in all by `ms` on a steady clock (both never decrease).
  void Add(int64_t ms, int64_t bytes);
  // Bytes per second over the window; 0 until two notes lie apart in time.
  double BytesPerSecond() const;

 private:
  int64_t window_ms_;
  std::deque<std::pair<int64_t, int64_t>> samples_;  // (ms, bytes), oldest first
};

}  // namespace mevra::download

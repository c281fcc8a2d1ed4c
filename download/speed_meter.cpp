#include "download/speed_meter.h"

namespace mevra::download {

void SpeedMeter::Add(int64_t ms, int64_t bytes) {
  samples_.emplace_back(ms, bytes);
  // One note at or before the window's start stays, so the window is always covered whole.
  while (samples_.size() > 2 && samples_[1].first <= ms - window_ms_) samples_.pop_front();
}

double SpeedMeter::BytesPerSecond() const {
  if (samples_.size() < 2) return 0;
  const auto& [first_ms, first_bytes] = samples_.front();
  const auto& [last_ms, last_bytes] = samples_.back();
  if (last_ms <= first_ms) return 0;
  return static_cast<double>(last_bytes - first_bytes) * 1000.0 /
         static_cast<double>(last_ms - first_ms);
}

}  // namespace mevra::download

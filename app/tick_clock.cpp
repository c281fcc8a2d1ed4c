#include "app/tick_clock.h"

#include <time.h>

namespace mevra::app {

uint32_t SystemTickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t milliseconds =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(milliseconds);
}

bool TickWaitOver(uint32_t start, uint32_t now, double milliseconds) {
  if (now < start) return true;
  return static_cast<double>(now - start) >= milliseconds;
}

}  // namespace mevra::app

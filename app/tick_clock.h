#pragma once

#include <cstdint>
#include <functional>

namespace mevra::app {

// A millisecond tick counter of 32 bits that wraps, like the system's uptime counter. The main
// window reads it through this type so that tests can hand it a counter about to wrap.
using TickClock = std::function<uint32_t()>;

// Milliseconds since boot, truncated to 32 bits.
uint32_t SystemTickCount();

// Whether a wait that began at tick `start` for `milliseconds` is over at tick `now`. A counter
// that wrapped during the wait (now below start) ends the wait at once.
bool TickWaitOver(uint32_t start, uint32_t now, double milliseconds);

}  // namespace mevra::app

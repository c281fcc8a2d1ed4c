#pragma once

#include <cstddef>

namespace mevra::portal {

// Longer return addresses are not ours; the limit also keeps the Location header small.
constexpr size_t kMaxReturnUrlLength = 2048;

// The stall has to end some day, so a forgotten client does not hold a worker forever.
constexpr int kMaxStallSeconds = 24 * 60 * 60;

// A loopback portal serves a few browsers and test runs; past this many sign-ins the oldest
// sessions are forgotten, which keeps memory and the session file small.
constexpr size_t kMaxSessions = 1024;

}  // namespace mevra::portal

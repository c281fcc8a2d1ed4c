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

// The song that resets its first two requests does so after this many bytes of each answer:
// enough for a client to have something to continue, far less than the song.
constexpr size_t kFlakyResetBytes = 64 * 1024;

// A reset waits at most this long for the bytes sent before it to reach the client, so the
// client can keep them.
constexpr int kResetDeliveryWaitMs = 2000;

}  // namespace mevra::portal

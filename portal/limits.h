#pragma once

#include <cstddef>
#include <cstdint>

namespace mevra::portal {

// Longer return addresses are not ours; the limit also keeps the Location header small.
constexpr size_t kMaxReturnUrlLength = 2048;

// The stall has to end some day, so a forgotten client does not hold a worker forever.
constexpr int kMaxStallSeconds = 24 * 60 * 60;

// The big chart is for measuring long lists; past this many songs a page only measures the
// patience of whoever loads it.
constexpr size_t kMaxBigChartSongs = 100000;

// A loopback portal serves a few browsers and test runs; past this many sign-ins the oldest
// sessions are forgotten, which keeps memory and the session file small.
constexpr size_t kMaxSessions = 1024;

// The portal's own CA lives long, so a browser or client told to trust it rarely has to be told
// again; the server certificate it issues stays within the 398 days browsers accept.
constexpr int64_t kTlsCaValidDays = 10 * 365;
constexpr int64_t kTlsServerValidDays = 397;
// Certificates this close to their end are made anew at start, so none expires while it runs.
constexpr int64_t kTlsRenewBeforeDays = 2;

// The song that resets its first two requests does so after this many bytes of each answer:
// enough for a client to have something to continue, far less than the song.
constexpr size_t kFlakyResetBytes = 64 * 1024;

// A reset waits at most this long for the bytes sent before it to reach the client, so the
// client can keep them.
constexpr int kResetDeliveryWaitMs = 2000;

}  // namespace mevra::portal

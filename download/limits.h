#pragma once

#include <cstdint>

// Every limit of the download engine, named once.
namespace mevra::download {

// At most this many songs come at once. More would only share the same link among them and load
// the portal for nothing.
constexpr int kMaxParallelDownloads = 5;
// One song at a time, as the program has always fetched them, unless the user asks for more.
constexpr int kDefaultParallelDownloads = 1;
// A row's progress reaches the window at most this often (20 updates a second), so a fast
// transfer cannot flood the event loop however small its blocks are.
constexpr int64_t kProgressIntervalMs = 50;
// The speed shown is the average over the last stretch this long: long enough to smooth the
// transport's blocks, short enough to follow a change within a second.
constexpr int64_t kSpeedWindowMs = 1000;

}  // namespace mevra::download

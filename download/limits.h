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

// A failed transfer is tried again this many times unless the user says otherwise; a connection
// that drops now and then costs the song nothing, a server that is down costs a few seconds.
constexpr int kDefaultRetries = 3;
// More tries than this only hold up the batch behind a song that is not coming.
constexpr int kMaxRetries = 10;
// The first retry waits this long, each further one twice as long as the one before.
constexpr int64_t kRetryBackoffBaseMs = 1000;
// No wait between tries is longer, whatever the server's Retry-After or the doubling says: a
// longer pause looks like a hang to the user.
constexpr int64_t kMaxRetryWaitMs = 60 * 1000;
// Room kept free beyond a file's announced size, for the file system's own bookkeeping and the
// tags written afterwards; a disk filled to the last byte fails every program on it.
constexpr int64_t kFreeSpaceMarginBytes = 1024 * 1024;
// The highest speed limit that can be set, in KB/s (1 GB/s): beyond it a limit means nothing.
constexpr int kMaxSpeedLimitKB = 1024 * 1024;
// A transfer that gets no byte for this long is taken for a stalled one and tried again: long
// enough for a busy server's pause, short enough that a batch does not hang behind a silent one.
constexpr int kDefaultStallSeconds = 30;
// A shorter limit would cut slow but healthy transfers; a longer one is a hang to the user.
constexpr int kMinStallSeconds = 5;
constexpr int kMaxStallSeconds = 600;
// The longest file name, in bytes, that the file systems songs are saved to take (NAME_MAX).
constexpr int kMaxFileNameBytes = 255;
// Partial files of different songs that would end under one name lie beside each other as
// "name.mp3.part", "name.mp3.1.part" ...; more than this many of one name are not kept.
constexpr int kMaxPartFilesPerName = 16;

// A cover larger than this is no cover but a file nobody wants inside every song's tag.
constexpr int64_t kMaxCoverBytes = 8 * 1024 * 1024;
// Lyrics longer than this are no song's words.
constexpr int64_t kMaxLyricsBytes = 1024 * 1024;
// A cover or lyrics that do not come within this are given up; the song is saved without them.
constexpr int32_t kExtrasReadTimeoutMs = 10 * 1000;

}  // namespace mevra::download

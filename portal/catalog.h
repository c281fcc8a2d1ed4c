#pragma once

#include <string_view>
#include <vector>

#include "portal/chart.h"
#include "portal/song.h"

// The portal's one deterministic data set: every song and every chart. End-to-end tests find
// the songs they need through the named ids below; all of them are on the new-songs chart.
namespace mevra::portal {

// The chart a signed-in user lands on; it holds every special song near its top.
inline constexpr std::string_view kNewSongsChart = "new";

// Songs whose file link fails on purpose.
inline constexpr std::string_view kMissingFileSongId = "23470404";  // file answers 404
inline constexpr std::string_view kEarlyCloseSongId = "23470410";   // body ends short, closes
inline constexpr std::string_view kStallingSongId = "23470420";     // body stops half way

// Songs whose file link fails in passing, so a client's retries and resumed downloads show.
inline constexpr std::string_view kResetTwiceSongId = "23470711";    // reset twice per download
inline constexpr std::string_view kBusyOnceSongId = "23470712";      // 503, Retry-After: 1, once
inline constexpr std::string_view kIgnoresRangeSongId = "23470713";  // 200 whatever the Range
inline constexpr std::string_view kShortRangeSongId = "23470714";    // a short 206, once

// Songs that exercise the harvester, the rate choice and file naming.
inline constexpr std::string_view kOnly128SongId = "23470128";          // offers only 128
inline constexpr std::string_view kSlashTitleSongId = "23470501";       // "/" in the title
inline constexpr std::string_view kCommaTitleSongId = "23470502";       // "," in the title
inline constexpr std::string_view kApostropheTitleSongId = "23470503";  // "'" in the title
inline constexpr std::string_view kBraceTitleSongId = "23470504";       // "}" in the title

// Songs for the size filter (2 MB): under it even at 320, and over it at 320 but under at 128.
inline constexpr std::string_view kShortSongId = "23470020";
inline constexpr std::string_view kLongSongId = "23470600";

// Songs that pin the delivery of their file link.
inline constexpr std::string_view kRedirectSongId = "23470302";   // 302, then Content-Length
inline constexpr std::string_view kChunkedSongId = "23470303";    // chunked body
inline constexpr std::string_view kCountedSongId = kShortSongId;  // Content-Length body

// Songs whose cover or lyrics differ from the usual cover and timed lyrics.
inline constexpr std::string_view kNoCoverSongId = kChunkedSongId;
inline constexpr std::string_view kPlainLyricsSongId = kSlashTitleSongId;
inline constexpr std::string_view kNoLyricsSongId = kApostropheTitleSongId;

// The chart --big-chart adds, for long lists: /top/big.
inline constexpr std::string_view kBigChart = "big";

// The big chart's songs: the portal's ordinary songs over and over, each copy under an id of its
// own (from 30000000 on), so that a chart of any length lists every id once.
std::vector<Song> BigChartSongs(size_t count);

// Every song, in a stable order.
const std::vector<Song>& Songs();
// The 17 charts in the order the program lists them.
const std::vector<Chart>& Charts();

// nullptr when the id or key is unknown.
const Song* FindSong(std::string_view id);
const Chart* FindChart(std::string_view key);

}  // namespace mevra::portal

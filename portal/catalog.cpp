#include "portal/catalog.h"

#include <algorithm>
#include <array>
#include <string>

namespace mevra::portal {
namespace {

constexpr int kGeneralSongCount = 200;
// Songs on the new-songs chart besides the special ones; kept short so that end-to-end tests
// which download the whole chart stay quick.
constexpr int kNewChartGeneralSongs = 14;
constexpr int kNewChartMaxSeconds = 75;

const std::vector<int> kAllRates = {128, 192, 320};

constexpr std::array<const char*, 16> kCnHead = {"夜空", "春风", "远方", "海边", "城市", "月光",
                                                 "雨季", "心跳", "流星", "青春", "北方", "梦里",
                                                 "时光", "晚风", "星河", "故乡"};
constexpr std::array<const char*, 12> kCnTail = {"的约定", "之歌", "恋曲", "物语", "不眠", "回忆",
                                                 "旅程",   "告白", "花开", "晴天", "微光", "倒影"};
constexpr std::array<const char*, 12> kLatinHead = {"Midnight", "Golden",  "Silent", "Electric",
                                                    "Paper",    "Crystal", "Neon",   "Velvet",
                                                    "Wild",     "Broken",  "Summer", "Lonely"};
constexpr std::array<const char*, 10> kLatinTail = {
    "Road", "Heart", "River", "Dreams", "Lights", "Parade", "Echo", "Harbor", "Skyline", "Letters"};
constexpr std::array<const char*, 10> kCnSingers = {"林若溪", "陈子墨", "周慕白", "许星辰",
                                                    "苏晚晴", "江一帆", "沈知秋", "顾南风",
                                                    "叶清歌", "白小川"};
constexpr std::array<const char*, 8> kLatinSingers = {"Nova Lane",  "Ivy Harper",  "Quiet Owls",
                                                      "Marco Vell", "Lumen Drift", "Kate Rowan",
                                                      "Blue Atlas", "Theo Marsh"};

Song Special(std::string_view id, const char* title, const char* singer, int seconds,
             Delivery delivery = Delivery::kCounted, Fault fault = Fault::kNone,
             std::vector<int> rates = kAllRates) {
  return Song{std::string(id), title, singer, seconds, std::move(rates), delivery, fault};
}

// Titles are unique: within each half the (head, tail) pairs never repeat for these counts.
Song General(int i) {
  Song song;
  song.id = std::to_string(23481000 + i * 13);
  const int k = i / 2;
  if (i % 2 == 0) {
    song.title = std::string(kCnHead[k % kCnHead.size()]) +
                 kCnTail[(k / kCnHead.size() + 3 * k) % kCnTail.size()];
    song.singer = kCnSingers[(k * 7) % kCnSingers.size()];
  } else {
    song.title = std::string(kLatinHead[k % kLatinHead.size()]) + " " +
                 kLatinTail[(k / kLatinHead.size() + k) % kLatinTail.size()];
    song.singer = kLatinSingers[(k * 5) % kLatinSingers.size()];
  }
  song.seconds = 20 + (i * 47) % 281;
  if (i % 9 == 4) {
    song.rates = {128};
  } else if (i % 13 == 6) {
    song.rates = {128, 320};
  } else {
    song.rates = kAllRates;
  }
  // A few songs have no cover, some plain lyrics, a few none.
  song.has_cover = i % 10 != 3;
  song.lyrics = i % 11 == 5 ? Lyrics::kNone : i % 7 == 2 ? Lyrics::kPlain : Lyrics::kTimed;
  song.delivery = i % 4 == 1   ? Delivery::kChunked
                  : i % 4 == 3 ? Delivery::kRedirect
                               : Delivery::kCounted;
  return song;
}

std::vector<Song> SpecialSongs() {
  std::vector<Song> songs = {
      Special(kShortSongId, "晨光序曲", "林若溪", 22),
      Special(kLongSongId, "Long Way North", "Nova Lane", 70),
      Special(kRedirectSongId, "远方来信", "周慕白", 26, Delivery::kRedirect),
      Special(kChunkedSongId, "Paper Lanterns", "Ivy Harper", 24, Delivery::kChunked),
      Special(kOnly128SongId, "只有一种声音", "许星辰", 30, Delivery::kCounted, Fault::kNone,
              {128}),
      Special(kSlashTitleSongId, "白天/黑夜", "苏晚晴", 25),
      Special(kCommaTitleSongId, "Rain, Then Sun", "Marco Vell", 23, Delivery::kChunked),
      Special(kApostropheTitleSongId, "Don't Wake the Moon", "Kate Rowan", 21),
      Special(kBraceTitleSongId, "Loop } Return", "Lumen Drift", 27, Delivery::kRedirect),
      Special(kMissingFileSongId, "消失的磁带", "顾南风", 40, Delivery::kCounted,
              Fault::kMissingFile),
      Special(kEarlyCloseSongId, "Half a Story", "Blue Atlas", 30, Delivery::kCounted,
              Fault::kEarlyClose),
      Special(kStallingSongId, "等不到的风", "沈知秋", 35, Delivery::kCounted, Fault::kStall),
      Special(kResetTwiceSongId, "断线重连", "江一帆", 28, Delivery::kCounted, Fault::kResetsTwice),
      Special(kBusyOnceSongId, "Busy Signal", "Theo Marsh", 24, Delivery::kCounted,
              Fault::kBusyOnce),
      Special(kIgnoresRangeSongId, "从头再来", "叶清歌", 26, Delivery::kChunked,
              Fault::kIgnoresRange),
      Special(kShortRangeSongId, "说到一半", "白小川", 25, Delivery::kCounted,
              Fault::kShortRangeOnce),
  };
  for (Song& song : songs) {
    if (song.id == kNoCoverSongId) song.has_cover = false;
    if (song.id == kPlainLyricsSongId) song.lyrics = Lyrics::kPlain;
    if (song.id == kNoLyricsSongId) song.lyrics = Lyrics::kNone;
  }
  return songs;
}

std::vector<Song> BuildSongs() {
  std::vector<Song> songs = SpecialSongs();
  for (int i = 0; i < kGeneralSongCount; ++i) songs.push_back(General(i));
  return songs;
}

struct ChartName {
  const char* key;
  const char* name;
};

constexpr std::array<ChartName, 17> kChartNames = {{
    {"dayhot", "歌曲TOP500"},
    {"new", "新歌TOP100"},
    {"huayu", "华语金曲榜"},
    {"oumei", "欧美金曲榜"},
    {"yingshijinqu", "影视金曲榜"},
    {"lovesong", "情歌对唱榜"},
    {"netsong", "网络歌曲榜"},
    {"oldsong", "经典老歌榜"},
    {"rock", "摇滚榜"},
    {"jazz", "爵士榜"},
    {"folk", "民谣榜"},
    {"chinavoice", "好声音金曲榜"},
    {"ktv", "KTV热歌榜"},
    {"billboard", "Billboard"},
    {"ukchart", "UKChart"},
    {"hito", "Hito中文榜"},
    {"chizha", "叱咤歌曲榜"},
}};

std::vector<Chart> BuildCharts(const std::vector<Song>& songs) {
  const size_t specials = SpecialSongs().size();
  auto general_id = [&](int i) { return songs[specials + i].id; };

  std::vector<Chart> charts;
  for (size_t c = 0; c < kChartNames.size(); ++c) {
    Chart chart{kChartNames[c].key, kChartNames[c].name, {}};
    if (chart.key == kNewSongsChart) {
      for (size_t s = 0; s < specials; ++s) chart.song_ids.push_back(songs[s].id);
      for (int i = 0;
           i < kGeneralSongCount && chart.song_ids.size() < specials + kNewChartGeneralSongs; ++i) {
        if (songs[specials + i].seconds <= kNewChartMaxSeconds) {
          chart.song_ids.push_back(general_id(i));
        }
      }
    } else if (c == 0) {
      // 37 is coprime to the song count, so the walk visits 100 different songs.
      for (int i = 0; i < 100; ++i) chart.song_ids.push_back(general_id((i * 37 + 11) % 200));
    } else {
      // Overlapping walks with odd steps not divisible by 5 (coprime to 200): every chart
      // shares songs with others, and no chart lists a song twice.
      const int count = 20 + static_cast<int>(c * 17 % 41);
      const int start = static_cast<int>(c * 29 % kGeneralSongCount);
      int step = static_cast<int>(2 * c + 1);
      if (step % 5 == 0) step += 2;
      if (chart.key == "oumei") {
        chart.song_ids.emplace_back(kCommaTitleSongId);
        chart.song_ids.emplace_back(kApostropheTitleSongId);
      }
      for (int j = 0; j < count; ++j) {
        chart.song_ids.push_back(general_id((start + j * step) % kGeneralSongCount));
      }
    }
    charts.push_back(std::move(chart));
  }
  return charts;
}

}  // namespace

bool Song::Offers(int rate) const {
  return std::find(rates.begin(), rates.end(), rate) != rates.end();
}

std::vector<Song> BigChartSongs(size_t count) {
  std::vector<Song> songs;
  songs.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    Song song = General(static_cast<int>(i % kGeneralSongCount));
    song.id = std::to_string(30000000 + i);
    songs.push_back(std::move(song));
  }
  return songs;
}

const std::vector<Song>& Songs() {
  static const std::vector<Song> songs = BuildSongs();
  return songs;
}

const std::vector<Chart>& Charts() {
  static const std::vector<Chart> charts = BuildCharts(Songs());
  return charts;
}

const Song* FindSong(std::string_view id) {
  for (const Song& song : Songs()) {
    if (song.id == id) return &song;
  }
  return nullptr;
}

const Chart* FindChart(std::string_view key) {
  for (const Chart& chart : Charts()) {
    if (chart.key == key) return &chart;
  }
  return nullptr;
}

}  // namespace mevra::portal

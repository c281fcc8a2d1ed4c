#include "portal/catalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace mevra::portal {
namespace {

// 2 MB, the size filter's usual setting, against the size a CBR file of the song will have.
constexpr double kTwoMegabytes = 2.0 * 1024 * 1024;
double ApproxBytes(const Song& song, int rate) { return song.seconds * rate * 125.0; }

TEST(CatalogTest, SongsAreWellFormedAndUnique) {
  std::set<std::string> ids, titles;
  bool chinese = false, latin = false;
  for (const Song& song : Songs()) {
    SCOPED_TRACE(song.id);
    EXPECT_FALSE(song.id.empty());
    EXPECT_TRUE(std::all_of(song.id.begin(), song.id.end(), ::isdigit));
    EXPECT_TRUE(ids.insert(song.id).second) << "duplicate id";
    EXPECT_TRUE(titles.insert(song.title).second) << "duplicate title " << song.title;
    EXPECT_FALSE(song.singer.empty());
    EXPECT_GE(song.seconds, 20);
    EXPECT_LE(song.seconds, 300);
    ASSERT_FALSE(song.rates.empty());
    EXPECT_EQ(song.rates.front(), 128) << "every song offers 128, the preview's rate";
    EXPECT_TRUE(std::is_sorted(song.rates.begin(), song.rates.end()));
    // Browsers serialise these back as entities, which would change the harvested text.
    for (const std::string& text : {song.title, song.singer}) {
      EXPECT_EQ(text.find_first_of("&\"<>"), std::string::npos) << text;
    }
    (static_cast<unsigned char>(song.title[0]) >= 0x80 ? chinese : latin) = true;
    EXPECT_EQ(FindSong(song.id), &song);
  }
  EXPECT_TRUE(chinese && latin);
  EXPECT_EQ(FindSong("99999999"), nullptr);
  EXPECT_EQ(FindSong(""), nullptr);
}

TEST(CatalogTest, ChartsHaveTheProgramsKeysAndKnownSongs) {
  const std::vector<std::string> keys = {
      "dayhot",  "new",       "huayu",   "oumei", "yingshijinqu", "lovesong",
      "netsong", "oldsong",   "rock",    "jazz",  "folk",         "chinavoice",
      "ktv",     "billboard", "ukchart", "hito",  "chizha"};
  ASSERT_EQ(Charts().size(), keys.size());
  std::map<std::string, int> charts_per_song;
  for (size_t i = 0; i < keys.size(); ++i) {
    const Chart& chart = Charts()[i];
    SCOPED_TRACE(chart.key);
    EXPECT_EQ(chart.key, keys[i]);
    EXPECT_EQ(FindChart(chart.key), &chart);
    EXPECT_GE(chart.song_ids.size(), 20u);
    EXPECT_LE(chart.song_ids.size(), 100u);
    std::set<std::string> seen;
    for (const std::string& id : chart.song_ids) {
      EXPECT_NE(FindSong(id), nullptr) << id;
      EXPECT_TRUE(seen.insert(id).second) << "listed twice: " << id;
      ++charts_per_song[id];
    }
  }
  EXPECT_LE(FindChart(kNewSongsChart)->song_ids.size(), 30u);
  EXPECT_TRUE(std::any_of(charts_per_song.begin(), charts_per_song.end(),
                          [](const auto& entry) { return entry.second >= 3; }));
  EXPECT_EQ(FindChart("nope"), nullptr);
}

TEST(CatalogTest, SpecialSongsAreWhatTheirNamesPromiseAndNearTheTopOfNew) {
  struct Case {
    std::string_view id;
    std::function<bool(const Song&)> holds;
  };
  const Case cases[] = {
      {kMissingFileSongId, [](const Song& s) { return s.fault == Fault::kMissingFile; }},
      {kEarlyCloseSongId, [](const Song& s) { return s.fault == Fault::kEarlyClose; }},
      {kStallingSongId, [](const Song& s) { return s.fault == Fault::kStall; }},
      {kOnly128SongId, [](const Song& s) { return s.rates == std::vector<int>{128}; }},
      {kSlashTitleSongId, [](const Song& s) { return s.title.find('/') != std::string::npos; }},
      {kCommaTitleSongId, [](const Song& s) { return s.title.find(',') != std::string::npos; }},
      {kApostropheTitleSongId,
       [](const Song& s) { return s.title.find('\'') != std::string::npos; }},
      {kBraceTitleSongId, [](const Song& s) { return s.title.find('}') != std::string::npos; }},
      {kShortSongId,
       [](const Song& s) { return s.Offers(320) && ApproxBytes(s, 320) < kTwoMegabytes * 0.9; }},
      {kLongSongId,
       [](const Song& s) {
         return s.Offers(320) && ApproxBytes(s, 320) > kTwoMegabytes * 1.1 &&
                ApproxBytes(s, 128) < kTwoMegabytes * 0.9;
       }},
      {kRedirectSongId, [](const Song& s) { return s.delivery == Delivery::kRedirect; }},
      {kChunkedSongId, [](const Song& s) { return s.delivery == Delivery::kChunked; }},
      {kCountedSongId,
       [](const Song& s) { return s.delivery == Delivery::kCounted && s.fault == Fault::kNone; }},
      {kResetTwiceSongId, [](const Song& s) { return s.fault == Fault::kResetsTwice; }},
      {kBusyOnceSongId, [](const Song& s) { return s.fault == Fault::kBusyOnce; }},
      {kIgnoresRangeSongId, [](const Song& s) { return s.fault == Fault::kIgnoresRange; }},
      {kShortRangeSongId, [](const Song& s) { return s.fault == Fault::kShortRangeOnce; }},
  };
  const auto& top = FindChart(kNewSongsChart)->song_ids;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.id));
    const Song* song = FindSong(c.id);
    ASSERT_NE(song, nullptr);
    EXPECT_TRUE(c.holds(*song));
    const auto at = std::find(top.begin(), top.end(), song->id);
    ASSERT_NE(at, top.end());
    EXPECT_LT(at - top.begin(), static_cast<std::ptrdiff_t>(std::size(cases)));
  }
}

}  // namespace
}  // namespace mevra::portal

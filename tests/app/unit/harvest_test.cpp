// Song items read out of page text: the scan, the field rules and their odd corners.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/song_harvest.h"

namespace mevra::app {
namespace {

TEST(SplitAtFirstTest, SplitsAtTheFirstOccurrenceOnly) {
  struct Case {
    std::string text, token, before, after;
  };
  const std::vector<Case> cases = {
      {"a,b,c", ",", "a", "b,c"}, {"abc", ",", "abc", ""},
      {",abc", ",", "", "abc"},   {"abc,", ",", "abc", ""},
      {"sid:1", "sid:", "", "1"}, {"Sid:1", "sid:", "Sid:1", ""},  // case-sensitive
      {"abc", "", "abc", ""},                                      // an empty token is never found
      {"", ",", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << '"' << c.text << "\" at \"" << c.token << '"');
    const SplitParts parts = SplitAtFirst(c.text, c.token);
    EXPECT_EQ(parts.before, c.before);
    EXPECT_EQ(parts.after, c.after);
  }
}

TEST(TrimControlsTest, StripsEveryCodeUpTo32ButNotHigherOnes) {
  EXPECT_EQ(TrimControls(" \t\r\n\x01 ab c \x1f"), "ab c");
  EXPECT_EQ(TrimControls("\xc2\xa0x\xc2\xa0"), "\xc2\xa0x\xc2\xa0");  // U+00A0 stays
  EXPECT_EQ(TrimControls("   "), "");
}

TEST(ParseSongItemTest, FieldRules) {
  struct Case {
    const char* name;
    std::string item;
    SongItem expected;
  };
  const std::vector<Case> cases = {
      {"worked example",
       " 'sid': '23473715', 'sname': '江南Style', 'author': 'Vuv' ",
       {"23473715", "江南Style", "Vuv"}},
      {"comma cuts the title", "'sid':'1','sname':'A, B','author':'C'", {"1", "A", "C"}},
      {"comma stays in the singer", "'sid':'1','sname':'A','author':'C, D'", {"1", "A", "C, D"}},
      {"apostrophes dropped",
       "'sid':'2','sname':'Don't Stop','author':'Q'",
       {"2", "Dont Stop", "Q"}},
      {"no singer key", "'sid':'3','sname':'T'", {"3", "T", ""}},
      {"no id key", "'sname':'T','author':'S'", {"", "", ""}},
      {"only an id", "sid: 4", {"4", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ParseSongItem(c.item), c.expected);
  }
}

std::string Item(const std::string& id, const std::string& title, const std::string& singer) {
  return "<li class=\"clearfix  song-item-hook { 'sid': '" + id + "', 'sname': '" + title +
         "', 'author': '" + singer + "' }\">x</li>\n";
}

TEST(HarvestSongItemsTest, WorkedExampleAndScanOnBehindTheBrace) {
  const std::string page =
      "<ul>clearfix  song-item-hook { 'sid': '23473715', 'sname': '江南Style', 'author': 'Vuv' }"
      " more markup " +
      Item("7", "七", "Seven") + "</ul>\r\n";
  const std::vector<SongItem> items = HarvestSongItems(page);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0], (SongItem{"23473715", "江南Style", "Vuv"}));
  EXPECT_EQ(items[1], (SongItem{"7", "七", "Seven"}));
}

TEST(HarvestSongItemsTest, PagesThatBreakTheUsualShape) {
  // A "}" inside a title ends the item there; the scan then goes on behind that brace, so the
  // rest of the broken item is not read as a new item.
  EXPECT_EQ(HarvestSongItems(Item("1", "a}b", "S")), (std::vector<SongItem>{{"1", "a", ""}}));
  // Repeats are reported; keeping them out of the list is the window's business.
  EXPECT_EQ(HarvestSongItems(Item("1", "A", "S") + Item("1", "A", "S")).size(), 2u);
  // No marker, a marker with one blank only, no page at all.
  EXPECT_TRUE(HarvestSongItems("<html><body>nothing</body></html>").empty());
  EXPECT_TRUE(HarvestSongItems("clearfix song-item-hook { sid: 1 }").empty());
  EXPECT_TRUE(HarvestSongItems("").empty());
  // An item without an id is skipped but does not stop the scan.
  EXPECT_EQ(HarvestSongItems("clearfix  song-item-hook { sname: x }" + Item("9", "T", "S")),
            (std::vector<SongItem>{{"9", "T", "S"}}));
  // Without a closing brace the item runs to the end of the page.
  EXPECT_EQ(HarvestSongItems("clearfix  song-item-hook { sid: 5, sname: T, author: S"),
            (std::vector<SongItem>{{"5", "T", "S"}}));
  // The marker right behind a closing brace is found.
  EXPECT_EQ(
      HarvestSongItems("clearfix  song-item-hook {sid:1}clearfix  song-item-hook {sid:2}").size(),
      2u);
}

TEST(HarvestSongItemsTest, LargePageGivesEveryItemInOrder) {
  std::string page;
  for (int i = 0; i < 3000; ++i) {
    // Appended rather than "T" + std::to_string(i), which GCC 12 at -O3 misreads (-Wrestrict).
    std::string title = "T";
    title += std::to_string(i);
    page += Item(std::to_string(i), title, "S");
  }
  const std::vector<SongItem> items = HarvestSongItems(page);
  ASSERT_EQ(items.size(), 3000u);
  EXPECT_EQ(items.front().id, "0");
  EXPECT_EQ(items.back(), (SongItem{"2999", "T2999", "S"}));
}

// The harvest step by step as the program has always described it, copying the rest of the page
// for every item. Slow, but obviously right: the scanner must give exactly its results.
std::vector<SongItem> ReferenceHarvest(const std::string& page) {
  auto split = [](const std::string& text, const std::string& token) {
    const size_t at = text.find(token);
    if (at == std::string::npos) return std::pair<std::string, std::string>(text, "");
    return std::pair<std::string, std::string>(text.substr(0, at), text.substr(at + token.size()));
  };
  auto trim = [](const std::string& text) { return std::string(TrimControls(text)); };
  std::vector<SongItem> items;
  std::string rest = page;
  while (rest.find("clearfix  song-item-hook {") != std::string::npos) {
    std::string after = split(rest, "clearfix  song-item-hook {").second;
    auto [item, behind] = split(after, "}");
    rest = behind;
    std::erase(item, '\'');
    std::string r = split(item, "sid:").second;
    auto [id, r2] = split(r, ",");
    r = split(r2, "sname:").second;
    auto [title, r3] = split(r, ",");
    const std::string singer = split(r3, "author:").second;
    if (trim(id).empty()) continue;
    items.push_back({trim(id), trim(title), trim(singer)});
  }
  return items;
}

TEST(HarvestSongItemsTest, GivesWhatTheStepByStepHarvestGivesOnRandomPages) {
  // Pages stitched from fragments that trip scanners: partial markers, stray braces and
  // commas, missing keys, apostrophes, control characters and multi-byte text.
  const std::vector<std::string> fragments = {"clearfix  song-item-hook {",
                                              "clearfix song-item-hook {",
                                              "clearfix  song-item-hook ",
                                              "}",
                                              "{",
                                              ",",
                                              "'",
                                              "sid:",
                                              "sid: 42",
                                              "sname:",
                                              "sname: 歌",
                                              "author:",
                                              "author: 手",
                                              " ",
                                              "\t",
                                              "\r\n",
                                              "\x01",
                                              "<li class=\"",
                                              "\">",
                                              "sid:'7'",
                                              "x",
                                              "clearfix  "};
  std::mt19937 random(20121225);
  std::uniform_int_distribution<size_t> pick(0, fragments.size() - 1);
  std::uniform_int_distribution<int> length(0, 80);
  for (int round = 0; round < 2000; ++round) {
    std::string page;
    for (int i = length(random); i > 0; --i) page += fragments[pick(random)];
    ASSERT_EQ(HarvestSongItems(page), ReferenceHarvest(page)) << page;
  }
}

}  // namespace
}  // namespace mevra::app

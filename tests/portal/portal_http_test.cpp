// Every route of the running portal, over real HTTP on loopback ports.
#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdio>
#include <set>

#include <jpeglib.h>

#include "portal/catalog.h"
#include "portal/html_text.h"
#include "portal/limits.h"
#include "portal/song_file_cache.h"
#include "tests/portal/mp3_scan.h"
#include "tests/portal/portal_process.h"
#include "tests/portal/portal_test_support.h"

namespace mevra::portal {
namespace {

using testing::PortalProcess;

constexpr std::string_view kMarker = "clearfix  song-item-hook {";

class PortalHttpTest : public ::testing::Test {
 protected:
  static PortalProcess::Options WithSharedCache(std::vector<std::string> arguments = {}) {
    // Tests share one cache folder, so each song is encoded once for the whole run.
    return {std::move(arguments), MEVRA_PORTAL_TEST_CACHE, std::chrono::milliseconds(20000)};
  }

  httplib::Result Get(int port, const std::string& path, const std::string& cookie = {}) {
    httplib::Client client("127.0.0.1", port);
    httplib::Headers headers;
    if (!cookie.empty()) headers.emplace("Cookie", cookie);
    return client.Get(path.c_str(), headers);
  }

  std::string DownloadPage(std::string_view id, const std::string& cookie) {
    auto res = Get(portal_.music_port(), "/song/" + std::string(id) + "/download", cookie);
    EXPECT_TRUE(res && res->status == 200);
    return res ? res->body : "";
  }

  PortalProcess portal_{WithSharedCache({"--account", "alice:wonder:land"})};
};

TEST_F(PortalHttpTest, SignInSetsTheCookieAndTheHomePageThenCarriesTheMarker) {
  EXPECT_EQ(Get(portal_.home_port(), "/")->body.find("window.logInfo"), std::string::npos);

  const std::string back = portal_.MusicBaseUrl() + "/top/new/";
  auto form = Get(portal_.login_port(), "/v2/?login&tpl=mn&u=" + PercentEncode(back));
  ASSERT_TRUE(form);
  EXPECT_EQ(form->status, 200);
  EXPECT_NE(form->body.find("<form method=\"post\""), std::string::npos);
  EXPECT_NE(form->body.find("name=\"password\""), std::string::npos);
  EXPECT_NE(form->body.find("value=\"" + back + "\""), std::string::npos);

  httplib::Client login("127.0.0.1", portal_.login_port());
  auto wrong = login.Post("/v2/?login&tpl=mn",
                          httplib::Params{{"username", "demo"}, {"password", "nope"}, {"u", back}});
  ASSERT_TRUE(wrong);
  EXPECT_EQ(wrong->status, 200);
  EXPECT_FALSE(wrong->has_header("Set-Cookie"));
  EXPECT_NE(wrong->body.find("login-error"), std::string::npos);
  EXPECT_NE(wrong->body.find("name=\"password\""), std::string::npos);

  auto right = login.Post("/v2/?login&tpl=mn",
                          httplib::Params{{"username", "demo"}, {"password", "demo"}, {"u", back}});
  ASSERT_TRUE(right);
  EXPECT_EQ(right->status, 302);
  EXPECT_EQ(right->get_header_value("Location"), back);
  const std::string set_cookie = right->get_header_value("Set-Cookie");
  EXPECT_TRUE(set_cookie.starts_with("MEVRASID=")) << set_cookie;
  EXPECT_NE(set_cookie.find("HttpOnly"), std::string::npos);
  EXPECT_NE(set_cookie.find("Path=/"), std::string::npos);
  EXPECT_EQ(set_cookie.find("Domain"), std::string::npos);
  const std::string cookie = set_cookie.substr(0, set_cookie.find(';'));

  // The cookie of the sign-in port is honoured by the home port: one session for all hosts.
  EXPECT_NE(Get(portal_.home_port(), "/", cookie)->body.find("window.logInfo"), std::string::npos);
  EXPECT_EQ(Get(portal_.home_port(), "/", "MEVRASID=0123456789abcdef0123456789abcdef")
                ->body.find("window.logInfo"),
            std::string::npos);

  auto out = Get(portal_.login_port(), "/v2/?logout", cookie);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->status, 302);
  EXPECT_EQ(out->get_header_value("Location"), portal_.HomeUrl());
  EXPECT_EQ(Get(portal_.home_port(), "/", cookie)->body.find("window.logInfo"), std::string::npos);
}

TEST_F(PortalHttpTest, SignInNeverRedirectsAwayAndKnowsExtraAccounts) {
  httplib::Client login("127.0.0.1", portal_.login_port());
  for (const char* target : {"http://example.com/", "https://127.0.0.1/", "", "/top/new"}) {
    SCOPED_TRACE(target);
    auto res = login.Post(
        "/v2/?login",
        httplib::Params{{"username", "alice"}, {"password", "wonder:land"}, {"u", target}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 302);
    EXPECT_EQ(res->get_header_value("Location"), portal_.HomeUrl());
  }
  EXPECT_FALSE(testing::SignIn(portal_.login_port(), "alice", "wonder").size() > 0);
}

TEST_F(PortalHttpTest, ChartPagesHoldEverySongOnceInMarkupOrScriptData) {
  for (const Chart& chart : Charts()) {
    SCOPED_TRACE(chart.key);
    auto res = Get(portal_.music_port(), "/top/" + chart.key);
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200);
    const auto classes = testing::SongItemClasses(res->body);
    const auto late = testing::LateSongs(res->body);
    EXPECT_FALSE(classes.empty());
    EXPECT_FALSE(late.empty()) << "part of the items must come from the script";
    // The marker occurs in the markup items only: the script must not spell it out.
    size_t markers = 0;
    for (size_t p = res->body.find(kMarker); p != std::string::npos;
         p = res->body.find(kMarker, p + 1)) {
      ++markers;
    }
    EXPECT_EQ(markers, classes.size());
    ASSERT_EQ(classes.size() + late.size(), chart.song_ids.size());
    for (size_t i = 0; i < chart.song_ids.size(); ++i) {
      const Song& song = *FindSong(chart.song_ids[i]);
      if (i < classes.size()) {
        EXPECT_EQ(classes[i], "clearfix  song-item-hook { 'sid': '" + song.id + "', 'sname': '" +
                                  song.title + "', 'author': '" + song.singer + "' }");
      } else {
        const auto& item = late[i - classes.size()];
        EXPECT_EQ(item.sid, song.id);
        EXPECT_EQ(item.sname, song.title);
        EXPECT_EQ(item.author, song.singer);
      }
    }
  }
  // The program's sign-in return address ends in a slash.
  auto slashed = Get(portal_.music_port(), "/top/new/");
  ASSERT_TRUE(slashed);
  EXPECT_EQ(slashed->status, 200);
  // The apostrophe reaches the page as itself, inside a double-quoted attribute.
  EXPECT_NE(slashed->body.find("class=\"clearfix  song-item-hook { 'sid': '" +
                               std::string(kApostropheTitleSongId) + "', 'sname': 'Don't"),
            std::string::npos);
}

TEST_F(PortalHttpTest, TheBigChartListsAsManySongsAsAskedEachOnceAndTheirPagesWork) {
  EXPECT_EQ(Get(portal_.music_port(), "/top/big")->status, 404);
  PortalProcess big(WithSharedCache({"--big-chart", "7"}));
  auto res = Get(big.music_port(), "/top/big");
  ASSERT_TRUE(res && res->status == 200);
  std::set<std::string> ids;
  for (const std::string& item : testing::SongItemClasses(res->body)) {
    ids.insert(item.substr(item.find("'sid': '") + 8, 8));
  }
  for (const auto& item : testing::LateSongs(res->body)) ids.insert(item.sid);
  EXPECT_EQ(ids, (std::set<std::string>{"30000000", "30000001", "30000002", "30000003", "30000004",
                                        "30000005", "30000006"}));
  EXPECT_EQ(Get(big.music_port(), "/song/30000006/download")->status, 200);
  EXPECT_EQ(Get(big.music_port(), "/song/30000007/download")->status, 404);
}

TEST_F(PortalHttpTest, OneChartLoadsTwoSameOriginFrames) {
  const std::string page = Get(portal_.music_port(), "/top/chizha")->body;
  std::vector<std::string> sources;
  for (size_t p = page.find("<iframe src=\""); p != std::string::npos;
       p = page.find("<iframe src=\"", p + 1)) {
    const size_t start = p + 13;
    sources.push_back(page.substr(start, page.find('"', start) - start));
  }
  ASSERT_EQ(sources.size(), 2u);
  for (const std::string& source : sources) {
    SCOPED_TRACE(source);
    ASSERT_TRUE(source.starts_with("/"));
    auto frame = Get(portal_.music_port(), source);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->status, 200);
    EXPECT_EQ(frame->body.find(kMarker), std::string::npos);
  }
  EXPECT_EQ(Get(portal_.music_port(), "/top/new")->body.find("<iframe"), std::string::npos);
}

TEST_F(PortalHttpTest, DownloadPagesOfferTheSongsRatesOnlyWhenSignedIn) {
  const std::string cookie = testing::SignIn(portal_.login_port());
  ASSERT_FALSE(cookie.empty());
  struct Case {
    std::string_view id;
    std::vector<int> offered;
  };
  for (const Case& c : {Case{kShortSongId, {128, 192, 320}}, Case{kOnly128SongId, {128}}}) {
    SCOPED_TRACE(std::string(c.id));
    const std::string anonymous = DownloadPage(c.id, "");
    EXPECT_EQ(anonymous.find("{\"rate\":"), std::string::npos);
    EXPECT_EQ(anonymous.find("/data/music/"), std::string::npos);
    EXPECT_NE(anonymous.find("登录"), std::string::npos);

    const std::string page = DownloadPage(c.id, cookie);
    for (int rate : {128, 192, 320}) {
      const std::string link = testing::LinkForRate(page, rate);
      const bool offered = std::find(c.offered.begin(), c.offered.end(), rate) != c.offered.end();
      EXPECT_EQ(!link.empty(), offered) << rate;
      if (!offered) continue;
      // In the page every "/" of the link is written "\/".
      const std::string marker = "{\"rate\":" + std::to_string(rate) +
                                 ",\"link\":\"\\/data\\/music\\/" + std::string(c.id) + "\\/" +
                                 std::to_string(rate) + ".mp3?t=";
      EXPECT_NE(page.find(marker), std::string::npos) << rate;
      EXPECT_TRUE(link.starts_with("/data/music/" + std::string(c.id) + "/")) << link;
    }
  }
}

// The width and height a JPEG's header gives; {0, 0} for bytes that are no JPEG.
std::pair<int, int> JpegSize(const std::string& bytes) {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  // The library's default reaction to bad data is to end the process; a short check does.
  if (bytes.size() < 4 || bytes.compare(0, 2, "\xFF\xD8") != 0) return {0, 0};
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  const bool ok = jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK;
  const std::pair<int, int> size =
      ok ? std::pair<int, int>(info.image_width, info.image_height) : std::pair<int, int>(0, 0);
  jpeg_destroy_decompress(&info);
  return size;
}

TEST_F(PortalHttpTest, CoversAndLyricsAreEachSongsOwnAndNamedOnlyOnTheSignedInPage) {
  const std::string cookie = testing::SignIn(portal_.login_port());
  struct Case {
    std::string_view id;
    bool cover;
    Lyrics lyrics;
  };
  const Case cases[] = {{kShortSongId, true, Lyrics::kTimed},
                        {kLongSongId, true, Lyrics::kTimed},
                        {kNoCoverSongId, false, Lyrics::kTimed},
                        {kPlainLyricsSongId, true, Lyrics::kPlain},
                        {kNoLyricsSongId, true, Lyrics::kNone}};
  std::set<std::string> covers;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.id));
    const Song& song = *FindSong(c.id);
    const std::string id(c.id);
    const std::string page = DownloadPage(c.id, cookie);
    EXPECT_EQ(page.find("\"cover\":\"\\/data\\/cover\\/" + id + ".jpg\"") != std::string::npos,
              c.cover);
    EXPECT_EQ(page.find("\"lyrics\":\"\\/data\\/lyrics\\/" + id + ".lrc\"") != std::string::npos,
              c.lyrics != Lyrics::kNone);
    EXPECT_EQ(DownloadPage(c.id, "").find("\"cover\""), std::string::npos);

    auto cover = Get(portal_.music_port(), "/data/cover/" + id + ".jpg");
    ASSERT_TRUE(cover);
    EXPECT_EQ(cover->status, c.cover ? 200 : 404);
    if (c.cover) {
      EXPECT_EQ(cover->get_header_value("Content-Type"), "image/jpeg");
      EXPECT_EQ(JpegSize(cover->body), std::make_pair(600, 600));
      covers.insert(cover->body);
    }
    auto lyrics = Get(portal_.music_port(), "/data/lyrics/" + id + ".lrc");
    ASSERT_TRUE(lyrics);
    EXPECT_EQ(lyrics->status, c.lyrics == Lyrics::kNone ? 404 : 200);
    if (c.lyrics == Lyrics::kNone) continue;
    // Timed lines run from the first seconds to the last ones of the song.
    std::vector<int> times;
    size_t at = 0;
    while ((at = lyrics->body.find("\n[", at)) != std::string::npos) {
      int minutes = 0, seconds = 0, hundredths = 0;
      if (std::sscanf(lyrics->body.c_str() + at + 1, "[%2d:%2d.%2d]", &minutes, &seconds,
                      &hundredths) == 3) {
        times.push_back((minutes * 60 + seconds) * 1000 + hundredths * 10);
      }
      ++at;
    }
    if (c.lyrics == Lyrics::kPlain) {
      EXPECT_TRUE(times.empty());
      EXPECT_EQ(lyrics->body.find('['), std::string::npos);
      continue;
    }
    ASSERT_GT(times.size(), 3u);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    EXPECT_LT(times.front(), 5000);
    EXPECT_GT(times.back(), song.seconds * 1000 - 5000);
    EXPECT_LT(times.back(), song.seconds * 1000);
  }
  // A picture of each song's own.
  EXPECT_EQ(covers.size(), 4u);
}

TEST_F(PortalHttpTest, FileLinksServeTheEncodedBytesWithoutCookies) {
  const std::string cookie = testing::SignIn(portal_.login_port());
  struct Case {
    std::string_view id;
    int rate;
    bool redirect;
    bool chunked;
  };
  const Case cases[] = {{kCountedSongId, 128, false, false},
                        {kChunkedSongId, 320, false, true},
                        {kRedirectSongId, 192, true, false},
                        {kBraceTitleSongId, 128, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.id) + " at " + std::to_string(c.rate));
    const Song& song = *FindSong(c.id);
    const std::string link = testing::LinkForRate(DownloadPage(c.id, cookie), c.rate);
    ASSERT_FALSE(link.empty());
    auto file = Get(portal_.music_port(), link);
    ASSERT_TRUE(file);
    if (c.redirect) {
      ASSERT_EQ(file->status, 302);
      file = Get(portal_.music_port(), file->get_header_value("Location"));
      ASSERT_TRUE(file);
    }
    ASSERT_EQ(file->status, 200);
    EXPECT_EQ(file->get_header_value("Content-Type"), "audio/mpeg");
    EXPECT_EQ(file->has_header("Transfer-Encoding"), c.chunked);
    EXPECT_EQ(file->has_header("Content-Length"), !c.chunked);
    if (!c.chunked) {
      EXPECT_EQ(file->get_header_value("Content-Length"), std::to_string(file->body.size()));
    }
    EXPECT_EQ(file->body, EncodedSongBytes(song, c.rate, portal_.data_dir()));
    const auto scan = testing::ScanMp3(file->body);
    EXPECT_EQ(scan.error, "");
    EXPECT_EQ(scan.bit_rates, std::set<int>{c.rate});
    EXPECT_EQ(scan.title, song.title);
  }
}

TEST_F(PortalHttpTest, FaultSongsFailAsDesigned) {
  const std::string cookie = testing::SignIn(portal_.login_port());
  auto link = [&](std::string_view id) {
    return testing::LinkForRate(DownloadPage(id, cookie), 128);
  };

  auto missing = Get(portal_.music_port(), link(kMissingFileSongId));
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
  EXPECT_NE(missing->body.find("<html"), std::string::npos);

  const size_t whole =
      EncodedSongBytes(*FindSong(kEarlyCloseSongId), 128, portal_.data_dir()).size();
  const auto early = testing::RawGet(portal_.music_port(), link(kEarlyCloseSongId), 10000);
  EXPECT_TRUE(early.head.starts_with("HTTP/1.1 200"));
  EXPECT_NE(early.head.find("Content-Length: " + std::to_string(whole)), std::string::npos);
  EXPECT_TRUE(early.closed);
  EXPECT_GT(early.body.size(), 0u);
  EXPECT_LT(early.body.size(), whole);

  // Silence for a second and a half stands for "stalled": the stall itself lasts minutes.
  const auto stalled = testing::RawGet(portal_.music_port(), link(kStallingSongId), 1500);
  EXPECT_TRUE(stalled.head.starts_with("HTTP/1.1 200"));
  EXPECT_FALSE(stalled.closed);
  EXPECT_GT(stalled.body.size(), 0u);
  const size_t stall_whole =
      EncodedSongBytes(*FindSong(kStallingSongId), 128, portal_.data_dir()).size();
  EXPECT_LT(stalled.body.size(), stall_whole);
}

TEST_F(PortalHttpTest, FileLinksAnswerRangesAndTheFaultSongsStayFaultyWithinThem) {
  const std::string cookie = testing::SignIn(portal_.login_port());
  auto link = [&](std::string_view id) {
    return testing::LinkForRate(DownloadPage(id, cookie), 128);
  };
  auto ranged = [&](const std::string& target, const std::string& range) {
    httplib::Client client("127.0.0.1", portal_.music_port());
    return client.Get(target.c_str(), httplib::Headers{{"Range", range}});
  };
  for (std::string_view id : {kCountedSongId, kChunkedSongId, kRedirectSongId}) {
    SCOPED_TRACE(std::string(id));
    const std::string whole = EncodedSongBytes(*FindSong(id), 128, portal_.data_dir());
    const std::string size = std::to_string(whole.size());
    std::string target = link(id);
    if (id == kRedirectSongId) {
      // The redirect ignores the range; the stored file answers it.
      auto moved = ranged(target, "bytes=1000-");
      ASSERT_TRUE(moved);
      ASSERT_EQ(moved->status, 302);
      target = moved->get_header_value("Location");
    }
    struct Case {
      std::string range;
      int status;
      std::string content_range;
      std::string body;
    };
    const Case cases[] = {
        {"bytes=1000-", 206, "bytes 1000-" + std::to_string(whole.size() - 1) + "/" + size,
         whole.substr(1000)},
        {"bytes=10-19", 206, "bytes 10-19/" + size, whole.substr(10, 10)},
        {"bytes=0-", 206, "bytes 0-" + std::to_string(whole.size() - 1) + "/" + size, whole},
        {"bytes=" + size + "-", 416, "bytes */" + size, ""},
        {"bytes=-500", 200, "", whole},  // a suffix range is not served as one: the whole file
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.range);
      auto res = ranged(target, c.range);
      ASSERT_TRUE(res);
      EXPECT_EQ(res->status, c.status);
      EXPECT_EQ(res->get_header_value("Content-Range"), c.content_range);
      if (c.status != 416) {
        EXPECT_EQ(res->body, c.body);
      }
    }
  }

  // Every file answer names its version; a range asked for with If-Range of another version
  // gets the whole file, as from a file changed since.
  {
    const std::string target = link(kCountedSongId);
    const std::string whole = EncodedSongBytes(*FindSong(kCountedSongId), 128, portal_.data_dir());
    httplib::Client client("127.0.0.1", portal_.music_port());
    auto plain = client.Get(target.c_str());
    ASSERT_TRUE(plain);
    const std::string etag = plain->get_header_value("ETag");
    const std::string modified = plain->get_header_value("Last-Modified");
    ASSERT_TRUE(etag.starts_with('"') && etag.ends_with('"')) << etag;
    ASSERT_TRUE(modified.ends_with(" GMT")) << modified;
    struct Case {
      std::string if_range;
      int status;
    };
    const Case cases[] = {
        {etag, 206},
        {modified, 206},
        {"\"0-0\"", 200},
        {"W/" + etag, 200},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.if_range);
      auto res = client.Get(target.c_str(),
                            httplib::Headers{{"Range", "bytes=1000-"}, {"If-Range", c.if_range}});
      ASSERT_TRUE(res);
      EXPECT_EQ(res->status, c.status);
      EXPECT_EQ(res->body, c.status == 206 ? whole.substr(1000) : whole);
      EXPECT_EQ(res->get_header_value("ETag"), etag);
    }
  }

  // The 404 song stays 404; the short body ends short within the range too.
  auto missing = ranged(link(kMissingFileSongId), "bytes=100-");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
  const size_t whole =
      EncodedSongBytes(*FindSong(kEarlyCloseSongId), 128, portal_.data_dir()).size();
  const auto early = testing::RawGet(portal_.music_port(), link(kEarlyCloseSongId), 10000,
                                     "Range: bytes=1000-\r\n");
  EXPECT_TRUE(early.head.starts_with("HTTP/1.1 206"));
  EXPECT_NE(early.head.find("Content-Length: " + std::to_string(whole - 1000)), std::string::npos);
  EXPECT_TRUE(early.closed);
  EXPECT_LT(early.body.size(), whole - 1000);
}

TEST_F(PortalHttpTest, FlakySongsFailInPassingAndThenServeTheirFile) {
  const std::string cookie = testing::SignIn(portal_.login_port());
  auto link = [&](std::string_view id) {
    return testing::LinkForRate(DownloadPage(id, cookie), 128);
  };
  // Reset twice, each time after a fixed number of bytes; a download that goes on from there
  // gets the rest, and the next download is reset again.
  const std::string resetting =
      EncodedSongBytes(*FindSong(kResetTwiceSongId), 128, portal_.data_dir());
  const std::string reset_link = link(kResetTwiceSongId);
  std::string got;
  for (int request = 0; request < 3; ++request) {
    SCOPED_TRACE(request);
    const std::string range =
        got.empty() ? std::string() : "Range: bytes=" + std::to_string(got.size()) + "-\r\n";
    const auto answer = testing::RawGet(portal_.music_port(), reset_link, 10000, range);
    EXPECT_TRUE(answer.closed);
    if (request < 2) {
      EXPECT_EQ(answer.body.size(), kFlakyResetBytes);
    }
    got += answer.body;
  }
  EXPECT_EQ(got, resetting);
  EXPECT_EQ(testing::RawGet(portal_.music_port(), reset_link, 10000).body.size(), kFlakyResetBytes);

  // Busy once, then the file.
  const std::string busy_link = link(kBusyOnceSongId);
  auto busy = Get(portal_.music_port(), busy_link);
  ASSERT_TRUE(busy);
  EXPECT_EQ(busy->status, 503);
  EXPECT_EQ(busy->get_header_value("Retry-After"), "1");
  auto served = Get(portal_.music_port(), busy_link);
  ASSERT_TRUE(served);
  EXPECT_EQ(served->status, 200);
  EXPECT_EQ(served->body, EncodedSongBytes(*FindSong(kBusyOnceSongId), 128, portal_.data_dir()));

  // The first range of a download gets half of what it asks for, said so in its Content-Range;
  // the next one the rest, and the download after that a short one again.
  const std::string shortened =
      EncodedSongBytes(*FindSong(kShortRangeSongId), 128, portal_.data_dir());
  const std::string short_link = link(kShortRangeSongId);
  const std::string size = std::to_string(shortened.size());
  const size_t half = 1000 + (shortened.size() - 1000) / 2;
  httplib::Client client("127.0.0.1", portal_.music_port());
  struct Range {
    size_t from;
    std::string content_range;
    std::string body;
  };
  const Range ranges[] = {
      {1000, "bytes 1000-" + std::to_string(half - 1) + "/" + size,
       shortened.substr(1000, half - 1000)},
      {half,
       "bytes " + std::to_string(half) + "-" + std::to_string(shortened.size() - 1) + "/" + size,
       shortened.substr(half)},
      {1000, "bytes 1000-" + std::to_string(half - 1) + "/" + size,
       shortened.substr(1000, half - 1000)},
  };
  for (const Range& r : ranges) {
    SCOPED_TRACE(r.content_range);
    auto res = client.Get(short_link.c_str(),
                          httplib::Headers{{"Range", "bytes=" + std::to_string(r.from) + "-"}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 206);
    EXPECT_EQ(res->get_header_value("Content-Range"), r.content_range);
    EXPECT_EQ(res->body, r.body);
  }

  // The whole file whatever range is asked for.
  auto whole =
      client.Get(link(kIgnoresRangeSongId).c_str(), httplib::Headers{{"Range", "bytes=1000-"}});
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->status, 200);
  EXPECT_FALSE(whole->has_header("Content-Range"));
  EXPECT_EQ(whole->body, EncodedSongBytes(*FindSong(kIgnoresRangeSongId), 128, portal_.data_dir()));
}

TEST_F(PortalHttpTest, BadRequestsGetAnHtmlClientErrorPage) {
  const std::string cookie = testing::SignIn(portal_.login_port());
  const std::string good = testing::LinkForRate(DownloadPage(kShortSongId, cookie), 128);
  const std::string token = good.substr(good.find("?t=") + 3);
  struct Case {
    int port;
    std::string path;
    int status;
  };
  const Case cases[] = {
      {portal_.music_port(), "/top/nope", 404},
      {portal_.music_port(), "/top/", 404},
      {portal_.music_port(), "/song/99999999/download", 404},
      {portal_.music_port(), "/song/abc/download", 404},
      {portal_.music_port(), "/frame/nope", 404},
      {portal_.music_port(), "/data/music/23470020/128.mp3", 403},
      {portal_.music_port(), "/data/music/23470020/128.mp3?t=0000000000000000", 403},
      {portal_.music_port(), "/data/music/23470020/320.mp3?t=" + token, 403},
      {portal_.music_port(), "/data/music/23470021/128.mp3?t=" + token, 404},
      {portal_.music_port(), "/data/music/23470128/320.mp3?t=" + token, 404},
      {portal_.music_port(), "/data/music/23470020/12x.mp3?t=" + token, 404},
      {portal_.music_port(), "/data/music/23470020/99999999999.mp3?t=" + token, 404},
      {portal_.music_port(), "/nothing/here", 404},
      {portal_.login_port(), "/v2/", 400},
      {portal_.login_port(), "/v2/?tpl=mn", 400},
      {portal_.home_port(), "/top/new", 404},
      {portal_.site_port(), "/mevramp3", 404},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    auto res = Get(c.port, c.path);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, c.status);
    EXPECT_TRUE(res->get_header_value("Content-Type").starts_with("text/html"));
    EXPECT_NE(res->body.find("<html"), std::string::npos);
  }
  // The good link still works after all that.
  EXPECT_EQ(Get(portal_.music_port(), good)->status, 200);
}

TEST_F(PortalHttpTest, MakersSiteServesTheStampAndPages) {
  auto stamp = Get(portal_.site_port(), "/mevramp3.txt");
  ASSERT_TRUE(stamp);
  EXPECT_EQ(stamp->status, 200);
  EXPECT_EQ(stamp->body, "201212251550");
  for (const char* path : {"/archives/41672/", "/", "/weibo/pelko"}) {
    SCOPED_TRACE(path);
    auto res = Get(portal_.site_port(), path);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
  }

  PortalProcess padded(WithSharedCache({"--stamp", " 201301010000\r\n"}));
  EXPECT_EQ(Get(padded.site_port(), "/mevramp3.txt")->body, " 201301010000\r\n");
}

}  // namespace
}  // namespace mevra::portal

// The files behind the portal's links: real MPEG-1 Layer III at the link's rate with an ID3
// tag, cached on disk without ever exposing a half-written file.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <thread>

#include "portal/catalog.h"
#include "portal/song_file_cache.h"
#include "tests/portal/mp3_scan.h"

namespace mevra::portal {
namespace {

using testing::ScanMp3;

class Mp3FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("mevra-mp3-test-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(Mp3FileTest, FilesAreCbrFramesAtTheRateWithTheSongsTag) {
  struct Case {
    std::string_view id;
    int rate;
  };
  for (const Case c : {Case{kShortSongId, 128}, Case{kShortSongId, 320},
                       Case{kApostropheTitleSongId, 192}, Case{kBraceTitleSongId, 128}}) {
    const Song& song = *FindSong(c.id);
    SCOPED_TRACE(song.title + " at " + std::to_string(c.rate));
    const std::string bytes = EncodedSongBytes(song, c.rate, dir_);
    const auto scan = ScanMp3(bytes);
    EXPECT_EQ(scan.error, "");
    EXPECT_TRUE(scan.has_id3);
    EXPECT_EQ(scan.id3_major_version, 3);
    EXPECT_EQ(scan.title, song.title);
    EXPECT_EQ(scan.artist, song.singer);
    EXPECT_TRUE(scan.all_mpeg1_layer3);
    EXPECT_EQ(scan.bit_rates, std::set<int>{c.rate});
    EXPECT_EQ(scan.sample_rates, std::set<int>{44100});
    // The encoder adds a little padding at both ends, never a whole second.
    EXPECT_NEAR(scan.Seconds(), song.seconds, 0.5);
  }
}

TEST_F(Mp3FileTest, SizesSitOnTheRightSideOfTwoMegabytes) {
  constexpr size_t kTwoMegabytes = 2 * 1024 * 1024;
  EXPECT_LT(EncodedSongBytes(*FindSong(kShortSongId), 320, dir_).size(), kTwoMegabytes);
  EXPECT_GT(EncodedSongBytes(*FindSong(kLongSongId), 320, dir_).size(), kTwoMegabytes);
  EXPECT_LT(EncodedSongBytes(*FindSong(kLongSongId), 128, dir_).size(), kTwoMegabytes);
}

TEST_F(Mp3FileTest, CachedFileIsReusedAndAnUnofferedRateIsRefused) {
  const Song& song = *FindSong(kShortSongId);
  const std::string first = EncodedSongBytes(song, 128, dir_);
  const auto path = CachedSongPath(song, 128, dir_);
  ASSERT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(std::filesystem::file_size(path), first.size());
  // A changed cache file is served as it is: proof the second call read it, not re-encoded.
  std::filesystem::resize_file(path, first.size() - 1);
  EXPECT_EQ(EncodedSongBytes(song, 128, dir_), first.substr(0, first.size() - 1));
  std::filesystem::remove(path);
  EXPECT_EQ(EncodedSongBytes(song, 128, dir_), first) << "the same song encodes the same";

  EXPECT_THROW(EncodedSongBytes(*FindSong(kOnly128SongId), 320, dir_), std::invalid_argument);
  EXPECT_FALSE(std::filesystem::exists(CachedSongPath(*FindSong(kOnly128SongId), 320, dir_)));
}

TEST_F(Mp3FileTest, ConcurrentFirstRequestsLeaveOneWholeFile) {
  const Song& song = *FindSong(kChunkedSongId);
  std::vector<std::string> results(4);
  std::vector<std::thread> threads;
  for (auto& result : results) {
    threads.emplace_back([&] { result = EncodedSongBytes(song, 192, dir_); });
  }
  for (auto& thread : threads) thread.join();
  for (const auto& result : results) EXPECT_EQ(result, results[0]);
  EXPECT_EQ(ScanMp3(results[0]).error, "");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{CachedSongPath(song, 192, dir_).filename().string()});
}

}  // namespace
}  // namespace mevra::portal

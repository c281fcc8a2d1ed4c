#include <gtest/gtest.h>

#include "tests/widgets/qt_printers.h"
#include "widgets/shell_locator.h"
#include "widgets/shorten_path.h"

namespace mevra::widgets {
namespace {

// One unit per character keeps the expected results readable.
int Chars(const QString& text) { return static_cast<int>(text.size()); }

TEST(ShortenPath, ReplacesLeadingDirectoriesOneByOne) {
  const QString path = "/home/user/music/chart/song.mp3";
  const struct {
    int width;
    QString expected;
  } cases[] = {
      {100, "/home/user/music/chart/song.mp3"},
      {31, "/home/user/music/chart/song.mp3"},  // fits exactly
      {30, "/.../user/music/chart/song.mp3"},
      {25, "/.../music/chart/song.mp3"},
      {20, "/.../chart/song.mp3"},
      {14, "/.../song.mp3"},
      {12, ".../song.mp3"},
      {11, "song.mp3"},
      {3, "song.mp3"},  // the name itself is never cut
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("width " + std::to_string(c.width));
    EXPECT_EQ(ShortenPath(path, c.width, Chars), c.expected);
  }
}

TEST(ShortenPath, HandlesRootHiddenAndRelativeDirectories) {
  EXPECT_EQ(ShortenPath("/", 0, Chars), "");
  EXPECT_EQ(ShortenPath("/file.txt", 5, Chars), "file.txt");
  EXPECT_EQ(ShortenPath("", 0, Chars), "");
  EXPECT_EQ(ShortenPath("/.config/x/name", 14, Chars), "/.../x/name");
  EXPECT_EQ(ShortenPath("/.ab/x/name", 10, Chars), "/.../name");
  EXPECT_EQ(ShortenPath("ab/c/name", 8, Chars), ".../name");
}

TEST(ShellLocator, PathNameRules) {
  const QString desktop = ShellLocator::DesktopPath();
  EXPECT_EQ(ShellLocator().PathName(), desktop);
  EXPECT_EQ(ShellLocator::Special(ShellLocator::kDesktopFolder).PathName(), desktop);
  EXPECT_EQ(ShellLocator::Computer().PathName(), "");
  EXPECT_EQ(ShellLocator::FromPath("/").PathName(), "/");
  EXPECT_EQ(ShellLocator::FromPath("/tmp/x/").PathName(), "/tmp/x");
  EXPECT_EQ(ShellLocator::FromPath("/tmp//x/../y").PathName(), "/tmp/y");
  EXPECT_TRUE(ShellLocator::FromPath("").IsEmpty());
}

TEST(ShellLocator, StoredFormRoundTrips) {
  for (const ShellLocator& locator :
       {ShellLocator(), ShellLocator::Computer(), ShellLocator::FromPath("/home/用户/Music")}) {
    SCOPED_TRACE(locator.IsComputer() ? "Computer" : locator.Path().toStdString());
    EXPECT_EQ(ShellLocator::Load(locator.Save()),
              locator.IsEmpty() ? ShellLocator::Special(0) : locator);
  }
  const QByteArray stored = ShellLocator::FromPath("/a").Save();
  EXPECT_EQ(stored, QByteArray("\x00\x02\x00\x00\x00/a", 7));
  EXPECT_TRUE(ShellLocator::Load(QByteArray("\x00\x09\x00\x00\x00/a", 7)).IsEmpty());
}

}  // namespace
}  // namespace mevra::widgets

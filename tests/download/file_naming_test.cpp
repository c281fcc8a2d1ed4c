// File naming, the part files, the size filter and the speed of a transfer.
#include <gtest/gtest.h>

#include <QSet>
#include <QString>
#include <optional>

#include "download/file_naming.h"
#include "download/speed_meter.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace mevra::download {
namespace {

TEST(FileNamingTest, SchemesTrimTitleAndSinger) {
  const QString t = QStringLiteral(" 江南Style "), s = QStringLiteral("  Vuv");
  EXPECT_EQ(SongFileName(NamingScheme::kTitle, t, s), QStringLiteral("江南Style"));
  EXPECT_EQ(SongFileName(NamingScheme::kTitleSinger, t, s), QStringLiteral("江南Style - Vuv"));
  EXPECT_EQ(SongFileName(NamingScheme::kSingerTitle, t, s), QStringLiteral("Vuv - 江南Style"));
}

TEST(FileNamingTest, NamesNeverLeaveTheSaveFolder) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"AC/DC - Back", "AC_DC - Back"},
      {"../../etc/passwd", ".._.._etc_passwd"},
      {"a\\b", "a_b"},
      {"tab\there", "tab_here"},
      {"line\nbreak", "line_break"},
      {".", "_"},
      {"..", "_"},
      {"...", "..."},
      {"Don't stop? *yes*", "Don't stop? *yes*"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    const QString safe = SafeFileName(QString::fromUtf8(c.in));
    EXPECT_EQ(safe, QString::fromUtf8(c.out));
    EXPECT_FALSE(safe.contains(QLatin1Char('/')));
  }
}

TEST(FileNamingTest, SecondSaveGetsNewPlusRateAndThirdReplacesIt) {
  QSet<QString> on_disk;
  const auto exists = [&](const QString& p) { return on_disk.contains(p); };
  const QString first = SongSavePath(QStringLiteral("/music"), QStringLiteral("A - B"),
                                     QStringLiteral("320"), exists);
  EXPECT_EQ(first, QStringLiteral("/music/A - B.mp3"));
  on_disk.insert(first);
  const QString second = SongSavePath(QStringLiteral("/music"), QStringLiteral("A - B"),
                                      QStringLiteral("320"), exists);
  EXPECT_EQ(second, QStringLiteral("/music/A - B_new320.mp3"));
  on_disk.insert(second);
  EXPECT_EQ(SongSavePath(QStringLiteral("/music"), QStringLiteral("A - B"), QStringLiteral("320"),
                         exists),
            second);
  // The root folder keeps the separator that is always added.
  EXPECT_EQ(SongSavePath(QStringLiteral("/"), QStringLiteral("x"), QStringLiteral("128"), exists),
            QStringLiteral("//x.mp3"));
}

TEST(FileNamingTest, SizeFilterBoundaries) {
  struct Case {
    int64_t bytes;
    const char* megabytes;
    std::optional<bool> removes;
  } cases[] = {
      {2097152, "2", true},              // exactly 2048 KB is not above the limit
      {2097151, "2", true},              // 2047 KB
      {2048 * 1024 + 1024, "2", false},  // 2049 KB stays
      {0, "2", true},
      {10 * 1024 * 1024, "10", true},
      {10 * 1024 * 1024 + 1024, "10", false},
      {5000000, "", std::nullopt},  // an empty size box is not a number
      {5000000, "4", false},
      {5000000, "12", true},
      {5000000, "abc", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.bytes << " bytes, size box \"" << c.megabytes << '"');
    EXPECT_EQ(SizeFilterRemoves(c.bytes, QString::fromUtf8(c.megabytes)), c.removes);
  }
}

TEST(FileNamingTest, PartFilesOfOneTargetNeverShareAName) {
  EXPECT_EQ(PartFilePath(QStringLiteral("/m/A - B.mp3")), QStringLiteral("/m/A - B.mp3.part"));
  EXPECT_EQ(PartFilePath(QStringLiteral("/m/A - B.mp3"), 2), QStringLiteral("/m/A - B.mp3.2.part"));
  EXPECT_FALSE(PartFilePath(QStringLiteral("/m/x.mp3")).endsWith(QStringLiteral(".mp3")));
}

TEST(SpeedMeterTest, AveragesOverTheLastSecondAndFallsWhenBytesStop) {
  struct Case {
    const char* name;
    std::vector<std::pair<int64_t, int64_t>> samples;  // (ms, bytes so far)
    double bytes_per_second;
  };
  const Case cases[] = {
      {"one note has no speed", {{0, 0}}, 0},
      {"notes at one moment have no speed", {{5, 0}, {5, 1000}}, 0},
      {"steady", {{0, 0}, {500, 50000}, {1000, 100000}}, 100000},
      // Only the last second counts: the fast start has left the window.
      {"a slower second after a fast start",
       {{0, 0}, {100, 900000}, {1100, 1000000}, {2100, 1100000}},
       100000},
      {"a stall", {{0, 0}, {1000, 100000}, {2000, 100000}, {2500, 100000}}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SpeedMeter meter(1000);
    for (const auto& [ms, bytes] : c.samples) meter.Add(ms, bytes);
    EXPECT_DOUBLE_EQ(meter.BytesPerSecond(), c.bytes_per_second);
  }
}

}  // namespace
}  // namespace mevra::download

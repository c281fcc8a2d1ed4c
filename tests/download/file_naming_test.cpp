// File naming and the names file systems take, the part files, the size filter, what counts as
// audio and the speed of a transfer.
#include <gtest/gtest.h>

#include <QSet>
#include <QString>
#include <optional>

#include "download/audio_check.h"
#include "download/file_naming.h"
#include "download/folder_name_rules.h"
#include "download/limits.h"
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

TEST(FileNamingTest, TemplatesMakeFoldersOnlyOfTheirOwnSlashesAndRefuseWhatCannotName) {
  const TemplateValues values{QStringLiteral(" 白天/黑夜 "), QStringLiteral("AC/DC"),
                              QStringLiteral("23470501"), QStringLiteral("320"),
                              QStringLiteral("新歌TOP100")};
  struct Case {
    const char* in;
    const char* out;    // the path below the save folder; "" when refused
    const char* error;  // a piece of the reason it is refused with
  } cases[] = {
      {"{singer}/{singer} - {title}", "AC_DC/AC_DC - 白天_黑夜", ""},
      {"{page}/{rate}/{id}", "新歌TOP100/320/23470501", ""},
      {" {title} ", "白天_黑夜", ""},
      {"{nope}/{title}", "", "占位符"},
      {"{title", "", "花括号"},
      {"title}", "", "花括号"},
      {"", "", "空"},
      {"/{title}", "", "开头"},
      {"{singer}//{title}", "", "空的文件夹名"},
      {"{singer}/", "", "空的文件夹名"},
      {"../{title}", "", "“..”"},
      {"{title}/cover", "", "重名"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    const QString error = NameTemplateError(QString::fromUtf8(c.in));
    EXPECT_TRUE(error.contains(QString::fromUtf8(c.error))) << error.toStdString();
    EXPECT_EQ(error.isEmpty(), *c.out != 0);
    if (error.isEmpty()) {
      EXPECT_EQ(TemplateBaseName(QString::fromUtf8(c.in), values, NameRules::kPosix),
                QString::fromUtf8(c.out));
    }
  }
  // A value that is nothing, or nothing but dots, never names the folder itself or its parent;
  // the other system's rules apply to every part.
  const TemplateValues odd{QStringLiteral(".."), {}, QStringLiteral("7"), {}, {}};
  EXPECT_EQ(TemplateBaseName(QStringLiteral("{singer}/{title}/{id}?"), odd, NameRules::kFat),
            QStringLiteral("_/_/7_"));
  // Folders may use a whole name's bytes; the file name leaves room for what is derived from it.
  const QString cjk = QStringLiteral("歌").repeated(100);
  const QStringList parts =
      TemplateBaseName(QStringLiteral("{title}/{title}"), {cjk, {}, {}, {}, {}}, NameRules::kPosix)
          .split(u'/');
  ASSERT_EQ(parts.size(), 2);
  EXPECT_EQ(parts[0].toUtf8().size(), 255);
  EXPECT_EQ(parts[1].toUtf8().size(), (kMaxFileNameBytes - DerivedNameBytes()) / 3 * 3);
}

TEST(FileNamingTest, LongNamesAreCutOnACharacterSoEveryDerivedNameFits) {
  // "_new320" + ".mp3" + ".15.part" + ".info"
  ASSERT_EQ(DerivedNameBytes(), 24);
  const int room = kMaxFileNameBytes - DerivedNameBytes();
  const QString cjk = QStringLiteral("歌");   // 3 bytes
  const QString emoji = QStringLiteral("😀");  // 4 bytes, two UTF-16 units
  struct Case {
    const char* name;
    QString in;
    QString out;
  };
  const Case cases[] = {
      {"ASCII at the limit", QString(room, u'a'), QString(room, u'a')},
      {"ASCII one over", QString(room + 1, u'a'), QString(room, u'a')},
      {"CJK one character over", cjk.repeated(room / 3 + 1), cjk.repeated(room / 3)},
      // 230 bytes of "a" leave one byte: no room for any part of the next character.
      {"no half of a character", QString(room - 1, u'a') + cjk, QString(room - 1, u'a')},
      {"no half of a surrogate pair", QString(room - 3, u'a') + emoji, QString(room - 3, u'a')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CutToUtf8Bytes(c.in, room), c.out);
  }
  // 86 CJK characters failed with "File name too long"; cut, the longest part record fits.
  const QString base = SongBaseName(NamingScheme::kTitleSinger, cjk.repeated(86),
                                    QStringLiteral("S"), NameRules::kPosix);
  EXPECT_EQ(base, cjk.repeated(room / 3));
  EXPECT_LE((base + QStringLiteral("_new320.mp3.15.part.info")).toUtf8().size(), 255);
}

TEST(FileNamingTest, FatMediaGetNamesTheyTakeAndOtherDisksKeepTheirs) {
  struct Case {
    const char* in;
    const char* fat;
  } cases[] = {
      {"a:b*c?d\"e<f>g|h", "a_b_c_d_e_f_g_h"},
      {"Wait... ", "Wait____"},
      {"CON", "CON_"},
      {"nul.x", "nul_.x"},
      {"CONSOLE", "CONSOLE"},
      {"COM10", "COM10"},
      {"歌 - 手", "歌 - 手"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(FatSafeFileName(QString::fromUtf8(c.in)), QString::fromUtf8(c.fat));
    EXPECT_EQ(SongBaseName(NamingScheme::kTitle, QString::fromUtf8(c.in), {}, NameRules::kFat),
              FatSafeFileName(QString::fromUtf8(c.in).trimmed()));
    EXPECT_EQ(SongBaseName(NamingScheme::kTitle, QString::fromUtf8(c.in), {}, NameRules::kPosix),
              QString::fromUtf8(c.in).trimmed());
  }

  // The statfs types of the disks media players use; FUSE only when mounted as "fuseblk".
  struct Disk {
    const char* name;
    int64_t statfs_type;
    const char* mount_type;
    NameRules rules;
  } disks[] = {
      {"vfat", 0x4d44, "", NameRules::kFat},
      {"exfat", 0x2011BAB0, "", NameRules::kFat},
      {"ntfs3", 0x7366746e, "", NameRules::kFat},
      {"ntfs-3g on fuseblk", 0x65735546, "fuseblk", NameRules::kFat},
      {"sshfs", 0x65735546, "fuse.sshfs", NameRules::kPosix},
      {"ext4", 0xEF53, "", NameRules::kPosix},
  };
  for (const Disk& d : disks) {
    SCOPED_TRACE(d.name);
    EXPECT_EQ(NameRulesFor(d.statfs_type, d.mount_type), d.rules);
  }
  EXPECT_EQ(FolderNameRules(QStringLiteral("/tmp")), NameRules::kPosix);
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

TEST(AudioCheckTest, TextAndPagesAreNoSongWhateverTheirBytes) {
  struct Type {
    const char* type;
    bool non_audio;
  } types[] = {
      {"text/html; charset=utf-8", true},  {"TEXT/plain", true},
      {"application/json", true},          {" application/xml ", true},
      {"application/xhtml+xml", true},     {"audio/mpeg", false},
      {"application/octet-stream", false}, {"", false},
  };
  for (const Type& t : types) {
    SCOPED_TRACE(t.type);
    EXPECT_EQ(IsNonAudioContentType(t.type), t.non_audio);
  }
  struct Start {
    const char* name;
    std::string bytes;
    bool audio;
  } starts[] = {
      {"an ID3v2 tag", "ID3", true},
      {"an MPEG-1 layer III frame", "\xFF\xFB\x90", true},
      {"eleven bits, but one short", "\xFF\xC0\x00", false},
      {"a web page", "<!D", false},
      {"a lone sync byte", "\xFF", false},
  };
  for (const Start& s : starts) {
    SCOPED_TRACE(s.name);
    EXPECT_EQ(StartsLikeAudio(s.bytes), s.audio);
  }
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

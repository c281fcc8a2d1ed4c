// Link cutting and resolution, file naming, the size filter and the transfer texts of the batch and
// preview.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>
#include <QWebEnginePage>

#include "app/limits.h"
#include "app/song_link.h"
#include "app/song_link_resolver.h"
#include "app/transfer_text.h"
#include "browser/browser_control.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace mevra::app {
namespace {

const QString kBase = QStringLiteral("http://127.0.0.1:18082");

TEST(SongLinkTest, CutsThePathOfTheAskedRateAndDropsBackslashes) {
  const QString page = QStringLiteral(
      "  <script>var d=[{\"rate\":128,\"link\":\"\\/data\\/music\\/1\\/a.mp3?x=1\"},"
      "{\"rate\":320,\"link\":\"\\/data\\/music\\/1\\/c.mp3?x=3\"}];</script>\r\n");
  const SongLink l128 = CutSongLink(page, QStringLiteral("128"), kBase);
  EXPECT_TRUE(l128.found);
  EXPECT_EQ(l128.url, kBase + QStringLiteral("/data/music/1/a.mp3?x=1"));
  const SongLink l320 = CutSongLink(page, QStringLiteral("320"), kBase);
  EXPECT_EQ(l320.url, kBase + QStringLiteral("/data/music/1/c.mp3?x=3"));
}

TEST(SongLinkTest, MissingRateOrEmptyPageGivesTheBareBaseAndSaysSo) {
  const QString only128 = QStringLiteral("{\"rate\":128,\"link\":\"\\/a.mp3\"}");
  for (const QString& page : {only128, QString(), QStringLiteral("<p>please sign in</p>")}) {
    SCOPED_TRACE(page.toStdString());
    const SongLink link = CutSongLink(page, QStringLiteral("320"), kBase);
    EXPECT_FALSE(link.found);
    EXPECT_EQ(link.url, kBase);
  }
  // A marker followed at once by the closing quote offers nothing either.
  EXPECT_FALSE(
      CutSongLink(QStringLiteral("{\"rate\":192,\"link\":\"\""), QStringLiteral("192"), kBase)
          .found);
}

TEST(SongLinkTest, PathRunsToTheEndWhenNoQuoteFollows) {
  const SongLink link = CutSongLink(QStringLiteral("{\"rate\":128,\"link\":\"\\/x.mp3"),
                                    QStringLiteral("128"), kBase);
  EXPECT_EQ(link.url, kBase + QStringLiteral("/x.mp3"));
}

TEST(SongLinkTest, SongPageUrlTrimsTheId) {
  EXPECT_EQ(SongPageUrl(kBase, QStringLiteral("  23473715 \t")),
            kBase + QStringLiteral("/song/23473715/download"));
  EXPECT_EQ(RateMarker(QStringLiteral("192")), QStringLiteral("{\"rate\":192,\"link\":\""));
}

TEST(SongLinkResolverTest, APageThatKeepsLandingElsewhereIsLoadedAgainOnlyUpToTheLimit) {
  // The song's page sends the browser on to another page as soon as it has loaded. It is a local
  // file: the id's extension makes the engine take it for a web page, and the rest of the page's
  // address becomes a query that the file ignores.
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkpath("music/song"));
  const QString base = QUrl::fromLocalFile(dir.filePath("music")).toString();
  const QString id = QStringLiteral("7.html?");
  const QString page_url = SongPageUrl(base, id);
  const QString away_url = QUrl::fromLocalFile(dir.filePath("away.html")).toString();
  for (const auto& [path, text] :
       {std::pair{QStringLiteral("music/song/7.html"),
                  "<html><body><script>window.addEventListener('load', function () {"
                  " setTimeout(function () { location.href = '" +
                      away_url.toUtf8() + "'; }, 0); });</script></body></html>"},
        std::pair{QStringLiteral("away.html"), QByteArray("<html><body>away</body></html>")}}) {
    QFile file(dir.filePath(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }

  browser::BrowserControl web(QStringLiteral("web2"));
  int page_loads = 0;
  int away_loads = 0;
  QObject::connect(web.Page(), &QWebEnginePage::loadFinished, [&](bool) {
    const QString location = web.LocationURL();
    if (location == page_url) ++page_loads;
    if (location == away_url) ++away_loads;
  });
  // Time stands still until the last allowed load has landed elsewhere; then the wait has one
  // real second more, in which a load too many would show.
  constexpr int kAllowedLoads = 1 + kMaxRenavigations;
  const QDeadlineTimer give_up(60000);
  QElapsedTimer since_last;
  const TickClock clock = [&]() -> uint32_t {
    if (give_up.hasExpired()) return 0xFFFFFFFFu;
    if (away_loads < kAllowedLoads) return 0;
    if (!since_last.isValid()) since_last.start();
    return static_cast<uint32_t>(since_last.elapsed());
  };
  const SongLink link = ResolveSongLink(web, base, id, QStringLiteral("128"), clock, 1000);
  EXPECT_FALSE(give_up.hasExpired());
  EXPECT_EQ(page_loads, kAllowedLoads);
  EXPECT_EQ(away_loads, kAllowedLoads);
  EXPECT_FALSE(link.found);
  EXPECT_EQ(link.url, base);
}

TEST(TransferTextTest, BatchProgressOfAFiveMillionByteSong) {
  EXPECT_EQ(DownloadProgressText(QStringLiteral("歌名"), 2500000, 5000000, 0),
            QStringLiteral("《歌名》已下载:2441K  总大小:4882K  已下载:0首"));
  EXPECT_EQ(TransferPercent(2500000, 5000000), 50);
}

TEST(TransferTextTest, PercentNeverOverflowsOrDividesByZero) {
  EXPECT_EQ(TransferPercent(2147483647, 2147483647), 100);
  EXPECT_EQ(TransferPercent(2000000000, 2100000000), 95);
  EXPECT_EQ(TransferPercent(12345, 0), 0);
  EXPECT_EQ(IndicatorPercent(65536 + 7), 7);
  EXPECT_EQ(DownloadProgressText(QStringLiteral("t"), 4096, 0, 2),
            QStringLiteral("《t》已下载:4K  总大小:0K  已下载:2首"));
}

TEST(TransferTextTest, PreviewShowsPercentOrKilobytesWithoutALength) {
  EXPECT_EQ(PreviewProgressText(QStringLiteral("歌"), 50, 200),
            QStringLiteral("《歌》正在缓冲25%，请稍等..."));
  EXPECT_EQ(PreviewProgressText(QStringLiteral("歌"), 3072, 0),
            QStringLiteral("《歌》正在缓冲3K，请稍等..."));
}

}  // namespace
}  // namespace mevra::app

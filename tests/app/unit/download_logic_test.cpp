// Link cutting, links read from song pages in a browser, and the transfer texts of the batch and
// the preview.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QNetworkCookie>
#include <QString>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <optional>
#include <utility>

#include "app/browser_link_source.h"
#include "app/cookie_mirror.h"
#include "app/direct_link_source.h"
#include "app/song_link.h"
#include "app/transfer_text.h"
#include "browser/browser_control.h"
#include "download/link_source.h"
#include "http/cookie_manager.h"
#include "http/netscape_cookie.h"
#include "http/uri.h"
#include "tests/browser/test_http_server.h"
#include "tests/browser/wait_until.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace mevra::app {
namespace {

using browser::test::WaitUntil;

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

TEST(SongLinkTest, TheAnswerCarriesTheCoverAndLyricsOnTheMusicHostOnly) {
  const QString link = QStringLiteral("{\"rate\":128,\"link\":\"\\/m.mp3\"}");
  struct Case {
    const char* name;
    QString extras;
    QString cover;
    QString lyrics;
  } cases[] = {
      {"both", QStringLiteral(",\"cover\":\"\\/c\\/1.jpg\",\"lyrics\":\"\\/l\\/1.lrc\""),
       kBase + "/c/1.jpg", kBase + "/l/1.lrc"},
      {"none", QString(), QString(), QString()},
      {"not a path on the host",
       QStringLiteral(",\"cover\":\"http:\\/\\/elsewhere\\/x.jpg\",\"lyrics\":\"\"\""), QString(),
       QString()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const download::LinkAnswer answer =
        AnswerFromPage(QStringLiteral("var d={\"rates\":[") + link + "]" + c.extras + "};",
                       QStringLiteral("128"), kBase);
    EXPECT_TRUE(answer.found);
    EXPECT_EQ(answer.cover_url, c.cover);
    EXPECT_EQ(answer.lyrics_url, c.lyrics);
  }
}

TEST(SongLinkTest, SongPageUrlTrimsTheId) {
  EXPECT_EQ(SongPageUrl(kBase, QStringLiteral("  23473715 \t")),
            kBase + QStringLiteral("/song/23473715/download"));
  EXPECT_EQ(RateMarker(QStringLiteral("192")), QStringLiteral("{\"rate\":192,\"link\":\""));
}

TEST(BrowserLinkSourceTest, OnePageAnswersInTurnAndNeverCutsAPageOfAnotherAddress) {
  // Song pages are local files: the id's extension makes the engine take them for web pages,
  // and the rest of the page's address becomes a query that the file ignores.
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkpath("music/song"));
  const QString base = QUrl::fromLocalFile(dir.filePath("music")).toString();
  const QString away_url = QUrl::fromLocalFile(dir.filePath("away.html")).toString();
  const QByteArray link_script =
      "<script>var d=[{\"rate\":128,\"link\":\"\\/data\\/a.mp3\"}];</script>";
  const std::pair<QString, QByteArray> files[] = {
      {"music/song/1.html", "<html><body>" + link_script + "</body></html>"},
      {"music/song/2.html", "<html><body><p>please sign in</p></body></html>"},
      // Lands elsewhere at once; the other page holds a link that must not be taken.
      {"music/song/3.html",
       "<html><body><script>location.href = '" + away_url.toUtf8() + "';</script></body></html>"},
      {"away.html", "<html><body>" + link_script + "</body></html>"},
      // Gets its link from a script a little after loading.
      {"music/song/4.html",
       "<html><body><script>setTimeout(function () { document.body.innerHTML = '" +
           QByteArray(link_script).replace("'", "\\'").replace("</script>", "<\\/script>") +
           "'; }, 200);</script></body></html>"},
  };
  for (const auto& [path, text] : files) {
    QFile file(dir.filePath(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }

  browser::BrowserControl web(QStringLiteral("web2"));
  BrowserLinkSource source(web, nullptr, base, SystemTickCount);
  // Long enough for a local page and its script on a busy machine; the pages without a link
  // wait it out.
  source.SetPageWait(2500);
  QStringList answers;
  auto record = [&](const QString& name) {
    return [&answers, name](const download::LinkAnswer& answer) {
      answers << name + ": " + (answer.found ? answer.url : answer.reason);
    };
  };
  source.Request(QStringLiteral("1.html?"), QStringLiteral("128"), record("1"));
  source.Request(QStringLiteral("2.html?"), QStringLiteral("128"), record("2"));
  const download::LinkSource::Ticket cancelled =
      source.Request(QStringLiteral("1.html?"), QStringLiteral("128"), record("cancelled"));
  source.Request(QStringLiteral("3.html?"), QStringLiteral("128"), record("3"));
  source.Request(QStringLiteral("4.html?"), QStringLiteral("128"), record("4"));
  source.Cancel(cancelled);
  // Answers come from the event loop, never inside a request.
  EXPECT_TRUE(answers.isEmpty());
  ASSERT_TRUE(WaitUntil([&] { return answers.size() == 4; }, 30000));
  // Nothing more comes, not even for the cancelled request.
  EXPECT_FALSE(WaitUntil([&] { return answers.size() > 4; }, 300));
  EXPECT_EQ(answers, (QStringList{"1: " + base + "/data/a.mp3",
                                  "2: " + QStringLiteral("下载页面中没有128K的下载链接"),
                                  "3: " + QStringLiteral("下载页面中没有128K的下载链接"),
                                  "4: " + base + "/data/a.mp3"}));
}

// Stands for the hidden browser: answers every song it is asked for with "browser <id>".
class RecordingSource : public download::LinkSource {
 public:
  Ticket Request(const QString& id, const QString&, Answer answer) override {
    asked << id;
    QTimer::singleShot(0, [id, answer] {
      download::LinkAnswer none;
      none.reason = "browser " + id;
      answer(none);
    });
    return ++last;
  }
  void Cancel(Ticket) override {}
  QStringList asked;
  Ticket last = 0;
};

TEST(DirectLinkSourceTest, SendsTheMirroredCookiesAndAsksTheBrowserOnlyForPagesWithoutALink) {
  browser::test::TestHttpServer server;
  server.Serve("/song/1/download", "text/html",
               "<script>var d={\"rates\":[{\"rate\":128,\"link\":\"\\/data\\/1.mp3\"}]};</script>");
  server.Serve("/song/2/download", "text/html", "<p>please sign in</p>");
  const QString base = server.Url("");
  auto cookies = std::make_shared<http::CookieManager>();
  QNetworkCookie sign_in("sid", "abc");
  sign_in.setDomain("127.0.0.1");
  cookies->Cookies().AddCookie(MirroredCookie(sign_in));
  RecordingSource browser;
  DirectLinkSource source(browser, cookies, base);
  source.SetLaneCount(2);

  QStringList answers;
  auto record = [&answers](const QString& name) {
    return [&answers, name](const download::LinkAnswer& answer) {
      answers << name + ": " + (answer.found ? answer.url : answer.reason);
    };
  };
  source.Request("1", "128", record("1"));
  source.Request("2", "128", record("2"));
  source.Cancel(source.Request("1", "128", record("cancelled")));
  EXPECT_TRUE(answers.isEmpty());
  ASSERT_TRUE(WaitUntil([&] { return answers.size() == 2; }, 10000));
  EXPECT_FALSE(WaitUntil([&] { return answers.size() > 2; }, 200));
  answers.sort();
  EXPECT_EQ(answers, (QStringList{"1: " + base + "/data/1.mp3", "2: browser 2"}));
  EXPECT_EQ(browser.asked, QStringList{"2"});
  EXPECT_EQ(server.LastRequest("/song/1/download").headers.value("cookie"), "sid=abc");

  // A cookie the browser loses is no longer sent.
  ASSERT_TRUE(cookies->Cookies().RemoveCookie("127.0.0.1", "sid"));
  answers.clear();
  source.Request("1", "128", record("1"));
  ASSERT_TRUE(WaitUntil([&] { return answers.size() == 1; }, 10000));
  EXPECT_FALSE(server.LastRequest("/song/1/download").headers.contains("cookie"));

  // Switched to the browser, the source fetches nothing itself.
  source.SetDirect(false);
  source.Request("1", "128", record("1"));
  ASSERT_TRUE(WaitUntil([&] { return answers.size() == 2; }, 10000));
  EXPECT_EQ(answers.last(), "1: browser 1");
}

TEST(DirectLinkSourceTest, APortalThatDoesNotAnswerIsUnreachableAndNotAskedOfTheBrowser) {
  QTcpServer closed;
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
  const quint16 port = closed.serverPort();
  closed.close();
  RecordingSource browser;
  DirectLinkSource source(browser, std::make_shared<http::CookieManager>(),
                          QStringLiteral("http://127.0.0.1:%1").arg(port));
  std::optional<download::LinkAnswer> answer;
  source.Request("1", "128", [&answer](const download::LinkAnswer& a) { answer = a; });
  ASSERT_TRUE(WaitUntil([&] { return answer.has_value(); }, 10000));
  EXPECT_TRUE(answer->unreachable);
  EXPECT_FALSE(answer->found);
  EXPECT_TRUE(answer->reason.startsWith(QStringLiteral("无法打开下载页面：")))
      << answer->reason.toStdString();
  EXPECT_GT(answer->reason.size(), 9);
  EXPECT_TRUE(browser.asked.isEmpty());
}

TEST(CookieMirrorTest, ABrowserCookieGoesWhereTheBrowserWouldSendIt) {
  struct Case {
    const char* name;
    const char* domain;
    bool secure;
    int expires_in_s;  // 0: a session cookie
    const char* target;
    bool sent;
  };
  const Case cases[] = {
      {"host's own", "example.com", false, 0, "http://example.com/a", true},
      {"host's own, not to a sub-domain", "example.com", false, 0, "http://www.example.com/",
       false},
      {"domain cookie to a sub-domain", ".example.com", false, 3600, "http://www.example.com/",
       true},
      {"secure, over http", "example.com", true, 0, "http://example.com/", false},
      {"secure, over https", "example.com", true, 0, "https://example.com/", true},
      {"expired", "example.com", false, -10, "http://example.com/", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QNetworkCookie cookie("sid", "v");
    cookie.setDomain(c.domain);
    cookie.setPath("/");
    cookie.setSecure(c.secure);
    if (c.expires_in_s != 0) {
      cookie.setExpirationDate(QDateTime::currentDateTimeUtc().addSecs(c.expires_in_s));
    }
    http::CookieManager store;
    store.Cookies().AddCookie(MirroredCookie(cookie));
    const http::Uri target(c.target);
    EXPECT_EQ(store.GenerateCookieList(target, target.Protocol() == "https"),
              c.sent ? "sid=v" : "");
  }
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

TEST(TransferTextTest, RowProgressAndTheBatchAsAWhole) {
  struct Case {
    int64_t done;
    int64_t total;
    double speed;
    const char* text;
  };
  const Case cases[] = {
      {450, 1000, 1.2 * 1024 * 1024, "下载中 45%  1.2MB/s"},
      {1000, 1000, 1024 * 1024, "下载中 100%  1.0MB/s"},
      {0, 5000000, 0, "下载中 0%  0KB/s"},
      {3 * 1024 * 1024 + 5, 6LL * 1024 * 1024 * 1024, 1024 * 1023, "下载中 0%  1023KB/s"},
      // No length announced: the kilobytes so far, never a division by zero.
      {1263616, 0, 850 * 1024, "下载中 1234K  850KB/s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(RowProgressText(c.done, c.total, c.speed), QString::fromUtf8(c.text));
  }
  EXPECT_EQ(BatchProgressText(3, 10, 12345 * 1024 + 1000),
            QStringLiteral("已完成:3/10首  已下载:12345K"));
}

TEST(TransferTextTest, PreviewShowsPercentOrKilobytesWithoutALength) {
  EXPECT_EQ(PreviewProgressText(QStringLiteral("歌"), 50, 200),
            QStringLiteral("《歌》正在缓冲25%，请稍等..."));
  EXPECT_EQ(PreviewProgressText(QStringLiteral("歌"), 3072, 0),
            QStringLiteral("《歌》正在缓冲3K，请稍等..."));
}

}  // namespace
}  // namespace mevra::app

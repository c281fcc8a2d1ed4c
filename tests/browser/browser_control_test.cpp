#include "browser/browser_control.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <vector>

#include "browser/certificate_trust.h"
#include "browser/shared_profile.h"
#include "browser/user_agent.h"
#include "browser_test_main.h"
#include "test_http_server.h"
#include "tests/support/scripted_server.h"
#include "tests/support/test_pki.h"
#include "user_click.h"
#include "wait_until.h"

namespace mevra::browser {
namespace {

using test::TestHttpServer;
using test::UserClick;
using test::WaitUntil;

constexpr int kLoadTimeoutMs = 20000;

QByteArray PngBytes() {
  QImage image(4, 4, QImage::Format_RGB32);
  image.fill(Qt::red);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

QByteArray SongBytes() {
  QByteArray bytes;
  for (int i = 0; i < 70000; ++i) bytes += static_cast<char>(i * 7 % 251);
  return bytes;
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class BrowserControlTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new TestHttpServer;
    server_->Serve("/page.html", "text/html; charset=utf-8",
                   "<!DOCTYPE html><html><head><title>t</title></head><body>"
                   "<div class=\"song  item\">\xE9\x9F\xB3\xE4\xB9\x90</div>"
                   "<script>var link = \"http://x/a.mp3\"; if (1 < 2) {}</script>"
                   "<script>window.addEventListener('load', function () {"
                   " var p = document.createElement('p'); p.id = 'late'; p.textContent = 'added';"
                   " document.body.appendChild(p); });</script>"
                   "</body></html>");
    server_->Serve("/other.html", "text/html", "<html><body>other</body></html>");
    server_->Serve("/frames.html", "text/html",
                   "<html><body><iframe src=\"/frame1.html\"></iframe>"
                   "<iframe src=\"/frame2.html\"></iframe></body></html>");
    server_->Serve("/frame1.html", "text/html", "<html><body>one</body></html>");
    server_->Serve("/frame2.html", "text/html", "<html><body>two</body></html>");
    server_->Serve("/image.png", "image/png", PngBytes());
    server_->Serve("/plain.txt", "text/plain", "just <b>text</b>");
    server_->Serve("/keys.html", "text/html",
                   "<html><body><script>window.keys = '';"
                   "document.addEventListener('keydown', function (e) {"
                   " if (['Control', 'Shift', 'Alt', 'Meta'].indexOf(e.key) >= 0) return;"
                   " window.keys += (e.ctrlKey ? '^' : '') + e.key.toLowerCase() + ','; });"
                   "</script></body></html>");
    server_->Serve("/error.html", "text/html",
                   "<html><body><script>undefinedFunction();</script>"
                   "<script>throw new Error('boom');</script>"
                   "<script>document.body.setAttribute('data-after', 'ran');</script>"
                   "</body></html>");
    server_->Serve("/busy.html", "text/html",
                   "<html><body>busy<script>window.addEventListener('load', function () {"
                   " setTimeout(function () { var request = new XMLHttpRequest();"
                   " request.open('GET', '/hold', false); request.send(); }, 0); });"
                   "</script></body></html>");
    server_->Serve("/hold", "text/plain", "released");
    server_->Serve(
        "/login.html", "text/html", "<html><body>signed in</body></html>",
        {"Set-Cookie: session=s1; Path=/", "Set-Cookie: token=t1; Path=/; Max-Age=3600"});
    server_->Serve("/check.html", "text/html", "<html><body>check</body></html>");
    // A link over the page's top left corner, a target-window link and a download link.
    server_->Serve("/links.html", "text/html",
                   "<html><body style=\"margin:0\">"
                   "<a id=\"big\" href=\"/other.html\" style=\"position:absolute;left:0;"
                   "top:0;width:300px;height:100px;display:block\">other</a>"
                   "<a id=\"blank\" href=\"/frame1.html\" target=\"_blank\" "
                   "style=\"position:absolute;top:150px\">blank</a>"
                   "<a id=\"file\" href=\"/song.bin\" style=\"position:absolute;left:0;"
                   "top:200px;width:300px;height:100px;display:block\">file</a></body></html>");
    server_->Serve("/song.bin", "application/octet-stream", SongBytes(),
                   {"Content-Disposition: attachment; filename=\"song.bin\""});
    // One window holds the browser of every test, as the main window holds its browsers.
    window_ = new QWidget;
    window_->resize(640, 480);
    new QVBoxLayout(window_);
    window_->show();
    web_ = NewBrowser("web1").release();
  }
  static void TearDownTestSuite() {
    delete web_;
    web_ = nullptr;
    delete window_;
    window_ = nullptr;
    delete server_;
    server_ = nullptr;
  }

  void SetUp() override {
    web_->SetExceptionReport([this](const QString& text) { reports_.append(text); });
  }
  void TearDown() override {
    web_->SetExceptionReport(nullptr);
    web_->OnDocumentComplete = nullptr;
    web_->OnDownloadEnd = nullptr;
    web_->Answers().GetShortCuts().SetCtrlCharMask(ShortCuts::kDefaultMask);
    web_->Answers().OnEvaluateNewWindow = nullptr;
    web_->Answers().OnFileDownload = nullptr;
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  }

  static std::unique_ptr<BrowserControl> NewBrowser(const QString& name) {
    auto web = std::make_unique<BrowserControl>(name, window_);
    window_->layout()->addWidget(web.get());
    return web;
  }

  static void Load(BrowserControl& web, const QString& path) {
    const quint64 before = web.LoadsFinished();
    web.Navigate(server_->Url(path));
    ASSERT_TRUE(WaitUntil([&] { return web.LoadsFinished() > before; }, kLoadTimeoutMs))
        << path.toStdString();
  }

  // Runs a script in the page's own world and waits for its value.
  static QVariant Evaluate(BrowserControl& web, const QString& script) {
    QVariant value;
    bool done = false;
    web.Page()->runJavaScript(script, [&](const QVariant& result) {
      value = result;
      done = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return done; }, kLoadTimeoutMs));
    return value;
  }

  // Right-clicks the page at `at` until the host's menu shows, and returns it; null when none
  // came.
  static QMenu* OpenContextMenu(BrowserControl& web, const QPoint& at) {
    const auto menu = [] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); };
    return UserClick(web, Qt::RightButton, at, [&] { return menu() != nullptr; }) ? menu()
                                                                                  : nullptr;
  }

  // The engine's actions a menu offers, as the page's action ids.
  static std::set<QWebEnginePage::WebAction> Offered(BrowserControl& web, const QMenu& menu) {
    std::set<QWebEnginePage::WebAction> offered;
    for (int id = 0; id < QWebEnginePage::WebActionCount; ++id) {
      const auto action = static_cast<QWebEnginePage::WebAction>(id);
      if (menu.actions().contains(web.Page()->action(action))) offered.insert(action);
    }
    return offered;
  }

  static TestHttpServer* server_;
  static QWidget* window_;
  // The browser most tests use: one for all keeps the engine's work per test small.
  static BrowserControl* web_;
  QStringList reports_;
};

TestHttpServer* BrowserControlTest::server_ = nullptr;
QWidget* BrowserControlTest::window_ = nullptr;
BrowserControl* BrowserControlTest::web_ = nullptr;

TEST_F(BrowserControlTest, PageTextIsEmptyWithoutAnHtmlDocument) {
  EXPECT_EQ(NewBrowser("web2")->PageText(), "");
  for (const char* path : {"/image.png", "/plain.txt"}) {
    SCOPED_TRACE(path);
    Load(*web_, path);
    EXPECT_EQ(web_->PageText(), "");
  }
}

TEST_F(BrowserControlTest, PageTextIsTheLiveMarkupInsideTheRootElement) {
  Load(*web_, "/page.html");
  // The page adds an element in its load handler; wait until the document shows it.
  ASSERT_TRUE(WaitUntil([&] { return web_->PageText().contains("id=\"late\""); }));
  const QString text = web_->PageText();
  EXPECT_TRUE(text.endsWith("\r\n"));
  EXPECT_FALSE(text.contains("<html", Qt::CaseInsensitive));
  EXPECT_FALSE(text.contains("</html>", Qt::CaseInsensitive));
  EXPECT_FALSE(text.contains("DOCTYPE", Qt::CaseInsensitive));
  EXPECT_TRUE(text.startsWith("<head>")) << text.toStdString();
  // Attribute values, script text and non-ASCII text come back exactly as the tree holds them.
  EXPECT_TRUE(text.contains("class=\"song  item\""));
  EXPECT_TRUE(text.contains("var link = \"http://x/a.mp3\"; if (1 < 2) {}"));
  EXPECT_TRUE(text.contains(QString::fromUtf8("\xE9\x9F\xB3\xE4\xB9\x90")));

  Evaluate(*web_, "document.body.insertAdjacentHTML('beforeend', '<i>later still</i>')");
  EXPECT_TRUE(web_->PageText().contains("<i>later still</i>"));
}

TEST_F(BrowserControlTest, EveryFrameAndThePageRaiseOneDocumentComplete) {
  struct Event {
    QString url;
    QString location;
    QString page_text;
  };
  QList<Event> events;
  web_->OnDocumentComplete = [&](BrowserControl& sender, const QString& url) {
    EXPECT_EQ(&sender, web_);
    // Reading the page text from inside the event must not hang the wait for the engine.
    events.append({url, sender.LocationURL(), sender.PageText()});
  };
  Load(*web_, "/frames.html");
  ASSERT_TRUE(WaitUntil([&] { return events.size() >= 3; }, kLoadTimeoutMs));
  Load(*web_, "/other.html");
  ASSERT_TRUE(WaitUntil([&] { return events.size() >= 4; }, kLoadTimeoutMs));

  ASSERT_EQ(events.size(), 4);
  QStringList urls;
  for (int i = 0; i < 3; ++i) {
    urls.append(events[i].url);
    EXPECT_EQ(events[i].location, server_->Url("/frames.html"));
    EXPECT_TRUE(events[i].page_text.contains("<iframe")) << events[i].page_text.toStdString();
  }
  urls.sort();
  EXPECT_EQ(urls, QStringList({server_->Url("/frame1.html"), server_->Url("/frame2.html"),
                               server_->Url("/frames.html")}));
  EXPECT_EQ(events[3].url, server_->Url("/other.html"));
  EXPECT_TRUE(events[3].page_text.contains("other"));
}

TEST_F(BrowserControlTest, AnExceptionInTheHandlerIsReportedToItsOwnControlAndEventsGoOn) {
  int calls = 0;
  web_->OnDocumentComplete = [&](BrowserControl&, const QString&) {
    ++calls;
    throw std::runtime_error("handler broke");
  };
  // A second control, made later, reports to its own target and takes nothing of the first's.
  auto web2 = NewBrowser("web2");
  QStringList reports2;
  web2->SetExceptionReport([&](const QString& text) { reports2.append(text); });
  web2->OnDocumentComplete = [](BrowserControl&, const QString&) { throw 42; };
  Load(*web_, "/other.html");
  ASSERT_TRUE(WaitUntil([&] { return calls == 1; }, kLoadTimeoutMs));
  Load(*web2, "/other.html");
  ASSERT_TRUE(WaitUntil([&] { return !reports2.isEmpty(); }, kLoadTimeoutMs));
  Load(*web_, "/page.html");
  ASSERT_TRUE(WaitUntil([&] { return calls == 2; }, kLoadTimeoutMs));
  EXPECT_EQ(reports_, QStringList({"handler broke", "handler broke"}));
  EXPECT_EQ(reports2, QStringList({"Unknown exception"}));
}

TEST_F(BrowserControlTest, OddAddressesGoToTheEngineWithoutHarm) {
  for (const char* address : {"", "relative/page.html", "http://[broken", "no scheme at all"}) {
    web_->Navigate(address);
  }
  // Whatever the engine made of them, the browser still loads a page.
  Load(*web_, "/other.html");
  EXPECT_EQ(web_->LocationURL(), server_->Url("/other.html"));
}

TEST_F(BrowserControlTest, CtrlNIsSwallowedWhileOtherCtrlKeysReachThePage) {
  Load(*web_, "/keys.html");
  QWidget* target = web_->View()->focusProxy();
  ASSERT_NE(target, nullptr);
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_));
  // Focus is handed over afresh, as a click into the page would: after a failed navigation
  // the engine does not see the focus the view already held.
  target->clearFocus();
  target->setFocus();
  // The engine drops keys until the page is ready for input; knock until one gets through.
  ASSERT_TRUE(WaitUntil(
      [&] {
        QTest::keyClick(window_->windowHandle(), Qt::Key_Z);
        return !Evaluate(*web_, "window.keys").toString().isEmpty();
      },
      kLoadTimeoutMs));
  Evaluate(*web_, "window.keys = ''");
  const quint64 loads = web_->LoadsFinished();

  struct Key {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
  };
  for (const Key& key : {Key{Qt::Key_N, Qt::ControlModifier},
                         Key{Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier},
                         Key{Qt::Key_C, Qt::ControlModifier}, Key{Qt::Key_F, Qt::ControlModifier},
                         Key{Qt::Key_P, Qt::ControlModifier}, Key{Qt::Key_N, Qt::NoModifier},
                         Key{Qt::Key_Z, Qt::NoModifier}}) {
    QTest::keyClick(window_->windowHandle(), key.key, key.modifiers);
  }
  // The last key marks the end of the sequence inside the page.
  ASSERT_TRUE(WaitUntil([&] { return Evaluate(*web_, "window.keys").toString().endsWith("z,"); },
                        kLoadTimeoutMs));
  EXPECT_EQ(Evaluate(*web_, "window.keys").toString(), "^c,^f,^p,n,z,");
  EXPECT_EQ(web_->LocationURL(), server_->Url("/keys.html"));
  EXPECT_EQ(web_->LoadsFinished(), loads);

  // With the switch off the same key does reach the page, so it was the host that kept it.
  web_->Answers().GetShortCuts().SetDisableCTRL_N(false);
  QTest::keyClick(window_->windowHandle(), Qt::Key_N, Qt::ControlModifier);
  QTest::keyClick(window_->windowHandle(), Qt::Key_Y);
  ASSERT_TRUE(WaitUntil([&] { return Evaluate(*web_, "window.keys").toString().endsWith("y,"); },
                        kLoadTimeoutMs));
  EXPECT_EQ(Evaluate(*web_, "window.keys").toString(), "^c,^f,^p,n,z,^n,y,");
}

TEST_F(BrowserControlTest, ScriptErrorsAreSilentAndLaterScriptsRun) {
  int events = 0;
  web_->OnDocumentComplete = [&](BrowserControl&, const QString&) { ++events; };
  Load(*web_, "/error.html");
  ASSERT_TRUE(WaitUntil([&] { return events == 1; }, kLoadTimeoutMs));
  EXPECT_TRUE(web_->PageText().contains("data-after=\"ran\""));
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    EXPECT_FALSE(widget->isVisible() && qobject_cast<QMessageBox*>(widget) != nullptr);
  }
  EXPECT_TRUE(reports_.isEmpty());
}

TEST_F(BrowserControlTest, TheEngineAnnouncesItsOwnAgentWithTheHostTokenAndAbout) {
  Load(*web_, "/other.html");
  const QString sent =
      QString::fromLatin1(server_->LastRequest("/other.html").headers["user-agent"]);
  EXPECT_TRUE(sent.endsWith(web_->About())) << sent.toStdString();
  EXPECT_TRUE(sent.endsWith(QString::fromLatin1(kDefaultUserAgent) + web_->About()));
  // The engine's own agent stays in front, so portals still recognise a current browser.
  EXPECT_TRUE(sent.startsWith("Mozilla/5.0 (X11; Linux")) << sent.toStdString();
  EXPECT_EQ(web_->UserAgent(), QString::fromLatin1(kDefaultUserAgent) + web_->About());
}

TEST_F(BrowserControlTest, PageTextGivesUpOnAPageThatNeverAnswers) {
  server_->Hold("/hold");
  Load(*web_, "/busy.html");
  // The page's script now waits for the held answer and keeps the page from answering.
  ASSERT_TRUE(WaitUntil([&] { return server_->Received("/hold"); }, kLoadTimeoutMs));
  EXPECT_EQ(web_->PageText(), "");
  server_->Release("/hold");
  EXPECT_TRUE(web_->PageText().contains("busy"));
}

TEST_F(BrowserControlTest, ANewWindowOpensInPlaceOnlyWhenTheHostSaysSo) {
  struct Case {
    const char* name;
    const char* script;
    const char* path;
  };
  const Case cases[] = {
      {"a link with a target of its own", "document.getElementById('blank').click()",
       "/frame1.html"},
      {"window.open", "window.open('/frame2.html')", "/frame2.html"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QStringList asked;
    HResult answer = kS_FALSE;
    web_->Answers().OnEvaluateNewWindow = [&](const QString& url) {
      asked.append(url);
      return answer;
    };
    Load(*web_, "/links.html");
    // Refused: the request came, and the page stays.
    Evaluate(*web_, c.script);
    ASSERT_TRUE(WaitUntil([&] { return asked.size() == 1; }, kLoadTimeoutMs));
    EXPECT_EQ(asked.front(), server_->Url(c.path));
    EXPECT_EQ(web_->LocationURL(), server_->Url("/links.html"));
    // Taken: the window's page opens in this browser.
    answer = kS_OK;
    Evaluate(*web_, c.script);
    ASSERT_TRUE(
        WaitUntil([&] { return web_->LocationURL() == server_->Url(c.path); }, kLoadTimeoutMs));
    EXPECT_EQ(asked.size(), 2);
  }
}

TEST_F(BrowserControlTest, TheContextMenuOffersOnlyEntriesThatWork) {
  using A = QWebEnginePage::WebAction;
  struct Case {
    const char* name;
    bool host_opens_and_saves;
    QPoint at;
    std::set<A> offered;
  };
  const Case cases[] = {
      {"a link, the host opens windows and saves files",
       true,
       {50, 50},
       {A::Back, A::Forward, A::Reload, A::OpenLinkInNewTab, A::OpenLinkInNewWindow,
        A::DownloadLinkToDisk, A::CopyLinkToClipboard}},
      {"a link, the host does neither",
       false,
       {50, 50},
       {A::Back, A::Forward, A::Reload, A::CopyLinkToClipboard}},
      {"the page", true, {400, 300}, {A::Back, A::Forward, A::Reload}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.host_opens_and_saves) {
      web_->Answers().OnEvaluateNewWindow = [](const QString&) { return kS_OK; };
      web_->Answers().OnFileDownload = [](const FileDownload&) { return QString(); };
    }
    Load(*web_, "/links.html");
    QMenu* menu = OpenContextMenu(*web_, c.at);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(Offered(*web_, *menu), c.offered);
    // No separator stands at either end or next to another.
    const QList<QAction*> actions = menu->actions();
    ASSERT_FALSE(actions.isEmpty());
    EXPECT_FALSE(actions.front()->isSeparator());
    EXPECT_FALSE(actions.back()->isSeparator());
    for (qsizetype i = 1; i < actions.size(); ++i) {
      EXPECT_FALSE(actions[i - 1]->isSeparator() && actions[i]->isSeparator());
    }
    menu->close();
    TearDown();
    SetUp();
  }
}

TEST_F(BrowserControlTest, TheMenusNewWindowAndSaveEntriesDoWhatTheySay) {
  QTemporaryDir dir;
  QStringList ended;
  web_->OnDownloadEnd = [&](BrowserControl&, const QString& path, const QString& error) {
    ended.append(path + "|" + error);
  };
  std::vector<FileDownload> asked;
  web_->Answers().OnEvaluateNewWindow = [](const QString&) { return kS_OK; };
  web_->Answers().OnFileDownload = [&](const FileDownload& download) {
    asked.push_back(download);
    return dir.filePath("saved.bin");
  };
  server_->Serve("/big.bin", "application/octet-stream", SongBytes());

  // "Save link" saves what the link points at where the host said.
  Load(*web_, "/links.html");
  Evaluate(*web_, "document.getElementById('big').href = '/big.bin'");
  QMenu* menu = OpenContextMenu(*web_, {50, 50});
  ASSERT_NE(menu, nullptr);
  web_->Page()->action(QWebEnginePage::DownloadLinkToDisk)->trigger();
  menu->close();
  ASSERT_TRUE(WaitUntil([&] { return !ended.isEmpty(); }, kLoadTimeoutMs));
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].url, server_->Url("/big.bin"));
  EXPECT_EQ(asked[0].suggested_file_name, "big.bin");
  EXPECT_EQ(ended, QStringList({dir.filePath("saved.bin") + "|"}));
  EXPECT_EQ(ReadAll(dir.filePath("saved.bin")), SongBytes());

  // "Open link in new tab" opens the link here.
  Load(*web_, "/links.html");
  menu = OpenContextMenu(*web_, {50, 50});
  ASSERT_NE(menu, nullptr);
  web_->Page()->action(QWebEnginePage::OpenLinkInNewTab)->trigger();
  menu->close();
  EXPECT_TRUE(
      WaitUntil([&] { return web_->LocationURL() == server_->Url("/other.html"); }, kLoadTimeoutMs))
      << web_->LocationURL().toStdString();
}

TEST_F(BrowserControlTest, ADownloadIsSavedWhereTheHostSaysOrNotAtAll) {
  QTemporaryDir dir;
  QFile blocker(dir.filePath("blocker"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  struct Case {
    const char* name;
    QString path;  // the host's answer
    bool saved;
    bool failed;
  };
  const Case cases[] = {
      {"declined", "", false, false},
      {"taken", dir.filePath("kept.bin"), true, false},
      {"in a folder that cannot exist", dir.filePath("blocker/kept.bin"), false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int asked = 0;
    web_->Answers().OnFileDownload = [&](const FileDownload& download) {
      ++asked;
      EXPECT_EQ(download.url, server_->Url("/song.bin"));
      EXPECT_EQ(download.suggested_file_name, "song.bin");
      return c.path;
    };
    QStringList errors;
    web_->OnDownloadEnd = [&](BrowserControl&, const QString& path, const QString& error) {
      EXPECT_EQ(path, c.path);
      errors.append(error);
    };
    Load(*web_, "/links.html");
    ASSERT_TRUE(UserClick(*web_, Qt::LeftButton, {50, 250}, [&] { return asked > 0; }));
    ASSERT_EQ(asked, 1);
    if (c.saved || c.failed) {
      ASSERT_TRUE(WaitUntil([&] { return !errors.isEmpty(); }, kLoadTimeoutMs));
      EXPECT_EQ(errors.front().isEmpty(), !c.failed) << errors.front().toStdString();
    }
    if (c.saved) {
      EXPECT_EQ(ReadAll(c.path), SongBytes());
    }
    // The page that started the download stays.
    EXPECT_EQ(web_->LocationURL(), server_->Url("/links.html"));
  }
}

TEST_F(BrowserControlTest, BothBrowsersShareTheirCookies) {
  auto web2 = NewBrowser("web2");
  EXPECT_EQ(web_->Page()->profile(), web2->Page()->profile());
  EXPECT_EQ(web_->Page()->profile(), BrowserControl::Profile());
  Load(*web_, "/login.html");
  Load(*web2, "/check.html");
  const QByteArray sent = server_->LastRequest("/check.html").headers["cookie"];
  EXPECT_TRUE(sent.contains("session=s1")) << sent.toStdString();
  EXPECT_TRUE(sent.contains("token=t1")) << sent.toStdString();
}

// A run of this program in a process of its own, which loads one address into a browser whose
// profile lives in the folder given through the environment, and ends.
bool RunBrowserProcess(const QString& profile_dir, const QString& url) {
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(SharedProfile::kStorageEnvVar, profile_dir);
  environment.insert(kLoadOnceEnvVar, url);
  process.setProcessEnvironment(environment);
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.start(QCoreApplication::applicationFilePath(), {});
  // The server answering the child lives in this process's event loop.
  return WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 60000) &&
         process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

TEST_F(BrowserControlTest, CookiesOutliveTheProgram) {
  QTemporaryDir profile_dir;
  ASSERT_TRUE(RunBrowserProcess(profile_dir.path(), server_->Url("/login.html")));
  ASSERT_TRUE(RunBrowserProcess(profile_dir.path(), server_->Url("/check.html")));
  const QByteArray kept = server_->LastRequest("/check.html").headers["cookie"];
  // The session cookie as well: sign-ins of the portal are session cookies.
  EXPECT_TRUE(kept.contains("session=s1")) << kept.toStdString();
  EXPECT_TRUE(kept.contains("token=t1")) << kept.toStdString();
}

// The engine lets a certificate through only when the program's extra authority vouches for it;
// anything else shows the engine's own error page and the request never reaches the server.
TEST_F(BrowserControlTest, HttpsPagesLoadOnlyWithACertificateTheExtraAuthorityVouchesFor) {
  const mevra::test::TestPki& pki = mevra::test::TestPki::Shared();
  const QString ca_file = QString::fromStdString(pki.CaFile());
  struct Case {
    const char* name;
    const portal::PemCertificate& certificate;
    QString ca_file;
    bool loads;
    QString host = QStringLiteral("127.0.0.1");
    QStringList trusted_hosts = {QStringLiteral("127.0.0.1"), QStringLiteral("localhost")};
  };
  // The engine remembers a certificate it was let to accept for the rest of the run, so the
  // refusals come first.
  const std::vector<Case> cases = {
      {"no extra authority", pki.Server(), "", false},
      {"issued for another host", pki.OtherHost(), ca_file, false},
      {"expired", pki.Expired(), ca_file, false},
      {"signed by itself", pki.SelfSigned(), ca_file, false},
      {"the name in the common name only", pki.CommonNameOnly(), ca_file, false, "localhost"},
      {"a host the program does not talk to",
       pki.Server(),
       ca_file,
       false,
       "127.0.0.1",
       {"localhost"}},
      {"issued by the authority", pki.Server(), ca_file, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(CertificateTrust::SetCaFile(c.ca_file, c.trusted_hosts));
    mevra::test::ScriptedServer server(
        mevra::test::ServerTls{c.certificate.certificate, c.certificate.key}, {});
    server.Serve("/secure.html", "text/html", "<html><body>secure content</body></html>");
    const quint64 before = web_->LoadsFinished();
    web_->Navigate(QStringLiteral("https://%1/secure.html")
                       .arg(c.host + QLatin1Char(':') + QString::number(server.Port())));
    ASSERT_TRUE(WaitUntil([&] { return web_->LoadsFinished() > before; }, kLoadTimeoutMs));
    EXPECT_EQ(web_->PageText().contains("secure content"), c.loads);
    EXPECT_EQ(server.WasRequested("/secure.html"), c.loads);
  }
  CertificateTrust::SetCaFile("", {});
}

}  // namespace
}  // namespace mevra::browser

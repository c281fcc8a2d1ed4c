#include "tests/app/e2e_support.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include "browser/browser_control.h"

namespace mevra::app::testing {

std::unique_ptr<portal::testing::PortalProcess> PortalWindowTest::portal_;

bool WaitUntil(const std::function<bool()>& done, int ms) {
  QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

void Settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

QString RunScript(browser::BrowserControl& web, const QString& script) {
  QString result;
  bool finished = false;
  web.Page()->runJavaScript(script, [&](const QVariant& value) {
    result = value.toString();
    finished = true;
  });
  WaitUntil([&] { return finished; }, 10000);
  return result;
}

Endpoints PortalEndpoints(const portal::testing::PortalProcess& portal) {
  auto q = [](const std::string& text) { return QString::fromStdString(text); };
  Endpoints e;
  e.portal_home_url = q(portal.HomeUrl());
  e.portal_host = QStringLiteral("127.0.0.1:") + QString::number(portal.home_port());
  e.login_host = QStringLiteral("127.0.0.1:") + QString::number(portal.login_port());
  e.login_base_url = q(portal.LoginBaseUrl());
  e.music_base_url = q(portal.MusicBaseUrl());
  e.update_stamp_url = q(portal.SiteBaseUrl()) + QStringLiteral("/mevramp3.txt");
  e.release_page_url = q(portal.SiteBaseUrl()) + QStringLiteral("/archives/41672/");
  e.author_site_url = q(portal.SiteBaseUrl()) + QStringLiteral("/");
  e.microblog_url = q(portal.SiteBaseUrl()) + QStringLiteral("/weibo/pelko");
  return e;
}

QByteArray EndpointsSection(const Endpoints& e) {
  const QString text =
      QStringLiteral("[Endpoints]\nPortalHomeUrl=") + e.portal_home_url +
      QStringLiteral("\nPortalHost=") + e.portal_host + QStringLiteral("\nLoginHost=") +
      e.login_host + QStringLiteral("\nLoginBaseUrl=") + e.login_base_url +
      QStringLiteral("\nMusicBaseUrl=") + e.music_base_url + QStringLiteral("\nUpdateStampUrl=") +
      e.update_stamp_url + QStringLiteral("\nReleasePageUrl=") + e.release_page_url +
      QStringLiteral("\nAuthorSiteUrl=") + e.author_site_url + QStringLiteral("\nMicroblogUrl=") +
      e.microblog_url + QStringLiteral("\n");
  return text.toUtf8();
}

void PortalWindowTest::SetUpTestSuite() {
  if (!portal_) portal_ = std::make_unique<portal::testing::PortalProcess>();
}

void PortalWindowTest::TearDownTestSuite() { portal_.reset(); }

void PortalWindowTest::SetUp() {
  dir_ = std::make_unique<QTemporaryDir>();
  ASSERT_TRUE(dir_->isValid());
  // The browsers keep one profile for the whole process; every test starts signed out.
  if (QWebEngineProfile* profile = browser::BrowserControl::Profile()) {
    profile->cookieStore()->deleteAllCookies();
    Settle(100);
  }
  endpoints_ = PortalEndpoints(Portal());
}

void PortalWindowTest::TearDown() {
  window_.reset();
  // Lets the engine finish with the old window's pages before the next test opens one.
  Settle(50);
}

MainWindow& PortalWindowTest::Open(const QString& home_url) {
  Endpoints endpoints = endpoints_;
  if (!home_url.isEmpty()) endpoints.portal_home_url = home_url;
  QFile config(dir_->filePath(QStringLiteral("config.ini")));
  EXPECT_TRUE(config.open(QIODevice::WriteOnly));
  config.write(EndpointsSection(endpoints));
  config.close();
  window_ = std::make_unique<MainWindow>(
      MainWindowFiles{config.fileName(), dir_->filePath(QStringLiteral("temp.mp3"))});
  window_->message_boxes_.OnShow = [this](const MessageRequest&) { return answer_; };
  window_->url_opener_.OnOpen = [](const QString&) {};
  window_->show();
  return *window_;
}

void PortalWindowTest::SubmitSignIn(MainWindow& w) {
  const QString login_page = endpoints_.login_base_url + QStringLiteral("/v2/");
  ASSERT_TRUE(WaitUntil([&] {
    return w.web1_->LocationURL().startsWith(login_page) && !w.web1_->IsLoading() &&
           RunScript(*w.web1_, QStringLiteral("!!document.querySelector('form')")) == "true";
  })) << w.web1_->LocationURL().toStdString();
  RunScript(*w.web1_, QStringLiteral("document.querySelector('input[name=username]').value='demo';"
                                     "document.querySelector('input[name=password]').value='demo';"
                                     "document.querySelector('form').submit(); true"));
}

MainWindow& PortalWindowTest::OpenSignedIn() {
  MainWindow& w = Open();
  SubmitSignIn(w);
  const QString chart = endpoints_.NewSongsChartUrl();
  EXPECT_TRUE(WaitUntil([&] {
    return w.web1_->LocationURL().startsWith(chart) && !w.web1_->IsLoading() && w.SongCount() > 0;
  })) << w.web1_->LocationURL().toStdString();
  return w;
}

}  // namespace mevra::app::testing

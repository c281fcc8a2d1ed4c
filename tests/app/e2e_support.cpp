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

void PortalWindowTest::SetUpTestSuite() {
  if (!portal_) portal_ = std::make_unique<portal::testing::PortalProcess>();
}

void PortalWindowTest::StartPortal(std::vector<std::string> arguments) {
  portal_ = std::make_unique<portal::testing::PortalProcess>(std::move(arguments));
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
  config.write(extra_config_);
  config.close();
  window_ = std::make_unique<MainWindow>(
      MainWindowFiles{config.fileName(), dir_->filePath(QStringLiteral("temp.mp3"))});
  Boxes().OnShow = [this](const MessageRequest&) { return answer_; };
  Probe().Opener().OnOpen = [](const QString&) {};
  // Pauses between tries of a song in tens of milliseconds, not seconds; a server's
  // Retry-After still counts in full.
  Probe().SetRetryBackoffBaseMs(20);
  window_->show();
  return *window_;
}

void PortalWindowTest::SubmitSignIn(MainWindow& w) {
  browser::BrowserControl& web1 = *MainWindowProbe(w).Ui().web1;
  ASSERT_TRUE(WaitForSignInForm(web1, endpoints_.login_base_url))
      << web1.LocationURL().toStdString();
  SubmitSignInForm(web1);
}

MainWindow& PortalWindowTest::OpenSignedIn() {
  MainWindow& w = Open();
  SubmitSignIn(w);
  const QString chart = endpoints_.NewSongsChartUrl();
  browser::BrowserControl& web1 = *Ui().web1;
  EXPECT_TRUE(WaitUntil([&] {
    return web1.LocationURL().startsWith(chart) && !web1.IsLoading() && w.SongCount() > 0;
  })) << web1.LocationURL().toStdString();
  return w;
}

}  // namespace mevra::app::testing

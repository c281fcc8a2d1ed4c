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
  ASSERT_TRUE(WaitForSignInForm(*w.web1_, endpoints_.login_base_url))
      << w.web1_->LocationURL().toStdString();
  SubmitSignInForm(*w.web1_);
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

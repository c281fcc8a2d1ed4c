#include "tests/app/window_driver.h"

#include <QEventLoop>
#include <QTimer>
#include <QWebEnginePage>

#include "browser/browser_control.h"

namespace mevra::app::testing {

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
  e.ca_file = q(portal.ca_file());
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
      e.microblog_url + QStringLiteral("\nCaFile=") + e.ca_file + QStringLiteral("\n");
  return text.toUtf8();
}

bool WaitForSignInForm(browser::BrowserControl& web, const QString& login_base_url, int ms) {
  const QString login_page = login_base_url + QStringLiteral("/v2/");
  return WaitUntil(
      [&] {
        return web.LocationURL().startsWith(login_page) && !web.IsLoading() &&
               RunScript(web, QStringLiteral("!!document.querySelector('form')")) ==
                   QStringLiteral("true");
      },
      ms);
}

void SubmitSignInForm(browser::BrowserControl& web, const QString& user, const QString& password) {
  RunScript(web, QStringLiteral("document.querySelector('input[name=username]').value='%1';"
                                "document.querySelector('input[name=password]').value='%2';"
                                "document.querySelector('form').submit(); true")
                     .arg(user, password));
}

}  // namespace mevra::app::testing

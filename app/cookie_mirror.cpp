#include "app/cookie_mirror.h"

#include <QDateTime>
#include <QLocale>
#include <QNetworkCookie>
#include <QWebEngineCookieStore>

#include "http/cookie_manager.h"
#include "http/cookie_rfc2109.h"

namespace mevra::app {

std::unique_ptr<http::NetscapeCookie> MirroredCookie(const QNetworkCookie& cookie) {
  if (cookie.name().isEmpty() || cookie.domain().isEmpty()) return nullptr;
  std::string text = cookie.toRawForm(QNetworkCookie::NameAndValueOnly).toStdString();
  text += "; path=" + (cookie.path().isEmpty() ? std::string("/") : cookie.path().toStdString());
  if (!cookie.isSessionCookie()) {
    const QString expires = QLocale::c().toString(cookie.expirationDate().toUTC(),
                                                  QStringLiteral("ddd, dd MMM yyyy hh:mm:ss"));
    text += "; expires=" + expires.toStdString() + " GMT";
  }
  if (cookie.isSecure()) text += "; secure";
  auto mirrored = std::make_unique<http::CookieRfc2109>();
  mirrored->SetCookieText(text);
  // The profile writes a domain cookie's domain with a leading dot and a host's own cookie
  // without one.
  const std::string domain = cookie.domain().toStdString();
  mirrored->SetDomain(domain);
  mirrored->SetHostOnly(domain[0] != '.');
  return mirrored;
}

CookieMirror::CookieMirror(QWebEngineCookieStore& store,
                           std::shared_ptr<http::CookieManager> cookies, QObject* parent)
    : QObject(parent), cookies_(std::move(cookies)) {
  connect(&store, &QWebEngineCookieStore::cookieAdded, this, &CookieMirror::Added);
  connect(&store, &QWebEngineCookieStore::cookieRemoved, this, &CookieMirror::Removed);
  // The cookies the profile kept from earlier runs come as added ones.
  store.loadAllCookies();
}

void CookieMirror::Added(const QNetworkCookie& cookie) {
  if (auto mirrored = MirroredCookie(cookie)) cookies_->Cookies().AddCookie(std::move(mirrored));
}

void CookieMirror::Removed(const QNetworkCookie& cookie) {
  cookies_->Cookies().RemoveCookie(cookie.domain().toStdString(), cookie.name().toStdString());
}

}  // namespace mevra::app

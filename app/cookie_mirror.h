#pragma once

#include <QObject>
#include <memory>

class QNetworkCookie;
class QWebEngineCookieStore;

namespace mevra::http {
class CookieManager;
class NetscapeCookie;
}  // namespace mevra::http

namespace mevra::app {

// The browser profile's cookie as the program's HTTP client keeps it: same name, value, path,
// expiry and Secure flag; a cookie the browser holds for its host alone stays its host's alone.
// The browser has vetted it already, so it is taken as it is. Null for a cookie without a name
// or domain.
std::unique_ptr<http::NetscapeCookie> MirroredCookie(const QNetworkCookie& cookie);

// Keeps an HTTP cookie store in step with the browser profile's: what the profile holds when the
// mirror starts, every cookie it gets later, and every one it loses. So a sign-in made in the
// browser is sent by the program's own clients too, and a sign-out stops it being sent.
class CookieMirror : public QObject {
  Q_OBJECT

 public:
  CookieMirror(QWebEngineCookieStore& store, std::shared_ptr<http::CookieManager> cookies,
               QObject* parent = nullptr);

  const std::shared_ptr<http::CookieManager>& Cookies() const { return cookies_; }

 private:
  void Added(const QNetworkCookie& cookie);
  void Removed(const QNetworkCookie& cookie);

  std::shared_ptr<http::CookieManager> cookies_;
};

}  // namespace mevra::app

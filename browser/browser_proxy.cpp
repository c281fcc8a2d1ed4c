#include "browser/browser_proxy.h"

#include <QNetworkProxy>
#include <QNetworkProxyFactory>

namespace mevra::browser {

namespace {

BrowserProxy& Taken() {
  static BrowserProxy proxy;
  return proxy;
}
bool g_taken = false;

}  // namespace

QString BrowserProxy::EngineSwitches() const {
  switch (kind) {
    case Kind::kSystem:
      return {};
    case Kind::kNone:
      return QStringLiteral("--no-proxy-server");
    case Kind::kHttp:
    case Kind::kSocks5: {
      const QString shown =
          host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
      const QString scheme =
          kind == Kind::kHttp ? QStringLiteral("http") : QStringLiteral("socks5");
      return QStringLiteral("--proxy-server=%1://%2:%3 --proxy-bypass-list=<-loopback>")
          .arg(scheme, shown, QString::number(port));
    }
  }
  return {};
}

bool BrowserProxy::Use(const BrowserProxy& proxy) {
  if (g_taken) return false;
  g_taken = true;
  Taken() = proxy;
  // Qt's own network classes follow the same choice.
  switch (proxy.kind) {
    case Kind::kSystem:
      QNetworkProxyFactory::setUseSystemConfiguration(true);
      break;
    case Kind::kNone:
      QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy));
      break;
    case Kind::kHttp:
    case Kind::kSocks5:
      QNetworkProxy::setApplicationProxy(QNetworkProxy(
          proxy.kind == Kind::kHttp ? QNetworkProxy::HttpProxy : QNetworkProxy::Socks5Proxy,
          proxy.host, static_cast<quint16>(proxy.port), proxy.username, proxy.password));
      break;
  }
  // The engine reads its switches when it starts, which is when the first page is made.
  const QString switches = proxy.EngineSwitches();
  if (!switches.isEmpty()) {
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.isEmpty()) flags += ' ';
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + switches.toUtf8());
  }
  return true;
}

const BrowserProxy& BrowserProxy::Current() { return Taken(); }

}  // namespace mevra::browser

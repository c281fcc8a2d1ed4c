#include "browser/host_page.h"

#include "browser/browser_proxy.h"
#include "browser/certificate_trust.h"

#include <QAuthenticator>
#include <QUuid>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <memory>

namespace mevra::browser {

namespace {

// Runs in every frame in the host's own script world, out of the page's reach. The top-level
// frame is left out: its completion is the page's load-finished signal.
QString FrameReportScript(const QString& marker) {
  return QStringLiteral(
             "(function () {"
             "  if (window.top === window) return;"
             "  var report = function () { console.log(%1 + window.location.href); };"
             "  if (document.readyState === 'complete') report();"
             "  else window.addEventListener('load', report);"
             "})();")
      .arg(QLatin1Char('"') + marker + QLatin1Char('"'));
}

}  // namespace

HostPage::HostPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {
  QWebEngineScript script;
  script.setName(QStringLiteral("mevra-frame-report"));
  script.setSourceCode(FrameReportScript(FrameMarker()));
  script.setInjectionPoint(QWebEngineScript::DocumentReady);
  script.setWorldId(QWebEngineScript::ApplicationWorld);
  script.setRunsOnSubFrames(true);
  scripts().insert(script);
  connect(this, &QWebEnginePage::certificateError, this, &HostPage::CertificateError);
  // The proxy's credentials are the setting's; the engine asks for them, it does not take them
  // from the proxy switches. They are given once per load: a proxy that asks again refused
  // them, and the load then fails as the proxy answered instead of asking forever.
  auto answered = std::make_shared<bool>(false);
  connect(this, &QWebEnginePage::loadStarted, this, [answered] { *answered = false; });
  connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
          [answered](const QUrl&, QAuthenticator* authenticator, const QString&) {
            const BrowserProxy& proxy = BrowserProxy::Current();
            if (proxy.username.isEmpty() || *answered) return;
            *answered = true;
            authenticator->setUser(proxy.username);
            authenticator->setPassword(proxy.password);
          });
}

void HostPage::CertificateError(const QWebEngineCertificateError& error) {
  // Only an unknown issuer can be made good by another authority; a certificate for another
  // host, out of date or otherwise faulty stays refused whoever issued it.
  if (error.type() != QWebEngineCertificateError::CertificateAuthorityInvalid ||
      !error.isOverridable() ||
      !CertificateTrust::Vouches(error.certificateChain(), error.url().host())) {
    return;
  }
  QWebEngineCertificateError accepted = error;
  accepted.acceptCertificate();
}

const QString& HostPage::FrameMarker() {
  static const QString marker = QStringLiteral("mevra-frame-complete-") +
                                QUuid::createUuid().toString(QUuid::WithoutBraces) +
                                QLatin1Char(':');
  return marker;
}

void HostPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                        const QString&) {
  if (message.startsWith(FrameMarker())) {
    if (OnFrameLoaded) OnFrameLoaded(message.mid(FrameMarker().size()));
  }
  // Everything else, script errors included, is swallowed: the page's scripts carry on and the
  // user sees no dialog.
}

}  // namespace mevra::browser

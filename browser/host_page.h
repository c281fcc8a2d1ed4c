#pragma once

#include <QString>
#include <QWebEngineCertificateError>
#include <QWebEnginePage>
#include <functional>

namespace mevra::browser {

// The engine page of a browser control. It reports each sub-frame whose document completed and
// keeps the page's console to itself, so script errors stay silent while the page's other
// scripts go on.
//
// Sub-frames report through the console: a script injected into every frame of every page logs
// a marker and the frame's address when the frame's window has loaded. The marker is unique to
// this process, so a page cannot fake the report by chance.
//
// A certificate the engine does not trust is let through only when the program's extra
// authority (CertificateTrust) vouches for it.
class HostPage : public QWebEnginePage {
  Q_OBJECT

 public:
  HostPage(QWebEngineProfile* profile, QObject* parent);

  // Raised with the frame's own address, from inside the engine's processing; the receiver
  // should defer any work that waits on the engine.
  std::function<void(const QString& url)> OnFrameLoaded;

 protected:
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                int line_number, const QString& source_id) override;

 private:
  // A certificate the engine does not trust is let through only when the program's extra
  // authority vouches for it; otherwise the engine shows its own error page.
  void CertificateError(const QWebEngineCertificateError& error);
  static const QString& FrameMarker();
};

}  // namespace mevra::browser

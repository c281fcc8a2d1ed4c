#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <utility>

#include "browser/host_answers.h"

class QTimer;
class QWebEngineDownloadRequest;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

namespace mevra::browser {

class AcceleratorFilter;
class HostPage;
class HostView;

// A window control hosting the web engine: navigation, the current address, the page text and
// one document-complete event per completed frame and per page. Every instance shares one
// profile, so cookies (and with them the portal sign-in) are common to all browsers and kept
// across runs.
class BrowserControl : public QWidget {
  Q_OBJECT

 public:
  explicit BrowserControl(const QString& name, QWidget* parent = nullptr);
  ~BrowserControl() override;

  // Starts loading `url` in the top-level frame and returns at once. The address goes to the
  // engine as it stands: nothing completes or corrects it.
  void Navigate(const QString& url);

  // The markup of the current document's root element (without the root's own tags), followed
  // by CR LF; empty when no HTML document is loaded. Waits for the engine with a local event
  // loop, so other events are dispatched meanwhile, and gives up with "" after
  // kPageTextTimeoutMs. Call it from handlers of input, timers or this control's events: inside
  // the delivery of a queued call (QMetaObject::invokeMethod, QTimer::singleShot(0, ...)) the
  // engine gets no turn and the call always times out.
  QString PageText();

  // The top-level address as the engine reports it now.
  QString LocationURL() const;

  // Raised once for every completed sub-frame and once for the page itself, with the completed
  // document's address. It always runs from the event loop, never inside the engine's own
  // processing, so a handler may call PageText. An exception escaping the handler goes to this
  // control's exception report and later events keep coming.
  std::function<void(BrowserControl& sender, const QString& url)> OnDocumentComplete;

  // Raised when a download this browser started has ended, with the path it was saved at and
  // an empty error, or with the engine's reason when it failed or was cut short.
  std::function<void(BrowserControl& sender, const QString& path, const QString& error)>
      OnDownloadEnd;

  // Counts finished top-level loads, failed ones included, so a caller can wait for a new page.
  quint64 LoadsFinished() const { return loads_finished_; }
  bool IsLoading() const;

  // The token added to the engine's user agent; any value other than the About text gets the
  // About text appended. Every browser announces the most recently set token.
  QString UserAgent() const { return user_agent_; }
  void SetUserAgent(const QString& user_agent);
  QString About() const;

  HostAnswers& Answers() { return answers_; }
  QWebEnginePage* Page() const;
  QWebEngineView* View() const;
  // The profile every control shares; null before the first control exists.
  static QWebEngineProfile* Profile();

  // Sets what the engine needs of the application; call before the QApplication is created.
  static void PrepareApplication();

  // Where the shared profile keeps cookies and cache; only a call before the first control is
  // created counts. Without one, the folder named by MEVRA_PROFILE_DIR, else the user's data
  // folder.
  static void SetProfileStoragePath(const QString& path);

  // Where this control reports an exception that escaped its document-complete handler. Each
  // control has its own, so errors of one window never land in another's. Until one is set, a
  // message box shows the exception's text; an empty report drops it.
  using ExceptionReport = std::function<void(const QString& text)>;
  void SetExceptionReport(ExceptionReport report) { report_exception_ = std::move(report); }

 private:
  void ApplyHostAnswers();
  void PageLoadFinished(bool ok);
  void QueueDocumentComplete(const QString& url);
  void DeliverNextEvent();
  void DocumentComplete(const QString& url);
  void NewWindowRequested(const QUrl& url);
  void DownloadRequested(QWebEngineDownloadRequest* download);
  void DownloadFinished(QWebEngineDownloadRequest* download);
  // Runs a handler of the owner's; what escapes it goes to the exception report.
  template <typename Handler>
  void Guarded(Handler&& handler);

  HostAnswers answers_;
  QWebEngineProfile* profile_ = nullptr;
  HostView* view_ = nullptr;
  HostPage* page_ = nullptr;
  AcceleratorFilter* accelerator_filter_ = nullptr;
  QTimer* event_timer_ = nullptr;
  QStringList pending_events_;
  QString user_agent_;
  quint64 loads_finished_ = 0;
  ExceptionReport report_exception_;
};

}  // namespace mevra::browser

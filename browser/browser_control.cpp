#include "browser/browser_control.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <exception>
#include <memory>

#include "browser/accelerator_filter.h"
#include "browser/browser_limits.h"
#include "browser/host_page.h"
#include "browser/host_view.h"
#include "browser/shared_profile.h"
#include "browser/user_agent.h"

namespace mevra::browser {

namespace {

// Serialises the root element's content of an HTML document and answers null for anything else
// (an image or a plain-text resource shown by the engine is a document too, but not HTML).
const char kPageTextScript[] =
    "(function () {"
    "  var type = document.contentType;"
    "  if (!document.documentElement ||"
    "      (type !== 'text/html' && type !== 'application/xhtml+xml')) return null;"
    "  return document.documentElement.innerHTML;"
    "})()";

void ShowExceptionBox(const QString& text) {
  QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(), text);
}

}  // namespace

BrowserControl::BrowserControl(const QString& name, QWidget* parent)
    : QWidget(parent), report_exception_(ShowExceptionBox) {
  setObjectName(name);
  answers_.ambient.display_name = name;
  answers_.ambient.font = font();
  answers_.ambient.back_color = palette().color(QPalette::Window).rgb() & 0xFFFFFF;
  answers_.ambient.fore_color = palette().color(QPalette::WindowText).rgb() & 0xFFFFFF;
  answers_.ambient.locale_id = QLocale::system().name();

  profile_ = SharedProfile::Acquire();
  view_ = new HostView(answers_, this);
  page_ = new HostPage(profile_, this);
  view_->setPage(page_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);

  event_timer_ = new QTimer(this);
  event_timer_->setSingleShot(true);
  event_timer_->setInterval(0);
  connect(event_timer_, &QTimer::timeout, this, &BrowserControl::DeliverNextEvent);
  connect(page_, &QWebEnginePage::loadFinished, this, &BrowserControl::PageLoadFinished);
  page_->OnFrameLoaded = [this](const QString& url) { QueueDocumentComplete(url); };
  connect(
      page_, &QWebEnginePage::newWindowRequested, this,
      [this](QWebEngineNewWindowRequest& request) { NewWindowRequested(request.requestedUrl()); });
  // Every control hears every download of the shared profile and takes those of its own page.
  connect(profile_, &QWebEngineProfile::downloadRequested, this,
          &BrowserControl::DownloadRequested);

  answers_.OnOptionsChanged = [this] { ApplyHostAnswers(); };
  ApplyHostAnswers();
  accelerator_filter_ = new AcceleratorFilter(answers_, this);
  accelerator_filter_->Watch(view_);

  SetUserAgent(QString::fromLatin1(kDefaultUserAgent));
}

BrowserControl::~BrowserControl() {
  // The page and view must be gone before the profile they use is released.
  page_->OnFrameLoaded = nullptr;
  delete page_;
  delete view_;
  SharedProfile::Release();
}

void BrowserControl::Navigate(const QString& url) { page_->load(QUrl(url)); }

QString BrowserControl::PageText() {
  // Before the first navigation the engine shows an empty placeholder, which is no document.
  if (page_->url().isEmpty()) return {};

  // The callback may come after this call has given up; it then finds no loop to stop.
  struct Pending {
    bool done = false;
    QVariant result;
    QPointer<QEventLoop> loop;
  };
  auto pending = std::make_shared<Pending>();
  QEventLoop loop;
  pending->loop = &loop;
  page_->runJavaScript(QString::fromLatin1(kPageTextScript), QWebEngineScript::ApplicationWorld,
                       [pending](const QVariant& result) {
                         pending->done = true;
                         pending->result = result;
                         if (pending->loop) pending->loop->quit();
                       });
  if (!pending->done) {
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(page_, &QObject::destroyed, &loop, &QEventLoop::quit);
    timer.start(kPageTextTimeoutMs);
    loop.exec();
  }
  pending->loop = nullptr;
  if (!pending->done || pending->result.typeId() != QMetaType::QString) return {};
  return pending->result.toString() + QStringLiteral("\r\n");
}

QString BrowserControl::LocationURL() const { return page_->url().toString(QUrl::FullyEncoded); }

bool BrowserControl::IsLoading() const { return page_->isLoading(); }

void BrowserControl::SetUserAgent(const QString& user_agent) {
  user_agent_ = AppendAbout(user_agent, About());
  profile_->setHttpUserAgent(EngineUserAgent(SharedProfile::EngineDefaultUserAgent(), user_agent_));
}

QString BrowserControl::About() const { return QString::fromLatin1(kAboutText); }

QWebEnginePage* BrowserControl::Page() const { return page_; }

QWebEngineView* BrowserControl::View() const { return view_; }

QWebEngineProfile* BrowserControl::Profile() { return SharedProfile::Current(); }

void BrowserControl::PrepareApplication() {
  // The engine shares its rendering contexts with the widgets that show it.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void BrowserControl::SetProfileStoragePath(const QString& path) {
  SharedProfile::SetStoragePath(path);
}

void BrowserControl::ApplyHostAnswers() {
  // Only what the engine can be told is applied: fetching of media and running of scripts and
  // scroll bars. Script errors need nothing here, since the page swallows them whatever the
  // action; the view asks for its context menu, and new windows and downloads are asked for
  // when they come.
  const DownloadOptions download = answers_.GetDownloadOptions();
  QWebEngineSettings* settings = page_->settings();
  settings->setAttribute(QWebEngineSettings::AutoLoadImages,
                         download.testFlag(DownloadControlOption::DownloadImages));
  settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture,
                         !download.testAnyFlags(DownloadControlOption::DownloadVideos |
                                                DownloadControlOption::DownloadBGSounds));
  settings->setAttribute(QWebEngineSettings::JavascriptEnabled,
                         !download.testFlag(DownloadControlOption::DontExecuteScripts));
  settings->setAttribute(
      QWebEngineSettings::ShowScrollBars,
      !answers_.GetUserInterfaceOptions().testFlag(UserInterfaceOption::DontUseScrollBars));
}

void BrowserControl::PageLoadFinished(bool ok) {
  ++loads_finished_;
  // A load that failed or was cut short by another navigation completes no document.
  if (ok) QueueDocumentComplete(LocationURL());
}

void BrowserControl::QueueDocumentComplete(const QString& url) {
  // The engine reports from inside its own processing, where a nested wait for the engine (as
  // PageText does) would never be answered. The events therefore run one by one from a timer:
  // the engine's work is starved inside a posted-event delivery, but not inside a timer's.
  pending_events_.append(url);
  if (!event_timer_->isActive()) event_timer_->start();
}

void BrowserControl::DeliverNextEvent() {
  if (pending_events_.isEmpty()) return;
  const QString url = pending_events_.takeFirst();
  if (!pending_events_.isEmpty()) event_timer_->start();
  DocumentComplete(url);
}

template <typename Handler>
void BrowserControl::Guarded(Handler&& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    if (report_exception_) report_exception_(QString::fromUtf8(error.what()));
  } catch (...) {
    if (report_exception_) report_exception_(QStringLiteral("Unknown exception"));
  }
}

void BrowserControl::DocumentComplete(const QString& url) {
  Guarded([&] {
    if (OnDocumentComplete) OnDocumentComplete(*this, url);
  });
}

void BrowserControl::NewWindowRequested(const QUrl& url) {
  // A window the page fills in by script has no address to open here.
  if (url.isEmpty()) return;
  Guarded([&] {
    // The new window opens in this browser; without a request, none is made.
    if (answers_.EvaluateNewWindow(url.toString()) == kS_OK) page_->load(url);
  });
}

void BrowserControl::DownloadRequested(QWebEngineDownloadRequest* download) {
  if (download->page() != page_ ||
      download->state() != QWebEngineDownloadRequest::DownloadRequested) {
    return;
  }
  // The engine needs the answer before this returns: a request neither taken nor refused by
  // then is dropped.
  QString path;
  HResult answer = kE_FAIL;
  Guarded([&] {
    answer = answers_.Download({download->url().toString(), download->suggestedFileName()}, &path);
  });
  if (answer != kS_OK) {
    download->cancel();
    return;
  }
  const QFileInfo target(path);
  download->setDownloadDirectory(target.absolutePath());
  download->setDownloadFileName(target.fileName());
  connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this,
          [this, download] { DownloadFinished(download); });
  download->accept();
}

void BrowserControl::DownloadFinished(QWebEngineDownloadRequest* download) {
  if (!download->isFinished()) return;
  const QString path = QDir(download->downloadDirectory()).filePath(download->downloadFileName());
  QString error;
  if (download->state() != QWebEngineDownloadRequest::DownloadCompleted) {
    error = download->interruptReasonString();
    if (error.isEmpty()) error = QStringLiteral("Cancelled");
  }
  Guarded([&] {
    if (OnDownloadEnd) OnDownloadEnd(*this, path, error);
  });
}

}  // namespace mevra::browser

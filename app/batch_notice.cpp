#include "app/batch_notice.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QUrl>
#include <QVariantMap>

#include "app/main_window.h"
#include "app/url_opener.h"
#include "download/batch_progress.h"
#include "download/download_queue.h"

namespace mevra::app {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kOpenFolderAction = QStringLiteral("open-folder");
// The service decides how long the notification stays.
constexpr int kServerTimeout = -1;

}  // namespace

BatchNotice::BatchNotice(QDBusConnection bus, UrlOpener& url_opener, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), url_opener_(url_opener) {}

BatchNotice::~BatchNotice() = default;

QString BatchNotice::CountsText(int saved, int failed) {
  const QString saved_text =
      QCoreApplication::translate("BatchNotice", "已保存%n首", nullptr, saved);
  if (failed == 0) return saved_text;
  const QString failed_text =
      QCoreApplication::translate("BatchNotice", "失败%n首", nullptr, failed);
  if (saved == 0) return failed_text;
  return QCoreApplication::translate("BatchNotice", "%1，%2").arg(saved_text, failed_text);
}

void BatchNotice::BatchEnded(const download::BatchProgress& progress, download::BatchEnd end,
                             const QString& save_folder, bool window_active, bool wanted) {
  // A stop is the user's own doing, and a batch with nothing to fetch asks its question in the
  // window.
  if (!wanted || window_active || end == download::BatchEnd::kStopped || progress.finished == 0) {
    return;
  }
  if (!bus_.isConnected()) return;
  if (!listening_) {
    listening_ = true;
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(ActionInvoked(uint, QString)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(NotificationClosed(uint, uint)));
  }
  const QString icon = QGuiApplication::desktopFileName();
  QVariantMap hints;
  if (!icon.isEmpty()) hints.insert(QStringLiteral("desktop-entry"), icon);
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  call << MainWindow::ApplicationTitle() << shown_id_ << icon
       << QCoreApplication::translate("BatchNotice", "下载结束")
       << CountsText(progress.saved, progress.failed + progress.stopped)
       << QStringList{kOpenFolderAction, QCoreApplication::translate("BatchNotice", "打开文件夹")}
       << hints << kServerTimeout;
  shown_folder_ = save_folder;
  // Asked without waiting: a service that is slow to start never holds the window up, and one
  // that is missing only makes the call fail.
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this](QDBusPendingCallWatcher* finished) {
            const QDBusPendingReply<uint> reply = *finished;
            if (!reply.isError()) shown_id_ = reply.value();
            finished->deleteLater();
          });
}

void BatchNotice::ActionInvoked(uint id, const QString& action_key) {
  // The service says this to every listener, also of other programs' notifications.
  if (id == 0 || id != shown_id_ || action_key != kOpenFolderAction) return;
  if (!shown_folder_.isEmpty()) url_opener_.Open(QUrl::fromLocalFile(shown_folder_).toString());
}

void BatchNotice::NotificationClosed(uint id, uint /*reason*/) {
  if (id != 0 && id == shown_id_) shown_id_ = 0;
}

}  // namespace mevra::app

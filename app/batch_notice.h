#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace mevra::download {
enum class BatchEnd;
struct BatchProgress;
}  // namespace mevra::download

namespace mevra::app {

class UrlOpener;

// The one desktop notification of a batch, over the freedesktop notification service: said once
// when the batch is over (not for every song), with an action that opens the save folder. Where
// no such service runs, nothing is shown and nothing is reported.
class BatchNotice : public QObject {
  Q_OBJECT

 public:
  BatchNotice(QDBusConnection bus, UrlOpener& url_opener, QObject* parent = nullptr);
  ~BatchNotice() override;

  // What the notification says of a batch's counts: the saved songs, and the failed ones when
  // there are any.
  static QString CountsText(int saved, int failed);

  // A batch ended. The user is told when it ran to its end (or the disk filled up), had songs to
  // fetch, `wanted` is set and the window is not the one they look at.
  void BatchEnded(const download::BatchProgress& progress, download::BatchEnd end,
                  const QString& save_folder, bool window_active, bool wanted);

 private slots:
  void ActionInvoked(uint id, const QString& action_key);
  void NotificationClosed(uint id, uint reason);

 private:
  QDBusConnection bus_;
  UrlOpener& url_opener_;
  bool listening_ = false;
  // The notification on the desktop now, 0 for none; the next batch's takes its place.
  uint shown_id_ = 0;
  QString shown_folder_;
};

}  // namespace mevra::app

// The batch's desktop notification, sent over a private session bus to a listener that takes
// the notification service's name and records what it is sent.
#include "app/batch_notice.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QTest>
#include <QUrl>

#include "app/url_opener.h"
#include "download/batch_progress.h"
#include "download/download_queue.h"

namespace mevra::app {
namespace {

struct Notified {
  QString app_icon;
  QString summary;
  QString body;
  QStringList actions;
};

// Stands in for the desktop's notification service.
class NotificationsListener : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  std::vector<Notified> notified;

 public slots:
  uint Notify(const QString& /*app_name*/, uint /*replaces_id*/, const QString& app_icon,
              const QString& summary, const QString& body, const QStringList& actions,
              const QVariantMap& /*hints*/, int /*timeout*/) {
    notified.push_back({app_icon, summary, body, actions});
    return static_cast<uint>(notified.size()) + 40;
  }
};

// Hears the service's actions as the program does, so the test knows when all have arrived.
class ActionCounter : public QObject {
  Q_OBJECT

 public:
  int heard = 0;

 public slots:
  void Heard(uint /*id*/, const QString& /*key*/) { ++heard; }
};

// A session bus of the test's own, ended with it.
class PrivateBus {
 public:
  PrivateBus() {
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address")});
    if (daemon_.waitForStarted(10000) && daemon_.waitForReadyRead(10000)) {
      address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
  }
  ~PrivateBus() {
    daemon_.kill();
    daemon_.waitForFinished();
  }
  const QString& Address() const { return address_; }
  QDBusConnection Connect(const QString& name) const {
    return QDBusConnection::connectToBus(address_, name);
  }

 private:
  QProcess daemon_;
  QString address_;
};

download::BatchProgress Ended(int saved, int failed) {
  download::BatchProgress progress;
  progress.saved = saved;
  progress.failed = failed;
  progress.finished = saved + failed;
  progress.expected = progress.finished;
  return progress;
}

TEST(BatchNoticeTest, OneNoticePerBatchThatRanWhileTheWindowWasAway) {
  PrivateBus bus;
  ASSERT_FALSE(bus.Address().isEmpty()) << "dbus-daemon did not start";
  QDBusConnection service = bus.Connect(QStringLiteral("service"));
  QDBusConnection program = bus.Connect(QStringLiteral("program"));
  ASSERT_TRUE(service.isConnected() && program.isConnected());
  NotificationsListener listener;
  ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &listener,
                                     QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));

  UrlOpener opener;
  opener.OnOpen = [](const QString&) {};
  BatchNotice notice(program, opener);
  using download::BatchEnd;
  // None of these is told; the one after them is, and it is the first the service hears of.
  notice.BatchEnded(Ended(3, 0), BatchEnd::kFinished, QStringLiteral("/music"), false, false);
  notice.BatchEnded(Ended(3, 0), BatchEnd::kFinished, QStringLiteral("/music"), true, true);
  notice.BatchEnded(Ended(1, 0), BatchEnd::kStopped, QStringLiteral("/music"), false, true);
  notice.BatchEnded(Ended(0, 0), BatchEnd::kFinished, QStringLiteral("/music"), false, true);
  notice.BatchEnded(Ended(3, 1), BatchEnd::kFinished, QStringLiteral("/music/新歌"), false, true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !listener.notified.empty(); }, 10000));
  QTest::qWait(0);
  ASSERT_EQ(listener.notified.size(), 1u);
  const Notified& sent = listener.notified.front();
  EXPECT_EQ(sent.summary, QStringLiteral("下载结束"));
  EXPECT_EQ(sent.body, QStringLiteral("已保存3首，失败1首"));
  EXPECT_EQ(sent.actions,
            (QStringList{QStringLiteral("open-folder"), QStringLiteral("打开文件夹")}));

  // The action of another notification, or one the service invents, opens nothing.
  auto invoke = [&service](uint id, const QString& key) {
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
    signal << id << key;
    service.send(signal);
  };
  ActionCounter counter;
  ASSERT_TRUE(program.connect(QString(), QStringLiteral("/org/freedesktop/Notifications"),
                              QStringLiteral("org.freedesktop.Notifications"),
                              QStringLiteral("ActionInvoked"), &counter,
                              SLOT(Heard(uint, QString))));
  invoke(7, QStringLiteral("open-folder"));
  invoke(41, QStringLiteral("default"));
  invoke(41, QStringLiteral("open-folder"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return counter.heard == 3; }, 10000));
  EXPECT_EQ(opener.Opened(),
            QStringList{QUrl::fromLocalFile(QStringLiteral("/music/新歌")).toString()});

  QDBusConnection::disconnectFromBus(QStringLiteral("service"));
  QDBusConnection::disconnectFromBus(QStringLiteral("program"));
}

TEST(BatchNoticeTest, CountsSayOnlyThePartsThatApply) {
  EXPECT_EQ(BatchNotice::CountsText(12, 0), QStringLiteral("已保存12首"));
  EXPECT_EQ(BatchNotice::CountsText(0, 2), QStringLiteral("失败2首"));
  EXPECT_EQ(BatchNotice::CountsText(0, 0), QStringLiteral("已保存0首"));
}

}  // namespace
}  // namespace mevra::app

#include "batch_notice_test.moc"

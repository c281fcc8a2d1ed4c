#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;
class QLocalSocket;

namespace mevra::app {

// The handshake between the copy that holds the instance lock and a later start: the window
// listens on a local socket named after its lock, and a start that finds the lock taken asks it
// to come to the front instead of opening a second window over the same settings and profile.
class InstanceChannel : public QObject {
  Q_OBJECT

 public:
  enum class Answer {
    kRaised,    // the running copy brought its window to the front
    kNoAnswer,  // nothing listens, or the listener did not answer in time
  };

  explicit InstanceChannel(QString lock_path, QObject* parent = nullptr);
  ~InstanceChannel() override;

  // The socket of a lock path: in the user's runtime folder, named after the lock's path so that
  // a portable copy and an installed one each have their own.
  static QString ServerName(const QString& lock_path);

  // Starts listening; only the lock's holder may call it, so a socket left by a copy that
  // crashed is replaced. False when the socket cannot be made.
  bool Listen();

  // Asks the holder of `lock_path` to raise its window; waits at most `timeout_ms`, also for a
  // holder that is still building its window and has not begun to listen.
  static Answer AskToRaise(const QString& lock_path, int timeout_ms);

  // A later start asked for the window.
  std::function<void()> OnRaise;

 private:
  void Accept();
  void ReadRequest(QLocalSocket* socket);

  QString lock_path_;
  QLocalServer* server_ = nullptr;
};

}  // namespace mevra::app

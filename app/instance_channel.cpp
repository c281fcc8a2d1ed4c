#include "app/instance_channel.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include "app/limits.h"

namespace mevra::app {
namespace {

const QByteArray kRaiseRequest = QByteArrayLiteral("raise\n");
const QByteArray kRaisedAnswer = QByteArrayLiteral("raised\n");
// A socket address holds this many bytes with its terminating zero (sockaddr_un's sun_path).
constexpr qsizetype kMaxSocketPathBytes = 108;
// A start that finds nothing listening yet tries again this often while its wait lasts.
constexpr int kConnectRetryMs = 100;

}  // namespace

InstanceChannel::InstanceChannel(QString lock_path, QObject* parent)
    : QObject(parent), lock_path_(std::move(lock_path)) {}

InstanceChannel::~InstanceChannel() = default;

QString InstanceChannel::ServerName(const QString& lock_path) {
  const QByteArray digest =
      QCryptographicHash::hash(QFileInfo(lock_path).absoluteFilePath().toUtf8(),
                               QCryptographicHash::Sha256)
          .toHex()
          .left(16);
  const QString name = QStringLiteral("MevraMP3Manager-") + QString::fromLatin1(digest);
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  const QString path = runtime + QLatin1Char('/') + name;
  // A bare name lies in the temporary folder, which is still better than no socket.
  if (runtime.isEmpty() || path.toLocal8Bit().size() >= kMaxSocketPathBytes) return name;
  return path;
}

bool InstanceChannel::Listen() {
  if (server_) return server_->isListening();
  const QString name = ServerName(lock_path_);
  // Whoever made a socket of that name held the lock before us and is gone.
  QLocalServer::removeServer(name);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &InstanceChannel::Accept);
  return server_->listen(name);
}

void InstanceChannel::Accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadRequest(socket); });
    if (socket->bytesAvailable() > 0) ReadRequest(socket);
  }
}

void InstanceChannel::ReadRequest(QLocalSocket* socket) {
  if (!socket->canReadLine()) {
    // Anything longer than the one request is not a start of this program talking.
    if (socket->bytesAvailable() > kRaiseRequest.size()) socket->abort();
    return;
  }
  const QByteArray line = socket->readLine(kRaiseRequest.size() + 1);
  if (line != kRaiseRequest) {
    socket->abort();
    return;
  }
  if (OnRaise) OnRaise();
  socket->write(kRaisedAnswer);
  socket->disconnectFromServer();
}

InstanceChannel::Answer InstanceChannel::AskToRaise(const QString& lock_path, int timeout_ms) {
  const QString name = ServerName(lock_path);
  const QDeadlineTimer deadline(timeout_ms);
  QLocalSocket socket;
  while (true) {
    socket.connectToServer(name);
    if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) break;
    socket.abort();
    if (deadline.remainingTime() <= kConnectRetryMs) return Answer::kNoAnswer;
    QThread::msleep(kConnectRetryMs);
  }
  socket.write(kRaiseRequest);
  QByteArray answer;
  while (!answer.endsWith('\n') && answer.size() <= kRaisedAnswer.size()) {
    if (socket.bytesAvailable() == 0 &&
        !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
      break;
    }
    answer += socket.read(kRaisedAnswer.size() + 1 - answer.size());
  }
  return answer == kRaisedAnswer ? Answer::kRaised : Answer::kNoAnswer;
}

}  // namespace mevra::app

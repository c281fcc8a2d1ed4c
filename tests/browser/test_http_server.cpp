#include "test_http_server.h"

#include <QTcpSocket>
#include <QUrl>

namespace mevra::browser::test {

TestHttpServer::TestHttpServer() {
  server_.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
  connect(&server_, &QTcpServer::newConnection, this, &TestHttpServer::Accept);
}

void TestHttpServer::Serve(const QString& path, const QByteArray& content_type,
                           const QByteArray& body, const QList<QByteArray>& extra_headers) {
  resources_[path] = Resource{content_type, body, extra_headers};
}

QString TestHttpServer::Url(const QString& path) const {
  return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
}

TestHttpServer::Request TestHttpServer::LastRequest(const QString& path) const {
  for (auto it = requests_.crbegin(); it != requests_.crend(); ++it) {
    if (it->path == path) return *it;
  }
  return {};
}

void TestHttpServer::Accept() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
      QByteArray head = socket->property("head").toByteArray() + socket->readAll();
      socket->setProperty("head", head);
      const qsizetype end = head.indexOf("\r\n\r\n");
      if (end < 0 || socket->property("answered").toBool()) return;
      socket->setProperty("answered", true);

      const QList<QByteArray> lines = head.left(end).split('\n');
      Request request;
      const QList<QByteArray> request_line = lines.value(0).trimmed().split(' ');
      request.path = QUrl(QString::fromLatin1(request_line.value(1))).path();
      for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0) {
          request.headers[lines[i].left(colon).trimmed().toLower()] =
              lines[i].mid(colon + 1).trimmed();
        }
      }
      requests_.append(request);

      if (held_.contains(request.path)) {
        held_[request.path].append(socket);
      } else {
        Answer(socket, request.path);
      }
    });
  }
}

void TestHttpServer::Release(const QString& path) {
  for (const QPointer<QTcpSocket>& socket : held_.take(path)) {
    if (socket) Answer(socket, path);
  }
}

void TestHttpServer::Answer(QTcpSocket* socket, const QString& path) {
  const auto found = resources_.constFind(path);
  const bool known = found != resources_.cend();
  const Resource resource = known ? *found : Resource{"text/html", "<p>not found</p>", {}};
  QByteArray answer = known ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n";
  answer += "Content-Type: " + resource.content_type + "\r\n";
  answer += "Content-Length: " + QByteArray::number(resource.body.size()) + "\r\n";
  answer += "Cache-Control: no-store\r\nConnection: close\r\n";
  for (const QByteArray& header : resource.extra_headers) answer += header + "\r\n";
  answer += "\r\n" + resource.body;
  socket->write(answer);
  socket->disconnectFromHost();
}

}  // namespace mevra::browser::test

#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

namespace mevra::browser::test {

// A tiny HTTP/1.1 server on 127.0.0.1 for the browser tests: serves fixed resources by path,
// answers 404 for anything else, closes each connection after its answer and records every
// request it saw.
class TestHttpServer : public QObject {
  Q_OBJECT

 public:
  struct Resource {
    QByteArray content_type;
    QByteArray body;
    QList<QByteArray> extra_headers;
  };
  struct Request {
    QString path;
    QMap<QByteArray, QByteArray> headers;  // Names in lower case.
  };

  TestHttpServer();

  void Serve(const QString& path, const QByteArray& content_type, const QByteArray& body,
             const QList<QByteArray>& extra_headers = {});
  // Requests for `path` get their answer only when Release is called, so a page that waits for
  // it synchronously stays busy for as long as the test wants.
  void Hold(const QString& path) { held_[path]; }
  void Release(const QString& path);
  bool Received(const QString& path) const { return !LastRequest(path).path.isEmpty(); }
  QString Url(const QString& path) const;
  // The most recent request for `path`, or an empty record when there was none.
  Request LastRequest(const QString& path) const;

 private:
  void Accept();
  void Answer(QTcpSocket* socket, const QString& path);

  QTcpServer server_;
  QMap<QString, Resource> resources_;
  QList<Request> requests_;
  QMap<QString, QList<QPointer<QTcpSocket>>> held_;
};

}  // namespace mevra::browser::test

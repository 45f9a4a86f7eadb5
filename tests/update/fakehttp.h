#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A loopback HTTP/1.1 server for the updater's tests. Each request is
// answered with a scripted response whose body is written in chunks, each
// after the previous one has left, so the client really receives it as a
// stream. A response can stop half-way until resume(), or end the connection
// early (the client then holds a truncated body).
class fakehttp {
 public:
  struct response {
    int status = 200;
    QByteArray body;
    // Close the connection after this many body bytes (-1: send them all).
    qint64 cutafter = -1;
    // Stop sending after this many body bytes until resume() (-1: never).
    qint64 pauseafter = -1;
  };
  // Decides the response for a request path.
  std::function<response(const std::string &path)> handler;
  // Paths of the requests received, in order.
  std::vector<std::string> paths;

  fakehttp() {
    server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server, &QTcpServer::newConnection, &server, [this] { accept(); });
  }

  std::string origin() const { return "http://127.0.0.1:" + std::to_string(server.serverPort()); }

  // Lets every response run to its end, also one that has not reached its
  // pause yet (the test may resume before the client has read that far).
  void resume() {
    for (const auto &c : connections) {
      c->pauseat = -1;
      if (c->paused) {
        c->paused = false;
        sendmore(*c);
      }
    }
  }

 private:
  static constexpr qint64 chunksize = 64 * 1024;

  struct connection {
    QTcpSocket *socket = nullptr;
    QByteArray request;
    bool answered = false;
    response r;
    qint64 sent = 0;
    qint64 pauseat = -1;
    bool paused = false;
  };

  void accept() {
    while (QTcpSocket *s = server.nextPendingConnection()) {
      auto c = std::make_shared<connection>();
      c->socket = s;
      connections.push_back(c);
      QObject::connect(s, &QTcpSocket::readyRead, s, [this, c] { onrequestbytes(*c); });
      QObject::connect(s, &QTcpSocket::bytesWritten, s, [this, c] { sendmore(*c); });
    }
  }

  void onrequestbytes(connection &c) {
    c.request += c.socket->readAll();
    if (c.answered || !c.request.contains("\r\n\r\n")) return;
    c.answered = true;
    const QList<QByteArray> first = c.request.left(c.request.indexOf("\r\n")).split(' ');
    const std::string path = first.size() > 1 ? first[1].toStdString() : std::string();
    paths.push_back(path);
    c.r = handler ? handler(path) : response{404, {}};
    c.pauseat = c.r.pauseafter;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(c.r.status) + " Status\r\n";
    head += "Content-Type: application/octet-stream\r\n";
    head += "Content-Length: " + QByteArray::number(c.r.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    c.socket->write(head);
  }

  // Writes the next chunk once the previous one has been handed to the system.
  void sendmore(connection &c) {
    if (!c.answered || c.paused || c.socket->bytesToWrite() > 0) return;
    qint64 end = c.r.body.size();
    if (c.r.cutafter >= 0) end = std::min(end, c.r.cutafter);
    if (c.pauseat >= 0 && c.sent >= c.pauseat) {
      c.paused = true;
      return;
    }
    if (c.sent >= end) {
      c.socket->disconnectFromHost();
      return;
    }
    qint64 n = std::min(chunksize, end - c.sent);
    if (c.pauseat >= 0) n = std::min(n, c.pauseat - c.sent);
    c.socket->write(c.r.body.mid(c.sent, n));
    c.sent += n;
  }

  QTcpServer server;
  std::vector<std::shared_ptr<connection>> connections;
};

// Runs the event loop until `done` holds or `ms` milliseconds have passed.
inline bool waitfor(const std::function<bool()> &done, int ms = 10000) {
  QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
  }
  return true;
}

#include "app/commandsocket.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <cstdio>

#include "app/windowevents.h"
#include "common/debuglog.h"

commandsocket::commandsocket(std::function<void(unsigned int)> oncommand,
                             std::function<void(const handoverrequest &)> onhandover, QObject *parent)
    : QObject(parent), oncommand(std::move(oncommand)), onhandover(std::move(onhandover)) {}

QString commandsocket::name() { return QString::fromStdString(commandsocketpath()); }

void commandsocket::close() {
  if (server) server->close();
}

bool commandsocket::listen() {
  {
    QLocalSocket probe;
    probe.connectToServer(name());
    if (probe.waitForConnected(500)) {
      debugout("command socket: another copy of the program is running");
      return false;
    }
  }
  QLocalServer::removeServer(name());  // a socket file left by a copy that crashed
  server = new QLocalServer(this);
  server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server->listen(name())) {
    debugout("command socket: cannot listen: " + server->errorString().toStdString());
    return false;
  }
  connect(server, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket *client = server->nextPendingConnection()) {
      connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
      connect(client, &QLocalSocket::readyRead, this, [this, client] {
        while (client->canReadLine()) {
          const std::string line = client->readLine().trimmed().toStdString();
          unsigned int wparam = 0;
          const bool ok = parsecommandtext(line, wparam);
          const auto handover = ok ? std::nullopt : parsehandoverline(line);
          client->write(ok || (handover && onhandover) ? "ok\n" : "bad\n");
          client->flush();
          if (ok) oncommand(wparam);
          if (handover && onhandover) onhandover(*handover);
        }
      });
    }
  });
  return true;
}

int commandsocket::post(const std::string &commandtext) {
  unsigned int wparam = 0;
  if (!parsecommandtext(commandtext, wparam)) {
    std::fprintf(stderr, "orvalink-desktop: not a command: %s (give a number or \"hide\")\n", commandtext.c_str());
    return 2;
  }
  QLocalSocket socket;
  socket.connectToServer(name());
  if (!socket.waitForConnected(2000)) {
    std::fprintf(stderr, "orvalink-desktop: the program is not running, so the command was not delivered\n");
    return 1;
  }
  socket.write((commandtext + "\n").c_str());
  socket.flush();
  if (!socket.waitForReadyRead(5000) || !socket.readLine().startsWith("ok")) {
    std::fprintf(stderr, "orvalink-desktop: the running program did not accept the command\n");
    return 1;
  }
  return 0;
}

#include "app/commandsocket.h"

#include <sys/stat.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/windowevents.h"
#include "common/debuglog.h"
#include "common/unixsocket.h"

commandsocket::commandsocket(std::function<void(unsigned int)> oncommand,
                             std::function<void(const handoverrequest &)> onhandover, QObject *parent)
    : QObject(parent), oncommand(std::move(oncommand)), onhandover(std::move(onhandover)) {}

QString commandsocket::name() { return QString::fromStdString(commandsocketpath()); }

void commandsocket::close() {
  if (server) server->close();
}

bool commandsocket::listen() {
  if (commandsocketpath().empty()) return false;  // no private directory for it (said once already)
  if (unixconnect(commandsocketpath())) {
    debugout("command socket: another copy of the program is running");
    return false;
  }
  QLocalServer::removeServer(name());  // a socket file left by a copy that crashed
  // Bound here rather than by Qt, whose access options bind in a temporary
  // directory and move the socket into place: the private directory already
  // keeps others out, and the file is made the user's alone.
  ownedfd socket = unixlisten(commandsocketpath(), 50);
  if (!socket) {
    debugout("command socket: cannot listen: " + std::string(std::strerror(errno)));
    return false;
  }
  ::chmod(commandsocketpath().c_str(), S_IRWXU);
  server = new QLocalServer(this);
  if (!server->listen(static_cast<qintptr>(socket.get()))) {
    debugout("command socket: cannot listen: " + server->errorString().toStdString());
    return false;
  }
  socket.release();
  connect(server, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket *client = server->nextPendingConnection()) {
      connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
      if (!peeristhisuser(static_cast<int>(client->socketDescriptor()), "command socket: refused a connection")) {
        client->abort();
        client->deleteLater();
        continue;
      }
      connect(client, &QLocalSocket::readyRead, this, [this, client] {
        while (client->canReadLine()) {
          const std::string line = client->readLine().trimmed().toStdString();
          unsigned int command = 0;
          const bool ok = parsecommandtext(line, command);
          const auto handover = ok ? std::nullopt : parsehandoverline(line);
          client->write(ok || (handover && onhandover) ? "ok\n" : "bad\n");
          client->flush();
          if (ok) oncommand(command);
          if (handover && onhandover) onhandover(*handover);
        }
      });
    }
  });
  return true;
}

int commandsocket::post(const std::string &commandtext) {
  unsigned int command = 0;
  if (!parsecommandtext(commandtext, command)) {
    std::fprintf(stderr, "orvalink-desktop: not a command: %s (give a number or \"hide\")\n", commandtext.c_str());
    return 2;
  }
  switch (sendtorunningcopy(commandsocketpath(), commandtext, std::chrono::seconds(5))) {
    case handoverresult::delivered:
      return 0;
    case handoverresult::notrunning:
      std::fprintf(stderr, "orvalink-desktop: the program is not running, so the command was not delivered\n");
      return 1;
    case handoverresult::refused:
    case handoverresult::gone:
    case handoverresult::noanswer:
      break;
  }
  std::fprintf(stderr, "orvalink-desktop: the running program did not accept the command\n");
  return 1;
}

int commandsocket::presshotkey(const std::string &name) {
  if (!ishotkeyname(name)) {
    // Shown with its control characters replaced: they could drive the terminal.
    std::string shown = name.substr(0, 2 * maxhotkeyname);
    for (char &c : shown)
      if (c < ' ' || c == 0x7f) c = '?';
    std::fprintf(stderr,
                 "orvalink-desktop: not a hotkey name: \"%s\" (1 to %zu printable ASCII characters, no spaces)\n",
                 shown.c_str(), maxhotkeyname);
    return 2;
  }
  // The running copy's scripts may hold its event loop for up to 10 s.
  switch (sendtorunningcopy(commandsocketpath(), handoverline({handoverrequest::kind::hotkey, {}, name}),
                            std::chrono::seconds(15))) {
    case handoverresult::delivered:
      return 0;
    case handoverresult::notrunning:
      std::fprintf(stderr, "orvalink-desktop: the program is not running, so the hotkey %s was not pressed\n",
                   name.c_str());
      return 1;
    case handoverresult::refused:
    case handoverresult::gone:
    case handoverresult::noanswer:
      break;
  }
  std::fprintf(stderr, "orvalink-desktop: the running program did not take the hotkey %s\n", name.c_str());
  return 1;
}

#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

// Other programs post window commands (tray menu ids, the hide command) to
// the running program through a local socket: one line holding the number.
class commandsocket : public QObject {
  Q_OBJECT
 public:
  explicit commandsocket(std::function<void(unsigned int)> oncommand, QObject *parent = nullptr);
  // Starts listening. False when another running copy already listens.
  bool listen();

  // The socket's name for this user.
  static QString name();
  // Client side: delivers one command to the running program. Returns the
  // process exit code (0 delivered, 1 no program running, 2 bad command).
  static int post(const std::string &commandtext);

 private:
  std::function<void(unsigned int)> oncommand;
  QLocalServer *server = nullptr;
};

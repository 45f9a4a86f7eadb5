#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "app/handover.h"

class QLocalServer;

// Other programs post window commands (tray menu ids, the hide command) to
// the running program through a local socket: one line holding the number.
// Later starts of the program hand over their requests ("show", "dial N",
// "hotkey NAME") the same way.
class commandsocket : public QObject {
  Q_OBJECT
 public:
  explicit commandsocket(std::function<void(unsigned int)> oncommand,
                         std::function<void(const handoverrequest &)> onhandover = {}, QObject *parent = nullptr);
  // Starts listening. False when another running copy already listens.
  bool listen();
  // Stops listening (shutdown has begun: a new start must not hand over to us).
  void close();

  // The socket's name for this user.
  static QString name();
  // Client side, through sendtorunningcopy (needs no application object):
  // delivers one command to the running program. Returns the process exit
  // code (0 delivered, 1 not running or not accepted, 2 bad command).
  static int post(const std::string &commandtext);
  // Client side: has the running program run its hotkey `name` as if
  // pressed. Returns the process exit code (0 taken, 1 not running or not
  // taken, 2 not a hotkey name). Never starts the program.
  static int presshotkey(const std::string &name);

 private:
  std::function<void(unsigned int)> oncommand;
  std::function<void(const handoverrequest &)> onhandover;
  QLocalServer *server = nullptr;
};

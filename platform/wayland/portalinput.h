#pragma once

#include <QObject>
#include <QTimer>
#include <QVariantList>
#include <deque>
#include <string>

#include "platform/balloons.h"
#include "platform/keyboardmouse.h"
#include "platform/wayland/portalrequest.h"

// Keyboard and pointer input through the desktop's RemoteDesktop portal. The
// session opens on the first use (some desktops ask the user first) and
// stays for the program's life; input asked for before it runs waits in
// order. When the desktop refuses, that input is dropped, later input does
// nothing and one balloon says why.
class portalinput : public QObject, public keyboardmouse {
  Q_OBJECT
 public:
  explicit portalinput(balloonsink balloons);
  ~portalinput() override;
  void key(int virtualkey, bool down) override;
  void movepointer(screenpoint p) override;
  void button(int number, bool down) override;
  std::optional<screenpoint> screensize() override;

 private:
  struct event {
    QString method;
    QVariantList arguments;  // after the session handle and options
  };
  enum class state { none, starting, started, failed };
  void send(event e);
  void start();
  void fail(const std::string &why);
  void drain();

  balloonsink balloons_;
  portalrequests requests_;
  state state_ = state::none;
  QString session_;
  std::deque<event> queued_;
  bool inflight_ = false;  // an event the portal has not answered yet
  QTimer *pause_;          // runs while the desktop settles a pointer move
};

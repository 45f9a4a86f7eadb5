#pragma once

#include <QDBusMessage>
#include <QObject>
#include <string>
#include <vector>

#include "platform/hotkeyservice.h"
#include "platform/wayland/portalrequest.h"

// Hotkeys as shortcuts of the desktop's GlobalShortcuts portal. The grabs of
// one script run go to the desktop together on the next event-loop turn;
// the desktop may give a shortcut other keys (the user's choice in its
// settings), which the debug output lists.
class portalhotkeys : public QObject, public hotkeyservice {
  Q_OBJECT
 public:
  portalhotkeys();
  ~portalhotkeys() override;
  void setlistener(std::function<void(int)> listener) override;
  bool grab(const hotkeyrequest &request) override;
  bool firenamed(const std::string &name) override;

 private slots:
  void onactivated(const QDBusMessage &message);

 private:
  struct shortcut {
    std::string name;
    int identifier;
    std::string description;
    std::string trigger;
  };
  enum class state { none, creating, binding, ready, failed };
  void flush();
  void bind();
  void list();
  QVariant shortcutlist() const;

  portalrequests requests_;
  std::function<void(int)> listener_;
  std::vector<shortcut> shortcuts_;
  state state_ = state::none;
  bool scheduled_ = false;
  bool changed_ = false;  // shortcuts the desktop has not been given yet
  QString session_;
};

// True when the session's portal offers GlobalShortcuts; waits for the
// answer for at most `timeoutms`.
bool hasglobalshortcuts(int timeoutms);

#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/hotkeyservice.h"
#include "platform/linux/x11connection.h"
#include "platform/linux/x11keys.h"

class QSocketNotifier;

// Hotkeys as passive key grabs on the root window, on a connection of their
// own whose key events are read on the UI thread when its socket has data.
// The connection is opened at the first grab: a run without hotkeys never
// pays for it.
class x11hotkeys : public hotkeyservice {
 public:
  x11hotkeys();
  ~x11hotkeys() override;
  void setlistener(std::function<void(int)> listener) override;
  bool grab(const hotkeyrequest &request) override;

 private:
  struct grabbed {
    int identifier;
    unsigned keycode;
    unsigned mods;
  };
  // Opens the connection once; whether it is open.
  bool open();
  void watch();
  void readevents();
  modifiermasks masks() const;

  std::optional<x11connection> x_;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::function<void(int)> listener_;
  std::vector<grabbed> grabs_;
};

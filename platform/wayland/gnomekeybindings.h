#pragma once

#include <string>
#include <vector>

#include "platform/hotkeyservice.h"

// Hotkeys as GNOME custom keybindings (what the desktop's keyboard settings
// list), for GNOME versions without the shortcut portal. A binding runs
// "<program> --hotkey=NAME", which hands NAME to the running copy: that
// reaches firenamed. Bindings are the program's only while it runs: they
// are removed when the service ends, and those a crashed run left behind
// when it starts.
class gnomekeybindings : public hotkeyservice {
 public:
  // `program`: the executable the bindings start.
  explicit gnomekeybindings(std::string program);
  ~gnomekeybindings() override;
  void setlistener(std::function<void(int)> listener) override;
  bool grab(const hotkeyrequest &request) override;
  bool firenamed(const std::string &name) override;

  // True when this session keeps GNOME's settings (the keybinding schemas
  // are installed and settings are stored, not only held in memory).
  static bool available();

 private:
  struct binding {
    std::string name;
    int identifier;
  };
  std::string program_;
  std::function<void(int)> listener_;
  std::vector<binding> bindings_;
};

// The settings path of the program's keybinding for a hotkey name: the path
// may hold no '+', so the name's '+' become '-'.
std::string gnomekeybindingpath(const std::string &name);

#pragma once

#include <functional>
#include <string>

// A hotkey a script asks for: the key, its modifier flags (hotkeyservice::alt
// ...), the script's text for it and what the desktop shows the user about it
// (where a desktop lists the program's shortcuts).
struct hotkeyrequest {
  int identifier = 0;
  int virtualkey = 0;
  unsigned modifiers = 0;
  std::string text;
  std::string description;
};

// System-wide hotkeys: a key with modifiers that reaches the program
// whichever window has the focus.
class hotkeyservice {
 public:
  // Modifier flags of a hotkey.
  static constexpr unsigned alt = 1, control = 2, shift = 4, win = 8;

  virtual ~hotkeyservice() = default;
  // Called on the UI thread with the identifier of a pressed hotkey.
  virtual void setlistener(std::function<void(int)> listener) = 0;
  // Asks for a hotkey; false when the system refuses it (another program
  // holds it, or the key does not exist on this keyboard).
  virtual bool grab(const hotkeyrequest &request) = 0;
  // A hotkey pressed through a desktop keybinding that started the program
  // again with --hotkey=NAME: runs the hotkey of that name as if pressed;
  // false when no hotkey has the name.
  virtual bool firenamed(const std::string &) { return false; }
};

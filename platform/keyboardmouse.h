#pragma once

#include <optional>

#include "platform/desktopwindows.h"

// Synthetic keyboard and mouse input, delivered as if typed or clicked to
// whatever has the focus or lies under the pointer. Keys are named by their
// virtual-key codes (automation/keytables.h); each call is one input event.
class keyboardmouse {
 public:
  virtual ~keyboardmouse() = default;
  virtual void key(int virtualkey, bool down) = 0;
  // Moves the pointer to a screen position in pixels.
  virtual void movepointer(screenpoint p) = 0;
  // Presses or releases a pointer button: 1 left, 2 middle, 3 right, 8 and 9
  // the extra buttons.
  virtual void button(int number, bool down) = 0;
  virtual std::optional<screenpoint> screensize() = 0;
};

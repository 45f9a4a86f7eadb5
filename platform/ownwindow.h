#pragma once

#include <string>

#include "platform/desktopwindows.h"

// The desktop's side of the program's own top-level windows: what only the
// window manager can change. Windows are named by their native ids; a
// request about a window that does not exist, or without a desktop to ask,
// has no effect. UI thread only.
class ownwindow {
 public:
  virtual ~ownwindow() = default;
  // Keeps a window above others, or stops doing so. The window must be
  // mapped: the window manager changes a mapped window on request only.
  virtual void setkeepabove(windowid window, bool on) = 0;
  // Raises a shown window and makes it the active one, also when the program
  // had no user input lately (a request handed over by a later start).
  virtual void activate(windowid window) = 0;
  // Names the window's class, by which the desktop matches it to the
  // program's desktop entry. Set before the window is first mapped.
  virtual void setwindowclass(windowid window, const std::string &classname) = 0;
};

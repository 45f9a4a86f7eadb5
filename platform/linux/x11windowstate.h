#pragma once

#include "platform/ownwindow.h"

// Requests to the window manager about the program's own windows, sent on
// Qt's X11 connection after the window's own requests. No effect when Qt
// does not run on X11.
class x11windowstate : public ownwindow {
 public:
  // _NET_WM_STATE_ABOVE.
  void setkeepabove(windowid window, bool on) override;
  // Raises the window and asks for _NET_ACTIVE_WINDOW the way a task bar
  // does (from a pager): a plain request from an application that had no
  // user input lately falls to focus-stealing prevention.
  void activate(windowid window) override;
  // Sets the class part of WM_CLASS, keeping the instance part Qt gave it.
  // Window managers read it when they take a window on.
  void setwindowclass(windowid window, const std::string &classname) override;
};

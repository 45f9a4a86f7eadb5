#pragma once

#include <cstdint>
#include <string>

// Requests to the window manager about the program's own top-level windows,
// sent on Qt's X11 connection after the window's own requests. A window must
// be mapped: the manager changes a mapped window on request only. No effect
// without an X11 display.

// Keeps a window above others, or stops doing so (_NET_WM_STATE_ABOVE).
void setkeepabove(std::uint64_t window, bool on);

// Raises a window and makes it the active one the way a task bar asks
// (_NET_ACTIVE_WINDOW from a pager): a plain request from an application that
// had no user input lately falls to focus-stealing prevention.
void activatewindow(std::uint64_t window);

// Sets the class part of a window's WM_CLASS, keeping the instance part Qt
// gave it. Window managers read the class when they take a window on, so the
// window must not be mapped yet.
void setwindowclass(std::uint64_t window, const std::string &classname);

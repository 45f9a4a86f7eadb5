#pragma once

#include "platform/desktopwindows.h"
#include "platform/linux/x11connection.h"

// Windows of the X desktop. Top-level windows are the clients the window
// manager manages (found through WM_STATE below its frames); a window's
// class is the class part of WM_CLASS, its title _NET_WM_NAME or WM_NAME.
class x11windows : public desktopwindows {
 public:
  explicit x11windows(const x11connection &x) : x_(x) {}

  windowid activewindow() override;
  windowid focuswindow() override;
  windowid setfocus(windowid w) override;
  bool iswindow(windowid w) override;
  bool isvisible(windowid w) override;
  bool show(windowid w, const showrequest &r) override;
  void setforeground(windowid w) override;
  windowid findchild(windowid parent, const std::optional<std::string> &classname,
                     const std::optional<std::string> &title) override;
  std::vector<windowid> descendants(windowid w) override;
  std::string classname(windowid w) override;
  std::string title(windowid w) override;
  std::optional<screenrect> rect(windowid w) override;
  std::uint32_t processid(windowid w) override;
  std::optional<screenpoint> cursorpos() override;
  void setcursorpos(screenpoint p) override;
  std::optional<screenpoint> translate(windowid from, windowid to, screenpoint p) override;
  windowid windowat(screenpoint p) override;
  windowid childat(windowid parent, screenpoint p) override;

  // The top-level windows in findchild's order.
  std::vector<Window> toplevels() const;
  // The active window as the window manager reports it; 0 when it reports
  // none (activewindow then falls back to the focus, for a desktop without a
  // window manager).
  windowid reportedactive() const;

 private:
  std::vector<Window> children(Window w) const;
  Window parentof(Window w) const;
  bool hasstate(Window w) const;
  std::optional<long> wmstate(Window w) const;
  // The managed client inside a window manager frame (or the window itself).
  Window clientof(Window w) const;
  bool istoplevel(Window w) const;
  bool hasmanager() const;

  const x11connection &x_;
};

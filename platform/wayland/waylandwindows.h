#pragma once

#include <memory>

#include "platform/linux/x11windows.h"
#include "platform/wayland/atspiwindows.h"

// The windows of a Wayland session: X11 applications through XWayland as on
// an X11 desktop, native Wayland applications as the frames AT-SPI shows
// (ids tagged, see nativeframes.h). Frames can be found and read (title,
// application name as class, process, extents, active, showing); what a
// Wayland client cannot do to another application's window (focus, show,
// raise, coordinates, hit tests) answers as for a window that is not there.
// Without XWayland only the frames are seen.
class waylandwindows : public desktopwindows {
 public:
  // `x11` may be null (no XWayland); `x11root` is its screen's root window.
  waylandwindows(std::unique_ptr<x11windows> x11, windowid x11root);

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

 private:
  bool isroot(windowid w) const { return w == 0 || (x11_ && w == x11root_); }
  // The native frames listed after the X11 top-level windows.
  std::vector<nativeframe> framesbeside();

  std::unique_ptr<x11windows> x11_;
  windowid x11root_;
  atspiwindows frames_;
};

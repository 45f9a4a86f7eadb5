#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A native window id (an X window here); 0 names no window.
using windowid = std::uint64_t;

struct screenpoint {
  int x = 0;
  int y = 0;
};

struct screenrect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// How a window is to be shown; the decision from a script's show command is
// made by the automation library (see showplan).
struct showrequest {
  enum class visibility { hide, show, minimize } shown = visibility::show;
  enum class maximized { keep, set, clear } maximize = maximized::keep;
  bool activate = false;
};

// The windows of the desktop as scripts see them: finding, reading and
// placing other applications' windows. Every call answers at once; a window
// id that names no window gives the empty answer, never a failure.
class desktopwindows {
 public:
  virtual ~desktopwindows() = default;

  // The window the window manager reports as active; 0 when none.
  virtual windowid activewindow() = 0;
  // The window that has the keyboard focus; 0 when none.
  virtual windowid focuswindow() = 0;
  // Gives the keyboard focus to a window; returns the window that had it (0
  // when none or when the window cannot take it).
  virtual windowid setfocus(windowid w) = 0;
  virtual bool iswindow(windowid w) = 0;
  // Mapped (a minimised top-level window also counts as visible).
  virtual bool isvisible(windowid w) = 0;
  // Applies a show request; returns whether the window was visible before.
  virtual bool show(windowid w, const showrequest &r) = 0;
  // Raises and activates a top-level window.
  virtual void setforeground(windowid w) = 0;

  // The first direct child of `parent` whose class and title equal the given
  // ones without regard to case (an absent one matches any). With 0 or the
  // screen's root: the top-level windows, those the window manager manages
  // first (topmost first), then the others, mapped before unmapped, so a
  // toolkit's hidden helper window never shadows the window a person sees.
  virtual windowid findchild(windowid parent, const std::optional<std::string> &classname,
                             const std::optional<std::string> &title) = 0;
  // All descendants, each parent before its children, siblings in creation
  // order; below the screen's root, the top-level windows in findchild's
  // order (window manager frames left out), each followed by its descendants.
  virtual std::vector<windowid> descendants(windowid w) = 0;
  // Class name and title as UTF-8; empty when absent.
  virtual std::string classname(windowid w) = 0;
  virtual std::string title(windowid w) = 0;
  virtual std::optional<screenrect> rect(windowid w) = 0;
  // The owning process id; 0 when the window does not say.
  virtual std::uint32_t processid(windowid w) = 0;

  virtual std::optional<screenpoint> cursorpos() = 0;
  virtual void setcursorpos(screenpoint p) = 0;
  // Converts a point from one window's coordinates to another's (0 is the
  // screen); nothing when either window does not exist.
  virtual std::optional<screenpoint> translate(windowid from, windowid to, screenpoint p) = 0;
  // The deepest visible window at a screen point; 0 when none.
  virtual windowid windowat(screenpoint p) = 0;
  // The direct child of `parent` containing a point given in the parent's
  // coordinates; the parent itself when no child does, 0 when the point lies
  // outside the parent.
  virtual windowid childat(windowid parent, screenpoint p) = 0;
};

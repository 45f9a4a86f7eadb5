#pragma once

#include <cstdint>

// The main window as the rest of the program drives it. The Qt main window
// implements it; tests use fakes.
class windowcontrol {
 public:
  virtual ~windowcontrol() = default;
  // The native (X11) window id.
  virtual std::uint64_t nativeid() const = 0;
  virtual bool isvisible() const = 0;
  // Restores (un-minimises) and shows the window, then brings it to the front.
  virtual void showrestore() = 0;
  virtual void hide() = 0;
  // Pins the window above others (or unpins it) and shows it.
  virtual void settopmost(bool on) = 0;
  // Moves and sizes the outer window; sizes are passed on as given.
  virtual void placewindow(int x, int y, int width, int height) = 0;

  // Hides a visible window; otherwise restores it and brings it to the front.
  void togglewindow() {
    if (isvisible())
      hide();
    else
      showrestore();
  }
};

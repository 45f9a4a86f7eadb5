#pragma once

#include "platform/clipboardtext.h"

// The Wayland clipboard itself, through the wl-paste and wl-copy programs,
// which reach it over the compositor's data-control protocol without having
// the keyboard focus. Needed where the compositor passes the clipboard to
// XWayland only while an X11 window is active (KWin): a native application's
// copy would otherwise not be seen. Each read or write waits for its program
// for a bounded time (the clipboard budget); the text copied is served by
// wl-copy in the background, also after this program ends.
class wlclipboard : public clipboardtext {
 public:
  // Whether the session's compositor offers data control and the programs
  // are installed. Asks the compositor once, bounded in time.
  static bool available();

  std::string read() override;
  void write(const std::string &bytes) override;
};

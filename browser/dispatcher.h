#pragma once

#include <string>

#include "protocol/pagemessage.h"

// What the command dispatcher needs from the desktop besides the main window
// and the tray icon (both reached through appglobals).
class desktopservices {
 public:
  virtual ~desktopservices() = default;
  // Width and height of the primary screen in pixels.
  virtual int screenwidth() const = 0;
  virtual int screenheight() const = 0;
  // Opens an address in the system's web browser.
  virtual void openurl(const std::string &url) = 0;
  virtual void clearcookies() = 0;
  virtual void setclipboardtext(const std::string &bytes) = 0;
};

// "winPos" is carried out unless the window would start beyond the screen's
// right or bottom edge; sizes are passed on as given (even negative ones).
bool winposallowed(int left, int top, int screenwidth, int screenheight);

class pluginhost;

// Carries out the commands the page sends, on the UI thread.
class dispatcher {
 public:
  dispatcher(desktopservices &desktop, pluginhost &plugins) : desktop(desktop), plugins(plugins) {}
  // True for every command name it knows; unknown names change nothing.
  bool onprocessmessage(const pagemessage &m);

 private:
  desktopservices &desktop;
  pluginhost &plugins;
};

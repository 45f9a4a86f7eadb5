#pragma once

#include <functional>
#include <string>
#include <utility>

#include "platform/balloons.h"
#include "protocol/pagemessage.h"

class windowcontrol;

// What the command dispatcher needs from the desktop.
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

// The page's entries in the tray icon's menu.
class traymenu {
 public:
  virtual ~traymenu() = default;
  // Adds `label` to `group` (made when new), with a check mark or without.
  virtual void addmenuitem(const std::string &group, const std::string &label, bool checked) = 0;
  virtual void removemenugroup(const std::string &group) = 0;
};

// The page's plugin functions, carried out by the plugin host.
class pluginrequests {
 public:
  virtual ~pluginrequests() = default;
  virtual void loadqxp(const std::string &url, const std::string &requestid) = 0;
  virtual void makeqxpcall(int number, const std::string &fn, const std::string &data,
                           const std::string &requestid) = 0;
};

// Everything the page's commands act on. The program hands in its main
// window, tray icon, plugin host, updater and scripts; tests hand in fakes.
// An empty function drops what would go to it.
struct dispatchtargets {
  desktopservices &desktop;
  windowcontrol &window;
  traymenu &tray;
  pluginrequests &plugins;
  // "winNotification": a balloon at the tray icon.
  balloonsink balloons;
  // "winRunUpdate", with the version the service offers.
  std::function<void(const std::string &version)> runupdate;
  // "winOnEvent", with the page's JSON text: for the scripts.
  std::function<void(const std::string &jsontext)> pageevent;
  // "winAuth", before the system browser opens the sign-in address: where
  // the program says when the sign-in cannot come back to it.
  std::function<void()> signinstarting;
};

// "winPos" is carried out unless the window would start beyond the screen's
// right or bottom edge; sizes are passed on as given (even negative ones).
bool winposallowed(int left, int top, int screenwidth, int screenheight);

// Where "winPos" puts the window: at (left, top), right - left wide and
// bottom - top high. The page's integers are first held within
// ±maxwinpos (Qt's largest window size), far beyond any screen, so that
// neither these differences nor the window system's sums of place and size
// can overflow.
inline constexpr int maxwinpos = 16777215;
struct winplace {
  int x, y, width, height;
};
winplace winposplace(int left, int right, int top, int bottom);

// Carries out the commands the page sends, on the UI thread.
class dispatcher {
 public:
  explicit dispatcher(dispatchtargets targets) : to(std::move(targets)) {}
  // True for every command name it knows; unknown names change nothing.
  bool onprocessmessage(const pagemessage &m);

 private:
  dispatchtargets to;
};

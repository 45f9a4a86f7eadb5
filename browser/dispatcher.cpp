#include "browser/dispatcher.h"

#include <algorithm>

#include "browser/windowcontrol.h"
#include "common/uithread.h"

bool winposallowed(int left, int top, int screenwidth, int screenheight) {
  return top <= screenheight && left <= screenwidth;
}

winplace winposplace(int left, int right, int top, int bottom) {
  const auto bounded = [](int v) { return std::clamp(v, -maxwinpos, maxwinpos); };
  left = bounded(left), right = bounded(right), top = bounded(top), bottom = bounded(bottom);
  return {left, top, right - left, bottom - top};
}

bool dispatcher::onprocessmessage(const pagemessage &m) {
  assertuithread();
  const std::string &name = m.name;

  if (name == msg::loadqxp) {
    to.plugins.loadqxp(m.getstring(0), m.getstring(1));
    return true;
  }
  if (name == msg::makeqxpcall) {
    to.plugins.makeqxpcall(m.getint(0), m.getstring(1), m.getstring(2), m.getstring(3));
    return true;
  }
  if (name == msg::winpos) {
    const int left = m.getint(0), right = m.getint(1), top = m.getint(2), bottom = m.getint(3);
    if (winposallowed(left, top, to.desktop.screenwidth(), to.desktop.screenheight())) {
      const winplace p = winposplace(left, right, top, bottom);
      to.window.placewindow(p.x, p.y, p.width, p.height);
    }
    return true;
  }
  if (name == msg::wininsertmenu) {
    to.tray.addmenuitem(m.getstring(0), m.getstring(1), m.getbool(2));
    return true;
  }
  if (name == msg::winremovemenugroup) {
    to.tray.removemenugroup(m.getstring(0));
    return true;
  }
  if (name == msg::winalwaysontop) {
    to.window.settopmost(m.getbool(0));
    return true;
  }
  if (name == msg::winshow) {
    if (m.getbool(0))
      to.window.showrestore();
    else
      to.window.hide();
    return true;
  }
  if (name == msg::wintoggle) {
    to.window.togglewindow();
    return true;
  }
  if (name == msg::winnotification) {
    if (to.balloons) to.balloons({m.getstring(0), m.getstring(1), balloonicon::user, 10});
    return true;
  }
  if (name == msg::winrunupdate) {
    if (to.runupdate) to.runupdate(m.getstring(0));
    return true;
  }
  if (name == msg::winclearcookies) {
    to.desktop.clearcookies();
    return true;
  }
  if (name == msg::winonevent) {
    if (to.pageevent) to.pageevent(m.getstring(0));
    return true;
  }
  if (name == msg::winauth) {
    if (to.signinstarting) to.signinstarting();
    to.desktop.openurl(m.getstring(0));
    return true;
  }
  if (name == msg::wincopy) {
    to.desktop.setclipboardtext(m.getstring(0));
    return true;
  }
  return false;
}

#include "browser/dispatcher.h"

#include <QString>

#include "app/appglobals.h"
#include "app/windowcontrol.h"
#include "automation/scripthost.h"
#include "browser/sendtopage.h"
#include "plugins/pluginhost.h"
#include "update/updatecheck.h"

bool winposallowed(int left, int top, int screenwidth, int screenheight) {
  return top <= screenheight && left <= screenwidth;
}

namespace {
QString qs(const std::string &s) { return QString::fromStdString(s); }
}  // namespace

bool dispatcher::onprocessmessage(const pagemessage &m) {
  appglobals *g = appglobals::current();
  if (!g) return false;
  windowcontrol *window = g->mainwindow;
  const std::string &name = m.name;

  if (name == msg::loadqxp) {
    plugins.loadqxp(m.getstring(0), m.getstring(1));
    return true;
  }
  if (name == msg::makeqxpcall) {
    plugins.makeqxpcall(m.getint(0), m.getstring(1), m.getstring(2), m.getstring(3));
    return true;
  }
  if (name == msg::winpos) {
    const int left = m.getint(0), right = m.getint(1), top = m.getint(2), bottom = m.getint(3);
    if (window && winposallowed(left, top, desktop.screenwidth(), desktop.screenheight()))
      window->placewindow(left, top, right - left, bottom - top);
    return true;
  }
  if (name == msg::wininsertmenu) {
    g->tray.addmenuitem(qs(m.getstring(0)), qs(m.getstring(1)), m.getbool(2));
    return true;
  }
  if (name == msg::winremovemenugroup) {
    g->tray.removemenugroup(qs(m.getstring(0)));
    return true;
  }
  if (name == msg::winalwaysontop) {
    if (window) window->settopmost(m.getbool(0));
    return true;
  }
  if (name == msg::winshow) {
    if (window) {
      if (m.getbool(0))
        window->showrestore();
      else
        window->hide();
    }
    return true;
  }
  if (name == msg::wintoggle) {
    if (window) window->togglewindow();
    return true;
  }
  if (name == msg::winnotification) {
    g->tray.balloon(qs(m.getstring(1)), qs(m.getstring(0)), niif_user, 10);
    return true;
  }
  if (name == msg::winrunupdate) {
    runupdate(m.getstring(0));
    return true;
  }
  if (name == msg::winclearcookies) {
    desktop.clearcookies();
    return true;
  }
  if (name == msg::winonevent) {
    if (g->lua) onpageevent(g->lua, m.getstring(0));
    return true;
  }
  if (name == msg::winauth) {
    desktop.openurl(m.getstring(0));
    return true;
  }
  if (name == msg::wincopy) {
    desktop.setclipboardtext(m.getstring(0));
    return true;
  }
  return false;
}

#pragma once

#include <QString>
#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "app/trayicon.h"
#include "automation/scripthost.h"
#include "plugins/pluginregistry.h"
#include "update/relaunch.h"

class browserapp;
class windowcontrol;

// The one application object of the program, reached through
// appglobals::current(). Written only on the UI thread; other threads read.
class appglobals {
 public:
  // Path of the icon shown in the tray (a resource path by default).
  QString icon = QStringLiteral(":/app/orvalink.png");
  // Full path of the running executable.
  std::string instance;
  // Caption of the main window, at most 99 UTF-16 units.
  QString title = QStringLiteral("orvalink Desktop for Windows");
  // Class part of the main window's X11 WM_CLASS.
  QString windowclass = QStringLiteral("CEFCLIENT");
  trayicon tray;
  std::shared_ptr<browserapp> app;
  bool browsercreated = false;
  bool browserclosing = false;
  // The installer to start after shutdown; empty: no update pending.
  pendingupdate update;
  // Browser storage, downloads, plugin files and installers live here.
  std::string datadir;
  // Plugins by key. Released with the state: a plugin whose worker is still
  // busy then is left to the end of the process.
  pluginregistry plugins;
  windowcontrol *mainwindow = nullptr;
  // The script state; closed by the shutdown before the state is released.
  scriptstate lua;
  std::chrono::steady_clock::time_point lastactivity = std::chrono::steady_clock::now();
  // The service's web origin (scheme, host, port; no trailing slash): the
  // build's value unless overridden on the command line.
  std::string serviceorigin;

  appglobals();
  ~appglobals();
  appglobals(const appglobals &) = delete;
  appglobals &operator=(const appglobals &) = delete;

  // The live instance, or null before creation and after destruction.
  static appglobals *current();
};

#pragma once

#include <lua.hpp>
#include <memory>
#include <string>
#include <string_view>

#include "automation/automationstate.h"
#include "platform/desktopplatform.h"

// The one Lua state of the program: standard libraries plus the global
// table `qx` (the automation functions and the key and show constants, the
// constants as floats). Scripts drive the given desktop and reach the
// program through `services`; without a desktop, the functions give their
// empty answers. `package.loadlib` also opens the running executable, whose
// exported entry points (the JSON module's luaopen_cjson and
// luaopen_cjson_safe) it then finds.
lua_State *newscriptstate(std::unique_ptr<desktopplatform> desktop, automationservices services = {});

// Closes a script state, and with it the desktop backend it holds (hotkey
// grabs, X connections).
struct scriptstateclose {
  void operator()(lua_State *L) const { lua_close(L); }
};
// A script state and its owner.
using scriptstate = std::unique_ptr<lua_State, scriptstateclose>;

// What settings.lua chose, for the program to apply.
struct scriptsettings {
  // The script state; the caller owns it and ends it with lua_close.
  lua_State *lua = nullptr;
  // `qxmode` picks the data directory (see datadirectory).
  std::string datadir;
  // `icon`: the tray icon's file; empty when not set.
  std::string icon;
  // `title`: the window title (UTF-8, at most 99 UTF-16 units); empty when
  // not set.
  std::string title;
};

// Start-up: creates the state, points `require` at exactly `settingsdir`
// ("<dir>/?.lua") and runs `settingsdir + settingsname`. Errors go to a
// balloon titled "Error in settings".
scriptsettings initscripting(const std::string &settingsdir, const std::string &settingsname,
                             std::unique_ptr<desktopplatform> desktop, automationservices services = {});

// Runs require('automation') in the state; an error goes to a balloon
// titled "Error in settings".
void loadautomation(lua_State *L);

// A global as UTF-8 text (a number converted); empty for anything else.
std::string readglobalstring(lua_State *L, const char *name);

// A hotkey with this identifier was pressed: releases its keys and runs its
// function; an error shows an "Automation error" balloon. Unknown
// identifiers are ignored.
void onhotkey(lua_State *L, int identifier);

// The page sent an event (JSON text): the callback set with qx.onevent gets
// it decoded. Text that is not JSON is dropped with a debug output line.
void onpageevent(lua_State *L, std::string_view jsontext);

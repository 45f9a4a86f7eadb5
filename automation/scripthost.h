#pragma once

#include <lua.hpp>
#include <memory>
#include <string>
#include <string_view>

#include "platform/desktopplatform.h"

// The one Lua state of the program: standard libraries plus the global
// table `qx` (the automation functions and the key and show constants, the
// constants as floats). Scripts drive the given desktop; without one, the
// functions give their empty answers. `package.loadlib` also opens the
// running executable, whose exported entry points (the JSON module's
// luaopen_cjson and luaopen_cjson_safe) it then finds.
lua_State *newscriptstate(std::unique_ptr<desktopplatform> desktop);

// Start-up: creates the state, points `require` at exactly `settingsdir`
// ("<dir>/?.lua"), runs `settingsdir + settingsname` and applies its globals
// to appglobals: `qxmode` picks the data directory, `icon` the tray icon's
// file and `title` the window title (UTF-8, at most 99 UTF-16 units). Errors
// go to a tray balloon titled "Error in settings". Stores the state in
// appglobals::lua and returns it.
lua_State *initscripting(const std::string &settingsdir, const std::string &settingsname,
                         std::unique_ptr<desktopplatform> desktop);

// Runs require('automation') in appglobals' state; an error goes to a tray
// balloon titled "Error in settings".
void loadautomation();

// A global as UTF-8 text (a number converted); empty for anything else.
std::string readglobalstring(lua_State *L, const char *name);

// A hotkey with this identifier was pressed: releases its keys and runs its
// function; an error shows an "Automation error" balloon. Unknown
// identifiers are ignored.
void onhotkey(lua_State *L, int identifier);

// The page sent an event (JSON text): the callback set with qx.onevent gets
// it decoded. Text that is not JSON is dropped with a debug output line.
void onpageevent(lua_State *L, std::string_view jsontext);

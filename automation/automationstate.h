#pragma once

#include <lua.hpp>
#include <memory>
#include <vector>

#include "automation/inputplan.h"
#include "platform/desktopplatform.h"

// A hotkey a script registered: its identifier is its position + 1.
struct hotkeyentry {
  hotkeyspec key;
  int callback = LUA_NOREF;  // registry reference to the function
};

// What the automation library keeps for one script state: the desktop it
// drives, the hotkey list (entries are never removed) and the page event
// callback. Lives in the state's registry and ends with lua_close.
struct automationstate {
  std::unique_ptr<desktopplatform> platform;
  std::vector<hotkeyentry> hotkeys;
  int eventcallback = LUA_REFNIL;
  // Registry reference to the JSON decoder used for page events.
  int jsondecode = LUA_NOREF;
};

// Creates the state's automationstate; call once on a new state.
automationstate &installautomationstate(lua_State *L, std::unique_ptr<desktopplatform> platform);
// The state's automationstate, or null when none was installed.
automationstate *automationof(lua_State *L);

// Shortcuts to the parts of the desktop; null when absent.
desktopwindows *windowsof(lua_State *L);
keyboardmouse *inputof(lua_State *L);
focusedtext *focusedtextof(lua_State *L);
clipboardtext *clipboardof(lua_State *L);
hotkeyservice *hotkeysof(lua_State *L);

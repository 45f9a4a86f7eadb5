#pragma once

#include <functional>
#include <lua.hpp>
#include <memory>
#include <vector>

#include "automation/inputplan.h"
#include "platform/balloons.h"
#include "platform/desktopplatform.h"
#include "protocol/pagemessage.h"

// What scripts reach in the program besides the desktop. An empty member
// drops what would go to it.
struct automationservices {
  // qx.dial and qx.hangup.
  pagesink page;
  // qx.alert, and the "Automation error" and "Error in settings" notices.
  balloonsink balloons;
  // qx.showhide without a window: shows or hides the program's main window.
  std::function<void()> togglemainwindow;
};

// A hotkey a script registered: its identifier is its position + 1.
struct hotkeyentry {
  hotkeyspec key;
  int callback = LUA_NOREF;  // registry reference to the function
};

// What the automation library keeps for one script state: the desktop it
// drives, the program's services, the hotkey list (entries are never
// removed) and the page event callback. Lives in the state's registry and
// ends with lua_close.
struct automationstate {
  std::unique_ptr<desktopplatform> platform;
  automationservices services;
  std::vector<hotkeyentry> hotkeys;
  int eventcallback = LUA_REFNIL;
  // Registry reference to the JSON decoder used for page events.
  int jsondecode = LUA_NOREF;
};

// Creates the state's automationstate; call once on a new state.
automationstate &installautomationstate(lua_State *L, std::unique_ptr<desktopplatform> platform,
                                        automationservices services = {});
// The state's automationstate, or null when none was installed.
automationstate *automationof(lua_State *L);

// Shortcuts to the parts of the desktop; null when absent.
desktopwindows *windowsof(lua_State *L);
keyboardmouse *inputof(lua_State *L);
focusedtext *focusedtextof(lua_State *L);
clipboardtext *clipboardof(lua_State *L);
hotkeyservice *hotkeysof(lua_State *L);

// Hands a request to the state's services; dropped when there is no sink.
void tellpage(lua_State *L, pagemessage m);
void showballoon(lua_State *L, const balloonrequest &request);

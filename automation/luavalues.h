#pragma once

#include <lua.hpp>
#include <optional>
#include <string>

#include "platform/desktopwindows.h"

// Script-side values of the automation functions.

// A window handle value: a new 8-byte full userdata with one user value and
// no metatable holding the window id (0 for no window).
void pushwindow(lua_State *L, windowid w);
// The id in a window handle value; nothing for any other value (including
// other userdata, told apart by size and metatable).
std::optional<windowid> towindow(lua_State *L, int index);

// A point table: fields x and y read by ordinary indexing (missing or
// non-numeric reads as 0) and truncated; nothing when the value is no table.
std::optional<screenpoint> topoint(lua_State *L, int index);
// A new table with float fields x and y.
void pushpoint(lua_State *L, screenpoint p);
// A new table with float fields bottom, left, right and top.
void pushrect(lua_State *L, const screenrect &r);

// A required number argument, truncated toward zero.
int checkint(lua_State *L, int arg);
// An optional number argument (0 when absent or not a number), truncated.
int optint(lua_State *L, int arg);
// A string or number argument as text; nothing for anything else.
std::optional<std::string> totext(lua_State *L, int index);
// The text of an error value for a notice.
std::string errortext(lua_State *L, int index);

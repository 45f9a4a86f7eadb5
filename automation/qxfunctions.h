#pragma once

#include <lua.hpp>

// Each adds its group of automation functions to the table on top of the
// stack (all are C functions without upvalues).
void addwindowfunctions(lua_State *L);
void addtextfunctions(lua_State *L);
void addinputfunctions(lua_State *L);

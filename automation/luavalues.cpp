#include "automation/luavalues.h"

#include <cstring>

#include "automation/inputplan.h"
#include "automation/textlimits.h"

void pushwindow(lua_State *L, windowid w) {
  void *p = lua_newuserdatauv(L, sizeof(windowid), 1);
  std::memcpy(p, &w, sizeof w);
}

std::optional<windowid> towindow(lua_State *L, int index) {
  if (lua_type(L, index) != LUA_TUSERDATA || lua_rawlen(L, index) != sizeof(windowid)) return std::nullopt;
  if (lua_getmetatable(L, index)) {
    lua_pop(L, 1);
    return std::nullopt;
  }
  windowid w = 0;
  std::memcpy(&w, lua_touserdata(L, index), sizeof w);
  return w;
}

namespace {
int intfield(lua_State *L, int table, const char *name) {
  lua_getfield(L, table, name);
  int isnum = 0;
  const lua_Number n = lua_tonumberx(L, -1, &isnum);
  lua_pop(L, 1);
  return isnum ? truncatetoint(n) : 0;
}
}  // namespace

std::optional<screenpoint> topoint(lua_State *L, int index) {
  if (!lua_istable(L, index)) return std::nullopt;
  index = lua_absindex(L, index);
  return screenpoint{intfield(L, index, "x"), intfield(L, index, "y")};
}

void pushpoint(lua_State *L, screenpoint p) {
  lua_createtable(L, 0, 2);
  lua_pushnumber(L, p.x);
  lua_setfield(L, -2, "x");
  lua_pushnumber(L, p.y);
  lua_setfield(L, -2, "y");
}

void pushrect(lua_State *L, const screenrect &r) {
  lua_createtable(L, 0, 4);
  lua_pushnumber(L, r.bottom);
  lua_setfield(L, -2, "bottom");
  lua_pushnumber(L, r.left);
  lua_setfield(L, -2, "left");
  lua_pushnumber(L, r.right);
  lua_setfield(L, -2, "right");
  lua_pushnumber(L, r.top);
  lua_setfield(L, -2, "top");
}

int checkint(lua_State *L, int arg) { return truncatetoint(luaL_checknumber(L, arg)); }

int optint(lua_State *L, int arg) {
  int isnum = 0;
  const lua_Number n = lua_tonumberx(L, arg, &isnum);
  return isnum ? truncatetoint(n) : 0;
}

std::optional<std::string> totext(lua_State *L, int index) {
  const int t = lua_type(L, index);
  if (t != LUA_TSTRING && t != LUA_TNUMBER) return std::nullopt;
  std::size_t n = 0;
  const char *s = lua_tolstring(L, index, &n);
  return std::string(s, n);
}

std::string errortext(lua_State *L, int index) {
  const auto text = totext(L, index);
  return describeerror(text.value_or(""), text.has_value(), luaL_typename(L, index));
}

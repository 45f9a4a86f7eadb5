// The window functions of the qx table: finding, reading and showing windows.
#include <sys/syscall.h>
#include <unistd.h>

#include "automation/automationstate.h"
#include "automation/luavalues.h"
#include "automation/qxfunctions.h"
#include "automation/showplan.h"
#include "automation/textlimits.h"

namespace {
// A window handle value holding a window (not 0), or nothing.
std::optional<windowid> realwindow(lua_State *L, int index) {
  const auto w = towindow(L, index);
  if (!w || *w == 0) return std::nullopt;
  return w;
}

windowid activewindow(lua_State *L) {
  desktopwindows *d = windowsof(L);
  return d ? d->activewindow() : 0;
}

int getactivewindow(lua_State *L) {
  pushwindow(L, activewindow(L));
  return 1;
}

int getfocus(lua_State *L) {
  desktopwindows *d = windowsof(L);
  pushwindow(L, d ? d->focuswindow() : 0);
  return 1;
}

int setfocus(lua_State *L) {
  desktopwindows *d = windowsof(L);
  const auto w = realwindow(L, 1);
  const windowid previous = (d && w) ? d->setfocus(*w) : 0;
  if (previous == 0) return 0;
  pushwindow(L, previous);
  return 1;
}

int windowfrompoint(lua_State *L) {
  desktopwindows *d = windowsof(L);
  const auto cursor = d ? d->cursorpos() : std::nullopt;
  if (!cursor) return 0;
  pushwindow(L, d->windowat(*cursor));
  return 1;
}

int childwindowfrompoint(lua_State *L) {
  desktopwindows *d = windowsof(L);
  const auto parent = realwindow(L, 1);
  if (!d || !parent) return 0;
  const auto cursor = d->cursorpos();
  if (!cursor) return 0;
  const auto local = d->translate(0, *parent, *cursor);
  if (!local) return 0;
  pushwindow(L, d->childat(*parent, *local));
  return 1;
}

int findwindow(lua_State *L) {
  if (lua_type(L, 1) != LUA_TUSERDATA) return 0;
  desktopwindows *d = windowsof(L);
  const auto parent = towindow(L, 1);
  if (!d || !parent) return 0;
  const windowid found = d->findchild(*parent, totext(L, 2), totext(L, 3));
  if (found == 0) return 0;
  pushwindow(L, found);
  return 1;
}

int enumchildwindows(lua_State *L) {
  desktopwindows *d = windowsof(L);
  const auto w = realwindow(L, 1);
  lua_newtable(L);
  if (!d || !w) return 1;
  lua_Integer key = 0;
  for (const windowid child : d->descendants(*w)) {
    pushwindow(L, child);
    lua_rawseti(L, -2, key++);
  }
  return 1;
}

int getclassname(lua_State *L) {
  desktopwindows *d = windowsof(L);
  const auto w = realwindow(L, 1);
  const std::string name = (d && w) ? cututf16(d->classname(*w), 1023) : std::string();
  lua_pushlstring(L, name.data(), name.size());
  return 1;
}

int getwindowtext(lua_State *L) {
  const auto w = towindow(L, 1);
  if (!w) return 0;
  desktopwindows *d = windowsof(L);
  const std::string text = (d && *w) ? cututf16(d->title(*w), 254) : std::string();
  lua_pushlstring(L, text.data(), text.size());
  return 1;
}

int getwindowrect(lua_State *L) {
  desktopwindows *d = windowsof(L);
  const auto w = realwindow(L, 1);
  const auto r = (d && w) ? d->rect(*w) : std::nullopt;
  if (!r) return 0;
  pushrect(L, *r);
  return 1;
}

// Linux has no per-window thread: a window's process id is also the id of
// that process's main thread, which is the one that runs its windows.
int getwindowthreadprocessid(lua_State *L) {
  desktopwindows *d = windowsof(L);
  const auto w = realwindow(L, 1);
  const lua_Integer pid = (d && w) ? d->processid(*w) : 0;
  lua_pushinteger(L, pid);
  lua_pushinteger(L, pid);
  return 2;
}

int getcurrentthreadid(lua_State *L) {
  lua_pushinteger(L, static_cast<lua_Integer>(syscall(SYS_gettid)));
  return 1;
}

// Input queues are not shared between threads here: accepted and ignored.
int attachthreadinput(lua_State *L) {
  luaL_checknumber(L, 1);
  luaL_checknumber(L, 2);
  luaL_checknumber(L, 3);
  return 0;
}

int showwindow(lua_State *L) {
  const int command = checkint(L, 2);
  desktopwindows *d = windowsof(L);
  const auto w = realwindow(L, 1);
  const auto plan = showplan(command);
  const bool wasvisible = d && w && plan && d->show(*w, *plan);
  lua_pushinteger(L, wasvisible ? 1 : 0);
  return 1;
}

int showhide(lua_State *L) {
  desktopwindows *d = windowsof(L);
  const auto w = realwindow(L, 1);
  if (d && w && d->iswindow(*w)) {
    if (d->isvisible(*w)) {
      d->show(*w, *showplan(0));
    } else {
      d->show(*w, *showplan(9));
      d->setforeground(*w);
    }
    return 0;
  }
  automationstate *s = automationof(L);
  if (s && s->services.togglemainwindow) s->services.togglemainwindow();
  return 0;
}

// Window properties are not enumerated here; the call is accepted.
int enumpropsex(lua_State *) { return 0; }

const luaL_Reg functions[] = {
    {"getactivewindow", getactivewindow},
    {"getforegroundwindow", getactivewindow},
    {"getfocus", getfocus},
    {"setfocus", setfocus},
    {"windowfrompoint", windowfrompoint},
    {"childwindowfrompoint", childwindowfrompoint},
    {"findwindow", findwindow},
    {"enumchildwindows", enumchildwindows},
    {"getclassname", getclassname},
    {"getwindowtext", getwindowtext},
    {"getwindowrect", getwindowrect},
    {"getwindowthreadprocessid", getwindowthreadprocessid},
    {"getcurrentthreadid", getcurrentthreadid},
    {"attachthreadinput", attachthreadinput},
    {"showwindow", showwindow},
    {"showhide", showhide},
    {"enumpropsex", enumpropsex},
    {nullptr, nullptr},
};
}  // namespace

void addwindowfunctions(lua_State *L) { luaL_setfuncs(L, functions, 0); }

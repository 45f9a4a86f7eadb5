// The qx functions for keyboard and mouse input, hotkeys and page events,
// and their dispatch from the program.
#include <algorithm>

#include "automation/automationstate.h"
#include "automation/inputplan.h"
#include "automation/luavalues.h"
#include "automation/qxfunctions.h"
#include "automation/scripthost.h"
#include "common/debuglog.h"

extern "C" int luaopen_cjson_safe(lua_State *L);

namespace {
void sendkeys(lua_State *L, const std::vector<keyevent> &keys) {
  keyboardmouse *input = inputof(L);
  if (!input) return;
  for (const keyevent &k : keys) input->key(k.virtualkey, k.down);
}

int sendstring(lua_State *L) {
  std::size_t n = 0;
  const char *text = luaL_checklstring(L, 1, &n);
  sendkeys(L, expandsendstring({text, n}));
  return 0;
}

// The pointer goes to the given pixel, kept on the screen.
void click(keyboardmouse &input, int code, screenpoint p) {
  if (const auto size = input.screensize(); size && size->x > 0 && size->y > 0) {
    p.x = std::clamp(p.x, 0, size->x - 1);
    p.y = std::clamp(p.y, 0, size->y - 1);
  }
  input.movepointer(p);
  if (const int button = pointerbutton(code)) {
    input.button(button, true);
    input.button(button, false);
  }
}

int sendinput(lua_State *L) {
  const int code = checkint(L, 1) & 0xFFFF;
  const int type = checkint(L, 2);
  if (type == 1) {
    const int value = checkint(L, 3);
    sendkeys(L, keyboardinput(code, value));
  } else if (type == 0) {
    const auto p = topoint(L, 3);
    keyboardmouse *input = inputof(L);
    if (p && input) click(*input, code, *p);
  }
  return 0;
}

// The function of qx.registerhotkey: the last argument, or the second when
// a description text follows it. 0 when there is none.
int hotkeyfunction(lua_State *L) {
  const int top = lua_gettop(L);
  if (top >= 2 && lua_isfunction(L, top)) return top;
  if (top == 3 && lua_isfunction(L, 2) && lua_type(L, 3) == LUA_TSTRING) return 2;
  return 0;
}

int registerhotkey(lua_State *L) {
  std::size_t n = 0;
  const char *text = luaL_checklstring(L, 1, &n);
  automationstate *s = automationof(L);
  const int function = hotkeyfunction(L);
  if (!s || !function) return 0;
  const auto spec = parsehotkey({text, n});
  if (!spec) return 0;
  hotkeyrequest request{0, spec->virtualkey, spec->modifiers(), std::string(text, n), std::string(text, n)};
  if (function == 2) {
    std::size_t length = 0;
    const char *description = lua_tolstring(L, 3, &length);
    if (length) request.description.assign(description, length);
  }
  lua_pushvalue(L, function);
  const int ref = luaL_ref(L, LUA_REGISTRYINDEX);
  s->hotkeys.push_back({*spec, ref});
  request.identifier = static_cast<int>(s->hotkeys.size());
  if (hotkeyservice *h = hotkeysof(L); !h || !h->grab(request))
    debugout("hotkey " + std::to_string(request.identifier) + " (" + request.text + ") was refused");
  return 0;
}

int onevent(lua_State *L) {
  automationstate *s = automationof(L);
  if (!s) return 0;
  luaL_unref(L, LUA_REGISTRYINDEX, s->eventcallback);
  s->eventcallback = LUA_REFNIL;
  if (lua_gettop(L) > 0 && lua_isfunction(L, -1)) s->eventcallback = luaL_ref(L, LUA_REGISTRYINDEX);
  return 0;
}

// Pushes the JSON module's decoder (default settings, answering nil and a
// message for text that is not JSON); false when it cannot be opened.
bool pushdecoder(lua_State *L, automationstate &s) {
  if (s.jsondecode == LUA_NOREF) {
    lua_pushcfunction(L, luaopen_cjson_safe);
    if (lua_pcall(L, 0, 1, 0) != LUA_OK || !lua_istable(L, -1)) {
      lua_pop(L, 1);
      return false;
    }
    lua_getfield(L, -1, "decode");
    s.jsondecode = luaL_ref(L, LUA_REGISTRYINDEX);
    lua_pop(L, 1);
  }
  lua_rawgeti(L, LUA_REGISTRYINDEX, s.jsondecode);
  return true;
}

const luaL_Reg functions[] = {
    {"sendstring", sendstring}, {"sendinput", sendinput}, {"registerhotkey", registerhotkey},
    {"onevent", onevent},       {nullptr, nullptr},
};
}  // namespace

void addinputfunctions(lua_State *L) { luaL_setfuncs(L, functions, 0); }

void onhotkey(lua_State *L, int identifier) {
  automationstate *s = L ? automationof(L) : nullptr;
  if (!s || identifier <= 0 || static_cast<std::size_t>(identifier) > s->hotkeys.size()) return;
  const hotkeyentry entry = s->hotkeys[static_cast<std::size_t>(identifier) - 1];
  sendkeys(L, hotkeyreleases(entry.key));
  const int top = lua_gettop(L);
  lua_rawgeti(L, LUA_REGISTRYINDEX, entry.callback);
  if (lua_pcall(L, 0, 0, 0) != LUA_OK) showballoon(L, {"Automation error", errortext(L, -1)});
  lua_settop(L, top);
}

void onpageevent(lua_State *L, std::string_view jsontext) {
  automationstate *s = L ? automationof(L) : nullptr;
  if (!s || s->eventcallback == LUA_REFNIL || s->eventcallback == LUA_NOREF) return;
  const int top = lua_gettop(L);
  if (!pushdecoder(L, *s)) {
    debugout("page event dropped: the JSON decoder cannot be opened");
    return;
  }
  lua_pushlstring(L, jsontext.data(), jsontext.size());
  if (lua_pcall(L, 1, 2, 0) != LUA_OK || lua_isnil(L, -2)) {
    debugout("page event dropped, not valid JSON: " + errortext(L, -1));
    lua_settop(L, top);
    return;
  }
  lua_pop(L, 1);
  lua_rawgeti(L, LUA_REGISTRYINDEX, s->eventcallback);
  lua_insert(L, -2);
  if (lua_pcall(L, 1, 0, 0) != LUA_OK) debugout("page event callback failed: " + errortext(L, -1));
  lua_settop(L, top);
}

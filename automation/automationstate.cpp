#include "automation/automationstate.h"

#include <new>

namespace {
constexpr const char *registrykey = "orvalink.automation";

int finalise(lua_State *L) {
  auto *s = static_cast<automationstate *>(lua_touserdata(L, 1));
  if (s) s->~automationstate();
  return 0;
}
}  // namespace

automationstate &installautomationstate(lua_State *L, std::unique_ptr<desktopplatform> platform,
                                        automationservices services) {
  if (!platform) platform = std::make_unique<desktopplatform>();
  void *memory = lua_newuserdatauv(L, sizeof(automationstate), 0);
  // Built inside the userdata: the state's collector ends it (finalise).
  auto *s = new (memory) automationstate{};
  s->platform = std::move(platform);
  s->services = std::move(services);
  lua_createtable(L, 0, 1);
  lua_pushcfunction(L, finalise);
  lua_setfield(L, -2, "__gc");
  lua_setmetatable(L, -2);
  lua_setfield(L, LUA_REGISTRYINDEX, registrykey);
  return *s;
}

automationstate *automationof(lua_State *L) {
  lua_getfield(L, LUA_REGISTRYINDEX, registrykey);
  auto *s = static_cast<automationstate *>(lua_touserdata(L, -1));
  lua_pop(L, 1);
  return s;
}

desktopwindows *windowsof(lua_State *L) {
  automationstate *s = automationof(L);
  return s ? s->platform->windows.get() : nullptr;
}

keyboardmouse *inputof(lua_State *L) {
  automationstate *s = automationof(L);
  return s ? s->platform->input.get() : nullptr;
}

focusedtext *focusedtextof(lua_State *L) {
  automationstate *s = automationof(L);
  return s ? s->platform->text.get() : nullptr;
}

clipboardtext *clipboardof(lua_State *L) {
  automationstate *s = automationof(L);
  return s ? s->platform->clipboard.get() : nullptr;
}

hotkeyservice *hotkeysof(lua_State *L) {
  automationstate *s = automationof(L);
  return s ? s->platform->hotkeys.get() : nullptr;
}

void tellpage(lua_State *L, pagemessage m) {
  automationstate *s = automationof(L);
  if (s && s->services.page) s->services.page(std::move(m));
}

void showballoon(lua_State *L, const balloonrequest &request) {
  automationstate *s = automationof(L);
  if (s && s->services.balloons) s->services.balloons(request);
}

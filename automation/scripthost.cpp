#include "automation/scripthost.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cmath>

#include "automation/automationstate.h"
#include "automation/keytables.h"
#include "automation/luavalues.h"
#include "automation/qxfunctions.h"
#include "automation/textlimits.h"
#include "common/paths.h"

namespace {
// Whether a path names the running executable (the same file, whatever the
// spelling of the path).
bool namesthisprogram(const char *path) {
  struct stat given {};
  struct stat self {};
  return stat(path, &given) == 0 && stat("/proc/self/exe", &self) == 0 && given.st_dev == self.st_dev &&
         given.st_ino == self.st_ino;
}

// package.loadlib for the one C code scripts may load: what the executable
// itself exports (the JSON module). The dynamic loader refuses to load a
// program file a second time, so the symbols are looked up in the already
// running image. Any other library is refused: scripts run no C code but
// the program's own.
int loadlib(lua_State *L) {
  const char *path = luaL_checkstring(L, 1);
  const char *init = luaL_checkstring(L, 2);
  if (!namesthisprogram(path)) {
    lua_pushnil(L);
    lua_pushfstring(L, "%s: only the program itself can be loaded", path);
    lua_pushliteral(L, "open");
    return 3;
  }
  if (init[0] == '*' && init[1] == '\0') {
    lua_pushboolean(L, 1);
    return 1;
  }
  void *self = dlopen(nullptr, RTLD_NOW);
  void *symbol = self ? dlsym(self, init) : nullptr;
  if (self) dlclose(self);
  // The search also reaches the shared libraries the program uses: keep
  // only what the executable itself exports.
  Dl_info found{}, program{};
  if (symbol && (!dladdr(symbol, &found) || !dladdr(reinterpret_cast<void *>(&loadlib), &program) ||
                 found.dli_fbase != program.dli_fbase))
    symbol = nullptr;
  if (!symbol) {
    lua_pushnil(L);
    lua_pushfstring(L, "%s: undefined symbol: %s", path, init);
    lua_pushliteral(L, "init");
    return 3;
  }
  lua_pushcfunction(L, reinterpret_cast<lua_CFunction>(symbol));
  return 1;
}

// require finds no C module anywhere: not even ./automation.so when
// automation.lua is missing. package.cpath is empty, and the searchers that
// would use it (the third and fourth) are gone, whatever a script sets it
// to. package.loadlib opens only the executable.
void limitccode(lua_State *L) {
  lua_getglobal(L, "package");
  lua_pushliteral(L, "");
  lua_setfield(L, -2, "cpath");
  lua_getfield(L, -1, "searchers");
  lua_pushnil(L);
  lua_rawseti(L, -2, 4);
  lua_pushnil(L);
  lua_rawseti(L, -2, 3);
  lua_pop(L, 1);
  lua_pushcfunction(L, loadlib);
  lua_setfield(L, -2, "loadlib");
  lua_pop(L, 1);
}

void addconstants(lua_State *L, std::span<const namedconstant> table) {
  for (const namedconstant &c : table) {
    lua_pushnumber(L, static_cast<lua_Number>(c.value));
    lua_setfield(L, -2, std::string(c.name).c_str());
  }
}

void settingsnotice(lua_State *L) {
  const std::string text = cututf8(errortext(L, -1), 255);
  lua_pop(L, 1);
  showballoon(L, {"Error in settings", text});
}

// qxmode as a number truncated toward zero; anything that is no number is 0.
long long readqxmode(lua_State *L) {
  lua_getglobal(L, "qxmode");
  int isnum = 0;
  const lua_Number n = lua_tonumberx(L, -1, &isnum);
  lua_pop(L, 1);
  if (!isnum || std::isnan(n)) return 0;
  if (std::fabs(n) >= 9.2e18) return n < 0 ? -1 : 1;
  return static_cast<long long>(n);
}
}  // namespace

lua_State *newscriptstate(std::unique_ptr<desktopplatform> desktop, automationservices services) {
  lua_State *L = luaL_newstate();
  luaL_openlibs(L);
  limitccode(L);
  automationstate &state = installautomationstate(L, std::move(desktop), std::move(services));
  if (state.platform->hotkeys) state.platform->hotkeys->setlistener([L](int id) { onhotkey(L, id); });
  lua_newtable(L);
  addwindowfunctions(L);
  addtextfunctions(L);
  addinputfunctions(L);
  addconstants(L, virtualkeys());
  addconstants(L, otherconstants());
  lua_setglobal(L, "qx");
  return L;
}

scriptsettings initscripting(const std::string &settingsdir, const std::string &settingsname,
                             std::unique_ptr<desktopplatform> desktop, automationservices services) {
  lua_State *L = newscriptstate(std::move(desktop), std::move(services));
  lua_getglobal(L, "package");
  const std::string path = settingsdir + "?.lua";
  lua_pushlstring(L, path.data(), path.size());
  lua_setfield(L, -2, "path");
  lua_pop(L, 1);

  const std::string file = settingsdir + settingsname;
  if (luaL_loadfilex(L, file.c_str(), nullptr) != LUA_OK || lua_pcall(L, 0, 0, 0) != LUA_OK) settingsnotice(L);

  scriptsettings settings;
  settings.lua = L;
  settings.datadir = datadirectory(readqxmode(L));
  settings.icon = readglobalstring(L, "icon");
  settings.title = cututf16(readglobalstring(L, "title"), 99);
  return settings;
}

void loadautomation(lua_State *L) {
  if (!L) return;
  const int top = lua_gettop(L);
  if (luaL_loadstring(L, "require('automation')") != LUA_OK || lua_pcall(L, 0, LUA_MULTRET, 0) != LUA_OK)
    settingsnotice(L);
  lua_settop(L, top);
}

std::string readglobalstring(lua_State *L, const char *name) {
  lua_getglobal(L, name);
  std::string value = totext(L, -1).value_or("");
  lua_pop(L, 1);
  return value;
}

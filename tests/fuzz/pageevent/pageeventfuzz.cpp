// Feeds arbitrary text, as a page event the page sent, through the JSON
// decoding into a script's event callback, on a fresh script state each time.
// The callback walks whatever it gets. The state must stay balanced and
// usable; a crash or memory error aborts the run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <lua.hpp>
#include <string_view>

#include "automation/automationstate.h"
#include "automation/qxfunctions.h"
#include "automation/scripthost.h"

namespace {
void require(bool condition) {
  if (!condition) std::abort();
}

// Counts the decoded value's parts, stepping into tables (cycles cannot
// occur in decoded JSON, but the depth is bounded anyway).
constexpr const char *script = R"(
  events, parts = 0, 0
  local function walk(v, depth)
    parts = parts + 1
    if type(v) == 'table' and depth < 200 then
      for k, x in pairs(v) do walk(k, depth + 1); walk(x, depth + 1) end
    end
  end
  qx.onevent(function(e) events = events + 1; walk(e, 0) end)
)";

lua_Integer globalinteger(lua_State *L, const char *name) {
  lua_getglobal(L, name);
  const lua_Integer n = lua_tointeger(L, -1);
  lua_pop(L, 1);
  return n;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  lua_State *L = luaL_newstate();
  luaL_openlibs(L);
  installautomationstate(L, nullptr);
  lua_newtable(L);
  addinputfunctions(L);
  lua_setglobal(L, "qx");
  require(luaL_dostring(L, script) == LUA_OK);

  const int top = lua_gettop(L);
  const std::string_view text(reinterpret_cast<const char *>(data), size);
  onpageevent(L, text);
  require(lua_gettop(L) == top);
  // A second event of the same text is handled the same way.
  const lua_Integer first = globalinteger(L, "events");
  require(first == 0 || first == 1);
  onpageevent(L, text);
  require(lua_gettop(L) == top);
  require(globalinteger(L, "events") == 2 * first);
  require(luaL_dostring(L, "collectgarbage()") == LUA_OK);
  lua_close(L);
  return 0;
}

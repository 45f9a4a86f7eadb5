#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "automation/scripthost.h"

// The example scripts and every Lua example in the documentation compile,
// and the example settings mean what they say.
namespace {
std::string readfile(const std::string &relative) {
  std::ifstream in(std::string(ORVA_SOURCE_DIR) + "/" + relative);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The syntax error of a chunk, or "" when it compiles.
std::string compileerror(const std::string &code, const std::string &name) {
  lua_State *L = luaL_newstate();
  std::string error;
  if (luaL_loadbufferx(L, code.data(), code.size(), ("=" + name).c_str(), "t") != LUA_OK)
    error = lua_tostring(L, -1);
  lua_close(L);
  return error;
}
}  // namespace

TEST(examples, the_example_scripts_compile) {
  for (const char *file : {"examples/settings.lua", "examples/automation.lua",
                           "automation/defaults/settings.lua", "automation/defaults/automation.lua"}) {
    const std::string code = readfile(file);
    ASSERT_FALSE(code.empty()) << file;
    EXPECT_EQ(compileerror(code, file), "") << file;
  }
}

TEST(examples, every_lua_block_of_the_documentation_compiles) {
  for (const char *file : {"docs/automation.md", "docs/plugins.md", "docs/page-api.md", "README.md"}) {
    const std::string text = readfile(file);
    ASSERT_FALSE(text.empty()) << file;
    const std::regex block("```lua\n([\\s\\S]*?)```");
    int n = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), block), end; it != end; ++it, ++n) {
      EXPECT_EQ(compileerror((*it)[1].str(), std::string(file) + " block " + std::to_string(n)), "")
          << (*it)[1].str();
    }
    if (std::string(file) == "docs/automation.md") {
      EXPECT_GE(n, 10);
    }
  }
}

TEST(examples, the_example_settings_choose_a_data_directory_per_user_and_a_title) {
  lua_State *L = newscriptstate(nullptr);
  const std::string code = readfile("examples/settings.lua");
  ASSERT_EQ(luaL_loadbufferx(L, code.data(), code.size(), "=settings", "t"), LUA_OK);
  ASSERT_EQ(lua_pcall(L, 0, 0, 0), LUA_OK) << lua_tostring(L, -1);
  lua_getglobal(L, "qxmode");
  EXPECT_EQ(lua_tonumber(L, -1), 1.0);  // qx.JUSTME
  lua_pop(L, 1);
  EXPECT_EQ(readglobalstring(L, "title"), "orvalink Desktop (example settings)");
  EXPECT_EQ(readglobalstring(L, "dialhotkey"), "^+D");
  lua_close(L);
}

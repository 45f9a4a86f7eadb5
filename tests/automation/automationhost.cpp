// Runs a Lua test script in the program's real script host on the real
// desktop: initscripting with a settings directory, the main window and
// loadautomation as at start-up, then the script, with a `test` table for
// what a script cannot see by itself (balloons shown, messages sent to the
// page, the event loop).
//
// Usage: orva_automationhost <settings directory/> <test script>
// Prints "ok" and exits 0 when the script ran to its end. Without an X
// display it fails: tests/automation/run-display-tests provides one.
#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <vector>

#include "automation/luavalues.h"
#include "automation/scripthost.h"
#include "platform/desktopbackend.h"
#include "protocol/pagemessage.h"

namespace {
// What the script host reached of the program, and what settings.lua chose.
struct hostprogram {
  std::vector<balloonrequest> balloons;
  std::vector<pagemessage> sent;
  QWidget mainwindow;
  scriptsettings settings;
  std::string instance;

  automationservices services() {
    automationservices s;
    // Queued as the program's page sink queues onto the event loop.
    s.page = [this](pagemessage m) {
      QMetaObject::invokeMethod(
          QCoreApplication::instance(), [this, m = std::move(m)] { sent.push_back(m); }, Qt::QueuedConnection);
    };
    s.balloons = [this](const balloonrequest &b) {
      std::printf("balloon [%s] %s\n", b.title.c_str(), b.text.c_str());
      balloons.push_back(b);
    };
    s.togglemainwindow = [this] {
      if (mainwindow.isVisible()) {
        mainwindow.hide();
      } else {
        mainwindow.showNormal();
        mainwindow.raise();
        mainwindow.activateWindow();
      }
    };
    return s;
  }
};

hostprogram *program = nullptr;

int pump(lua_State *L) {
  const int ms = checkint(L, 1);
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return 0;
}

int balloons(lua_State *L) {
  lua_newtable(L);
  int i = 1;
  for (const balloonrequest &b : program->balloons) {
    lua_createtable(L, 0, 2);
    lua_pushlstring(L, b.title.data(), b.title.size());
    lua_setfield(L, -2, "title");
    lua_pushlstring(L, b.text.data(), b.text.size());
    lua_setfield(L, -2, "text");
    lua_rawseti(L, -2, i++);
  }
  return 1;
}

int pagemessages(lua_State *L) {
  QCoreApplication::processEvents();  // the page sink queues onto the event loop
  lua_newtable(L);
  int i = 1;
  for (const pagemessage &m : program->sent) {
    lua_newtable(L);
    lua_pushstring(L, m.name.c_str());
    lua_setfield(L, -2, "name");
    for (std::size_t a = 0; a < m.args.size(); ++a) {
      lua_pushstring(L, m.getstring(a).c_str());
      lua_rawseti(L, -2, static_cast<lua_Integer>(a + 1));
    }
    lua_rawseti(L, -2, i++);
  }
  return 1;
}

int pageevent(lua_State *L) {
  std::size_t n = 0;
  const char *text = luaL_checklstring(L, 1, &n);
  onpageevent(L, {text, n});
  return 0;
}

int mainvisible(lua_State *L) {
  lua_pushboolean(L, program->mainwindow.isVisible());
  return 1;
}

int appstring(lua_State *L) {
  const std::string which = luaL_checkstring(L, 1);
  const std::string value = which == "title"     ? program->settings.title
                            : which == "icon"    ? program->settings.icon
                            : which == "datadir" ? program->settings.datadir
                                                 : program->instance;
  lua_pushlstring(L, value.data(), value.size());
  return 1;
}

// A window handle value for a window id the test learned elsewhere (0 makes
// the null handle that stands for the desktop).
int window(lua_State *L) {
  pushwindow(L, static_cast<windowid>(luaL_checkinteger(L, 1)));
  return 1;
}

int windowid(lua_State *L) {
  const auto w = towindow(L, 1);
  if (!w) return 0;
  lua_pushinteger(L, static_cast<lua_Integer>(*w));
  return 1;
}

// A steady clock in milliseconds.
int millis(lua_State *L) {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  lua_pushinteger(L, static_cast<lua_Integer>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
  return 1;
}

int traceback(lua_State *L) {
  luaL_traceback(L, L, lua_tostring(L, 1), 1);
  return 1;
}

const luaL_Reg testfunctions[] = {
    {"pump", pump},           {"balloons", balloons},       {"pagemessages", pagemessages},
    {"pageevent", pageevent}, {"mainvisible", mainvisible}, {"app", appstring},
    {"window", window},       {"windowid", windowid},       {"millis", millis},
    {nullptr, nullptr},
};
}  // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <settings directory/> <test script>\n", argv[0]);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("DISPLAY")) {
    std::printf("FAILED: no X display (run under tests/automation/run-display-tests)\n");
    return 1;
  }
  QApplication app(argc, argv);
  hostprogram host;
  program = &host;
  host.instance = QCoreApplication::applicationFilePath().toStdString();

  const automationservices services = host.services();
  host.settings = initscripting(argv[1], "settings.lua",
                                makedesktopbackend(choosedesktop(currentsession()), services.balloons).automation,
                                services);
  lua_State *L = host.settings.lua;
  host.mainwindow.setWindowTitle(QString::fromStdString(host.settings.title));
  host.mainwindow.resize(300, 200);
  host.mainwindow.show();
  loadautomation(L);

  lua_newtable(L);
  luaL_setfuncs(L, testfunctions, 0);
  lua_setglobal(L, "test");
  lua_pushcfunction(L, traceback);
  int status = luaL_loadfile(L, argv[2]);
  if (status == LUA_OK) status = lua_pcall(L, 0, 0, -2);
  if (status != LUA_OK)
    std::printf("FAILED: %s\n", lua_tostring(L, -1));
  else
    std::printf("ok\n");
  std::fflush(stdout);
  lua_close(L);
  return status == LUA_OK ? 0 : 1;
}

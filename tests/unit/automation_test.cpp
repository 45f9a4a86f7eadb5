#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <fstream>
#include <map>

#include "automation/keytables.h"
#include "automation/scripthost.h"

// The script host and the qx library over a recording desktop: what scripts
// see (values, arguments, results) and what reaches the desktop.
namespace {
struct fakewindows : desktopwindows {
  struct window {
    windowid parent = 0;
    std::string cls, title;
    screenrect rect;
    bool visible = true;
  };
  std::map<windowid, window> windows;
  windowid active = 0;
  std::vector<std::string> log;

  windowid activewindow() override { return active; }
  windowid focuswindow() override { return active; }
  windowid setfocus(windowid w) override { return windows.count(w) ? active : 0; }
  bool iswindow(windowid w) override { return windows.count(w) > 0; }
  bool isvisible(windowid w) override { return windows.count(w) && windows[w].visible; }
  bool show(windowid w, const showrequest &r) override {
    const bool was = isvisible(w);
    windows[w].visible = r.shown != showrequest::visibility::hide;
    log.push_back("show " + std::to_string(w) + (windows[w].visible ? " visible" : " hidden"));
    return was;
  }
  void setforeground(windowid w) override { log.push_back("foreground " + std::to_string(w)); }
  windowid findchild(windowid parent, const std::optional<std::string> &cls,
                     const std::optional<std::string> &title) override {
    for (const auto &[id, w] : windows)
      if (w.parent == parent && (!cls || *cls == w.cls) && (!title || *title == w.title)) return id;
    return 0;
  }
  std::vector<windowid> descendants(windowid parent) override {
    std::vector<windowid> out;
    for (const auto &[id, w] : windows)
      if (w.parent == parent) {
        out.push_back(id);
        for (windowid d : descendants(id)) out.push_back(d);
      }
    return out;
  }
  std::string classname(windowid w) override { return windows.count(w) ? windows[w].cls : ""; }
  std::string title(windowid w) override { return windows.count(w) ? windows[w].title : ""; }
  std::optional<screenrect> rect(windowid w) override {
    if (!windows.count(w)) return std::nullopt;
    return windows[w].rect;
  }
  std::uint32_t processid(windowid w) override { return windows.count(w) ? 4242 : 0; }
  std::optional<screenpoint> cursorpos() override { return screenpoint{15, 25}; }
  void setcursorpos(screenpoint p) override {
    log.push_back("cursor " + std::to_string(p.x) + "," + std::to_string(p.y));
  }
  std::optional<screenpoint> translate(windowid from, windowid to, screenpoint p) override {
    if ((from && !windows.count(from)) || (to && !windows.count(to))) return std::nullopt;
    if (from) p = {p.x + windows[from].rect.left, p.y + windows[from].rect.top};
    if (to) p = {p.x - windows[to].rect.left, p.y - windows[to].rect.top};
    return p;
  }
  windowid windowat(screenpoint) override { return active; }
  windowid childat(windowid parent, screenpoint) override { return parent; }
};

struct fakeinput : keyboardmouse {
  std::vector<std::string> log;
  void key(int vk, bool down) override { log.push_back(std::to_string(vk) + (down ? " down" : " up")); }
  void movepointer(screenpoint p) override { log.push_back("move " + std::to_string(p.x) + "," + std::to_string(p.y)); }
  void button(int n, bool down) override { log.push_back("button " + std::to_string(n) + (down ? " down" : " up")); }
  std::optional<screenpoint> screensize() override { return screenpoint{1920, 1080}; }
};

struct fakehotkeys : hotkeyservice {
  std::function<void(int)> listener;
  std::vector<std::string> grabs;
  void setlistener(std::function<void(int)> l) override { listener = std::move(l); }
  bool grab(const hotkeyrequest &r) override {
    grabs.push_back(std::to_string(r.identifier) + ":" + std::to_string(r.virtualkey) + ":" +
                    std::to_string(r.modifiers) + ":" + r.text + ":" + r.description);
    return true;
  }
};

struct fakeclipboard : clipboardtext {
  std::string bytes;
  int reads = 0;
  std::string read() override {
    ++reads;
    return bytes;
  }
  void write(const std::string &b) override { bytes = b; }
};

struct faketext : focusedtext {
  std::optional<std::string> value = "field text";
  std::optional<std::string> text() override { return value; }
  bool settext(const std::string &s) override {
    value = s;
    return true;
  }
  std::optional<selection> selected() override { return selection{2, 5}; }
};

// What scripts asked of the program.
struct recordingprogram {
  std::vector<balloonrequest> balloons;
  std::vector<pagemessage> sent;
  int toggles = 0;
  automationservices services() {
    return {[this](pagemessage m) { sent.push_back(std::move(m)); },
            [this](const balloonrequest &b) { balloons.push_back(b); }, [this] { ++toggles; }};
  }
};

class scripts : public ::testing::Test {
 protected:
  void SetUp() override {
    auto platform = std::make_unique<desktopplatform>();
    platform->windows = std::make_unique<fakewindows>();
    platform->input = std::make_unique<fakeinput>();
    platform->hotkeys = std::make_unique<fakehotkeys>();
    platform->clipboard = std::make_unique<fakeclipboard>();
    platform->text = std::make_unique<faketext>();
    windows = static_cast<fakewindows *>(platform->windows.get());
    input = static_cast<fakeinput *>(platform->input.get());
    hotkeys = static_cast<fakehotkeys *>(platform->hotkeys.get());
    clipboard = static_cast<fakeclipboard *>(platform->clipboard.get());
    windows->windows[100] = {0, "Frame", "Top window", {10, 20, 410, 320}};
    windows->windows[101] = {100, "Button", "OK", {30, 40, 80, 60}};
    windows->windows[102] = {100, "Edit", "", {30, 70, 200, 90}};
    windows->windows[103] = {102, "Button", "OK", {35, 75, 50, 85}};
    windows->windows[200] = {0, "Long", std::string(300, 'x'), {}};
    windows->active = 100;
    L = newscriptstate(std::move(platform), program.services());
  }
  void TearDown() override { lua_close(L); }

  // Runs a chunk; a failing Lua assert fails the test with its message.
  void run(const char *code) {
    const int top = lua_gettop(L);
    if (luaL_dostring(L, code) != LUA_OK) ADD_FAILURE() << lua_tostring(L, -1);
    lua_settop(L, top);
  }

  recordingprogram program;
  lua_State *L = nullptr;
  fakewindows *windows = nullptr;
  fakeinput *input = nullptr;
  fakehotkeys *hotkeys = nullptr;
  fakeclipboard *clipboard = nullptr;
};
}  // namespace

TEST_F(scripts, qx_holds_38_functions_and_every_constant_as_a_float) {
  run(R"(
    local functions, numbers = 0, 0
    for name, v in pairs(qx) do
      if type(v) == 'function' then functions = functions + 1
      else assert(math.type(v) == 'float', name .. ' is not a float'); numbers = numbers + 1 end
    end
    assert(functions == 38, 'functions: ' .. functions)
    assert(numbers == 173 + 21, 'numbers: ' .. numbers)
    assert(tostring(qx.SW_SHOW) == '5.0')
    assert(qx.VK_11 == 122 and qx.VK_HANGUEL == 21 and qx.A == 65 and qx['0'] == 48)
    assert(qx.VK_F11 == nil)
  )");
}

TEST_F(scripts, window_handles_are_bare_8_byte_userdata) {
  run(R"(
    local w = qx.getactivewindow()
    assert(type(w) == 'userdata' and getmetatable(w) == nil)
    assert(w ~= qx.getforegroundwindow(), 'each result is a new value')
    assert(qx.getwindowtext(w) == 'Top window')
    assert(qx.getclassname(w) == 'Frame')
    local kids = qx.enumchildwindows(w)
    assert(#kids == 2 and kids[3] == nil)
    assert(qx.getclassname(kids[0]) == 'Button' and qx.getclassname(kids[1]) == 'Edit')
    assert(qx.getwindowtext(kids[2]) == 'OK', 'grandchildren follow their parent')
    assert(next(qx.enumchildwindows(42)) == nil)
    local ok = qx.findwindow(w, nil, 'OK')
    assert(qx.getclassname(ok) == 'Button')
    assert(qx.findwindow(w, 'Edit', nil) and qx.findwindow(w, 'Nope', nil) == nil)
    assert(select('#', qx.findwindow('w', nil, 'OK')) == 0)
  )");
}

TEST_F(scripts, window_functions_never_fail_on_other_values) {
  // io.stdout is a full userdata too, of another size and with a metatable.
  run(R"(
    local odd = {nil, 1, 'text', {}, io.stdout, print, true, 0/0}
    local calls = 0
    for name, f in pairs(qx) do
      if type(f) == 'function' and name ~= 'sleep' and name ~= 'waitforclipboardtext' then
        for _, a in pairs(odd) do
          for _, b in pairs(odd) do pcall(f, a, b, a); calls = calls + 1 end
        end
      end
    end
    assert(calls > 0)
    assert(qx.getwindowtext(io.stdout) == nil and qx.getwindowtext(7) == nil)
    assert(qx.getclassname(io.stdout) == '')
    assert(qx.getwindowrect({}) == nil and qx.setfocus(1) == nil)
    local pid, tid = qx.getwindowthreadprocessid(io.stdout)
    assert(pid == 0 and tid == 0)
  )");
}

TEST_F(scripts, texts_rectangles_points_and_show) {
  run(R"(
    assert(qx.getwindowtext(qx.windowfrompoint()) == 'Top window')
    assert(qx.getwindowtext(qx.childwindowfrompoint(qx.getactivewindow())) == 'Top window')
    local r = qx.getwindowrect(qx.getactivewindow())
    assert(r.left == 10 and r.top == 20 and r.right == 410 and r.bottom == 320)
    assert(math.type(r.left) == 'float')
    local p = qx.clienttoscreen(qx.getactivewindow(), {x = 5, y = 7})
    assert(p.x == 15 and p.y == 27)
    local q = qx.screentoclient(qx.getactivewindow(), {x = 15.9, y = '27'})
    assert(q.x == 5 and q.y == 7 and math.type(q.x) == 'float')
    local u = qx.clienttoscreen(nil, {x = 5, y = 7})
    assert(u.x == 5.0 and u.y == 7.0)
    assert(select('#', qx.clienttoscreen(nil, 3)) == 0)
    local m = qx.mapwindowpoints(qx.getactivewindow(), nil, {})
    assert(m.x == 10 and m.y == 20)
    local c = qx.getcursorpos()
    assert(c.x == 15 and c.y == 25)
    qx.setcursorpos({x = 3.7, y = -2.2})
    qx.setcursorpos(5)
    assert(qx.showwindow(qx.getactivewindow(), qx.SW_HIDE) == 1)
    assert(qx.showwindow(qx.getactivewindow(), qx.SW_HIDE) == 0)
    assert(qx.showwindow(qx.getactivewindow(), 99) == 0)
    qx.showhide(qx.getactivewindow())
    qx.showhide()
    assert(not pcall(qx.showwindow, qx.getactivewindow()), 'the command is required')
  )");
  EXPECT_EQ(program.toggles, 1) << "only showhide without a window toggles the main window";
  EXPECT_EQ(windows->log, (std::vector<std::string>{"cursor 3,-2", "show 100 hidden", "show 100 hidden",
                                                    "show 100 visible", "foreground 100"}));
}

TEST_F(scripts, window_text_is_cut_to_254_characters) {
  windows->active = 200;
  run("assert(qx.getwindowtext(qx.getactivewindow()) == string.rep('x', 254))");
  run("assert(qx.getcontroltext(qx.getactivewindow()) == string.rep('x', 300))");
}

TEST_F(scripts, focused_text_clipboard_and_notices) {
  run(R"(
    assert(qx.getactivecontroltext() == 'field text')
    assert(qx.getactivecontroltext(1) == 'field text')
    qx.setactivecontroltext('new')
    assert(qx.getactivecontroltext() == 'new')
    local sel = qx.getactivecontrolseltext()
    assert(sel.s == 2 and sel.e == 5 and math.type(sel.s) == 'float')
    assert(not pcall(qx.setactivecontroltext))

    assert(qx.getclipboardtext() == '')
    qx.setclipboardtext('caf\xC3\xA9\0tail')
    assert(qx.getclipboardtext() == 'caf\xC3\xA9')
    assert(qx.waitforclipboardtext(0) == 'caf\xC3\xA9')
    assert(qx.gethtmlfromieserver(qx.getactivewindow()) == nil)
    qx.attachthreadinput(1, 2, 1)
    assert(not pcall(qx.attachthreadinput, 1, 2))
    assert(math.type(qx.getcurrentthreadid()) == 'integer')
    qx.alert(string.rep('t', 70), 'Body')
    qx.dial('0123456789012345678901234')
    qx.hangup()
  )");
  EXPECT_EQ(clipboard->bytes, "caf\xC3\xA9");
  ASSERT_EQ(program.balloons.size(), 1u);
  EXPECT_EQ(program.balloons[0].text, "Body");
  EXPECT_EQ(program.balloons[0].title, std::string(64, 't'));
  EXPECT_EQ(program.balloons[0].icon, balloonicon::none);
  ASSERT_EQ(program.sent.size(), 2u);
  EXPECT_EQ(program.sent[0].name, "dial");
  EXPECT_EQ(program.sent[0].getstring(0), "01234567890123456789");
  EXPECT_EQ(program.sent[1].name, "hangup");
}

TEST_F(scripts, sendstring_and_sendinput_reach_the_desktop) {
  run(R"(
    qx.sendstring('^a')
    qx.sendinput(qx.VK_RETURN, qx.INPUT_KEYBOARD, qx.KEYEVENTF_KEYDOWNUP)
    qx.sendinput(qx.VK_LBUTTON, qx.INPUT_MOUSE, {x = 960, y = 540})
    qx.sendinput(qx.VK_RBUTTON, qx.INPUT_MOUSE, {x = 5000, y = -3})
    qx.sendinput(qx.VK_LBUTTON, qx.INPUT_MOUSE, 'not a point')
    qx.sendinput(65 + 65536, qx.INPUT_KEYBOARD, qx.KEYEVENTF_KEYUP)
    qx.sendinput(65, qx.INPUT_HARDWARE, 0)
    assert(not pcall(qx.sendinput, 65, qx.INPUT_KEYBOARD))
  )");
  EXPECT_EQ(input->log, (std::vector<std::string>{"17 down", "65 down", "65 up", "17 up", "13 down", "13 up",
                                                  "move 960,540", "button 1 down", "button 1 up", "move 1919,0",
                                                  "button 3 down", "button 3 up", "65 up"}));
}

TEST_F(scripts, hotkeys_run_their_function_and_survive_errors) {
  run(R"(
    hits = 0
    qx.registerhotkey('^!VK_F5', function() hits = hits + 1 end)
    qx.registerhotkey('VK_11', function() error('broken hotkey') end, 'Breaks')
    qx.registerhotkey('^F5', function() end)
    qx.registerhotkey('VK_F6')
    qx.registerhotkey('VK_F7', 'not a function')
  )");
  EXPECT_EQ(hotkeys->grabs, (std::vector<std::string>{"1:116:3:^!VK_F5:^!VK_F5", "2:122:0:VK_11:Breaks"}));
  ASSERT_TRUE(hotkeys->listener);
  const int top = lua_gettop(L);
  hotkeys->listener(1);
  EXPECT_EQ(input->log, (std::vector<std::string>{"116 up", "17 up", "18 up"}));
  onhotkey(L, 0);
  onhotkey(L, 3);
  hotkeys->listener(2);
  hotkeys->listener(2);
  hotkeys->listener(1);
  EXPECT_EQ(lua_gettop(L), top);
  run("assert(hits == 2, hits)");
  ASSERT_EQ(program.balloons.size(), 2u);
  EXPECT_EQ(program.balloons[0].title, "Automation error");
  EXPECT_NE(program.balloons[0].text.find("broken hotkey"), std::string::npos);
}

TEST_F(scripts, page_events_are_decoded_for_the_callback) {
  run(R"(
    events = {}
    qx.onevent(function(e) events[#events + 1] = e end)
  )");
  const int top = lua_gettop(L);
  onpageevent(L, R"({"kind":"call","n":2})");
  onpageevent(L, R"("ringing")");
  onpageevent(L, "{not json");
  onpageevent(L, "");
  EXPECT_EQ(lua_gettop(L), top);
  run(R"(
    assert(#events == 2, #events)
    assert(type(events[1]) == 'table' and events[1].kind == 'call' and events[1].n == 2)
    assert(events[2] == 'ringing')
    qx.onevent(function() error('ignored') end)
  )");
  onpageevent(L, "1");
  run("qx.onevent()");
  onpageevent(L, "2");
  EXPECT_EQ(lua_gettop(L), top);
  run("assert(#events == 2)");
  EXPECT_TRUE(program.balloons.empty()) << "a failing event callback is silent";
}

TEST_F(scripts, the_json_module_opens_from_the_executable) {
  char self[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
  lua_pushstring(L, self);
  lua_setglobal(L, "exe");
  Dl_info libc{};
  ASSERT_TRUE(dladdr(reinterpret_cast<void *>(&::getpid), &libc) && libc.dli_fname);
  lua_pushstring(L, libc.dli_fname);
  lua_setglobal(L, "libc");
  run(R"(
    local open = assert(package.loadlib(exe, 'luaopen_cjson'))
    local json = open()
    assert(json.decode('{"a":[1,2]}').a[2] == 2)
    assert(package.loadlib(exe, 'luaopen_cjson_safe'))
    assert(package.loadlib(exe, '*') == true)
    local f, err, where = package.loadlib(exe, 'no_such_entry')
    assert(f == nil and where == 'init', err)
    assert(package.loadlib(exe, 'lua_pushnil') == nil, 'only what the executable exports')
    local g, err2 = package.loadlib(libc, 'getpid')
    assert(g == nil and err2:find('only the program'), 'no other library: ' .. tostring(err2))
  )");
}

namespace {
// A directory with settings.lua (and other files) for initscripting.
class settings : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    setenv("LOCALAPPDATA", "/home/u/local", 1);
    setenv("ALLUSERSPROFILE", "/srv/all", 1);
  }
  void TearDown() override {
    if (result.lua) lua_close(result.lua);
    unsetenv("LOCALAPPDATA");
    unsetenv("ALLUSERSPROFILE");
  }
  void write(const std::string &name, const std::string &text) {
    std::ofstream(dir.path().toStdString() + "/" + name) << text;
  }
  void start(const std::string &text) {
    write("settings.lua", text);
    result = initscripting(dir.path().toStdString() + "/", "settings.lua", nullptr, program.services());
  }
  bool balloonsays(std::size_t i, const std::string &part) const {
    return i < program.balloons.size() && program.balloons[i].text.find(part) != std::string::npos;
  }

  QTemporaryDir dir;
  recordingprogram program;
  scriptsettings result;
};
}  // namespace

TEST_F(settings, qxmode_picks_the_data_directory) {
  const std::string all = "/srv/all/orvalink Desktop for Windows", mine = "/home/u/local/orvalink Desktop for Windows";
  const std::pair<const char *, std::string> cases[] = {
      {"", all},
      {"qxmode = qx.JUSTME", mine},
      {"qxmode = '1'", mine},
      {"qxmode = 0.9", all},
      {"qxmode = -1.5", mine},
      {"qxmode = 'yes'", all},
      {"qxmode = 1\nerror('later failure')", mine},
  };
  for (const auto &[text, expected] : cases) {
    start(text);
    EXPECT_EQ(result.datadir, expected) << text;
    lua_close(result.lua);
    result.lua = nullptr;
  }
  EXPECT_EQ(result.title, "") << "no title chosen";
}

TEST_F(settings, errors_go_to_a_balloon) {
  start("qxmode = 1\nerror('bad setting ' .. string.rep('z', 400))");
  ASSERT_EQ(program.balloons.size(), 1u);
  EXPECT_EQ(program.balloons[0].title, "Error in settings");
  EXPECT_TRUE(balloonsays(0, "bad setting"));
  EXPECT_EQ(program.balloons[0].text.size(), 255u);

  loadautomation(result.lua);
  ASSERT_EQ(program.balloons.size(), 2u) << "no automation module";
  EXPECT_EQ(program.balloons[1].title, "Error in settings");
  EXPECT_TRUE(balloonsays(1, "automation"));
}

TEST_F(settings, title_icon_and_the_automation_module) {
  write("automation.lua", "loaded = (loaded or 0) + 1\nreturn true");
  start("title = 'Caf\xC3\xA9 ' .. string.rep('\xE2\x82\xAC', 120)\nicon = '/tmp/icon.png'");
  const QString title = QString::fromStdString(result.title);
  EXPECT_EQ(title.size(), 99);
  EXPECT_TRUE(title.startsWith(QString::fromUtf8("Caf\xC3\xA9 \xE2\x82\xAC")));
  EXPECT_EQ(result.icon, "/tmp/icon.png");
  ASSERT_NE(result.lua, nullptr);
  const int top = lua_gettop(result.lua);
  loadautomation(result.lua);
  EXPECT_EQ(lua_gettop(result.lua), top);
  EXPECT_EQ(readglobalstring(result.lua, "loaded"), "1");
  EXPECT_EQ(readglobalstring(result.lua, "nothing"), "");
}

TEST_F(settings, require_finds_modules_only_in_the_settings_directory) {
  write("other.lua", "return 'from settings dir'");
  QTemporaryDir cwd;
  std::ofstream(cwd.path().toStdString() + "/cwdonly.lua") << "return 'from cwd'";
  char previous[4096];
  ASSERT_TRUE(getcwd(previous, sizeof previous));
  ASSERT_EQ(chdir(cwd.path().toUtf8().constData()), 0);
  start(R"(
    found = require('other')
    missing = not pcall(require, 'cwdonly')
  )");
  ASSERT_EQ(chdir(previous), 0);
  EXPECT_EQ(readglobalstring(result.lua, "found"), "from settings dir");
  lua_getglobal(result.lua, "missing");
  EXPECT_TRUE(lua_toboolean(result.lua, -1));
  lua_pop(result.lua, 1);
  lua_getglobal(result.lua, "package");
  lua_getfield(result.lua, -1, "path");
  EXPECT_EQ(std::string(lua_tostring(result.lua, -1)), dir.path().toStdString() + "/?.lua");
  lua_pop(result.lua, 2);
  EXPECT_TRUE(program.balloons.empty());
}

TEST_F(settings, a_missing_automation_module_loads_no_c_module_from_the_current_directory) {
  QTemporaryDir cwd;
  std::ofstream(cwd.path().toStdString() + "/automation.so") << "not a library";
  char previous[4096];
  ASSERT_TRUE(getcwd(previous, sizeof previous));
  ASSERT_EQ(chdir(cwd.path().toUtf8().constData()), 0);
  // Even a script that sets the C module path finds nothing through it.
  start("emptied = package.cpath == ''\npackage.cpath = './?.so'");
  loadautomation(result.lua);
  ASSERT_EQ(chdir(previous), 0);
  lua_getglobal(result.lua, "emptied");
  EXPECT_TRUE(lua_toboolean(result.lua, -1));
  lua_pop(result.lua, 1);
  ASSERT_EQ(program.balloons.size(), 1u);
  EXPECT_TRUE(balloonsays(0, "module 'automation' not found")) << program.balloons[0].text;
  EXPECT_FALSE(balloonsays(0, ".so")) << program.balloons[0].text;
}

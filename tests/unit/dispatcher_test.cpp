// threads: the page sink is called from other threads and delivers on the UI thread.
#include "browser/dispatcher.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <limits>
#include <thread>

#include "app/dispatchtargets.h"
#include "app/trayicon.h"
#include "browser/browserclient.h"
#include "browser/browserhandle.h"
#include "browser/sendtopage.h"
#include "browser/windowcontrol.h"
#include "plugins/pluginhost.h"

namespace {
struct fakebrowser : browserhandle {
  bool valid = true, frame = true;
  std::vector<pagemessage> got;
  std::thread::id deliveredon;
  bool isvalid() const override { return valid; }
  bool hasmainframe() const override { return frame; }
  void sendtomainframe(const pagemessage &m) override {
    got.push_back(m);
    deliveredon = std::this_thread::get_id();
  }
  void loadurl(const std::string &) override {}
  void closebrowser() override {}
};

struct fakewindow : windowcontrol {
  bool visible = true, topmost = false;
  std::vector<int> placed;
  std::uint64_t nativeid() const override { return 1; }
  bool isvisible() const override { return visible; }
  void showrestore() override { visible = true; }
  void hide() override { visible = false; }
  void settopmost(bool on) override {
    topmost = on;
    visible = true;
  }
  void placewindow(int x, int y, int w, int h) override { placed = {x, y, w, h}; }
};

struct fakedesktop : desktopservices {
  std::vector<std::string> opened, copied;
  int cookieclears = 0;
  int screenwidth() const override { return 1920; }
  int screenheight() const override { return 1080; }
  void openurl(const std::string &url) override { opened.push_back(url); }
  void clearcookies() override { ++cookieclears; }
  void setclipboardtext(const std::string &b) override { copied.push_back(b); }
};

struct fixture : ::testing::Test {
  int argc = 1;
  char name[8] = "test";
  char *argv[2] = {name, nullptr};
  QCoreApplication qapp{argc, argv};
  fakebrowser browser;
  std::shared_ptr<browserclient> client = std::make_shared<browserclient>();
  pagesink topage = makepagesink(client);
  fakewindow window;
  fakedesktop desktop;
  trayicon tray;
  traymenuadapter menu{tray};
  std::vector<balloonrequest> balloons;
  std::vector<std::string> updates, events, downloads;
  int signins = 0;
  pluginregistry registry;
  pluginhost plugins{
      registry, qxpenv{topage, {}, {}, {}, {}},
      [this](const std::string &, const std::string &url, downloadcompletion) { downloads.push_back(url); },
      pluginpolicy{"http://x", {}}};
  pluginrequestsadapter pluginrequests{plugins};
  dispatcher commands{{desktop, window, menu, pluginrequests,
                       [this](const balloonrequest &b) { balloons.push_back(b); },
                       [this](const std::string &version) { updates.push_back(version); },
                       [this](const std::string &json) { events.push_back(json); }, [this] { ++signins; }}};

  fixture() { client->onaftercreated(&browser); }
  void deliver() { QCoreApplication::processEvents(); }
  bool run(pagemessage m) { return commands.onprocessmessage(m); }
};
}  // namespace

TEST_F(fixture, pagesink_delivers_on_the_ui_thread_and_drops_without_a_browser) {
  std::thread other([sink = topage] { sink(pagemessage("hangup")); });
  other.join();
  EXPECT_TRUE(browser.got.empty());  // queued, not sent from the calling thread
  deliver();
  ASSERT_EQ(browser.got.size(), 1u);
  EXPECT_EQ(browser.deliveredon, std::this_thread::get_id());

  browser.frame = false;
  topage(pagemessage("hangup"));
  browser.frame = true;
  browser.valid = false;
  topage(pagemessage("hangup"));
  deliver();
  browser.valid = true;
  client->mainbrowser = nullptr;
  topage(pagemessage("hangup"));
  deliver();
  client->mainbrowser = &browser;
  topage(pagemessage("hangup"));  // queued while the client still lives
  client.reset();
  deliver();
  EXPECT_EQ(browser.got.size(), 1u);
}

TEST_F(fixture, the_first_browser_is_the_main_one_and_only_its_close_ends_the_loop) {
  fakebrowser devtools;
  bool closing = false;
  int quits = 0;
  client->quitmessageloop = [&] { ++quits; };
  client->onmainclosing = [&] { closing = true; };
  client->onaftercreated(&devtools);
  EXPECT_EQ(client->mainbrowser, &browser);
  // A debug window's close leaves the program serving the page.
  EXPECT_FALSE(client->doclose(&devtools));
  EXPECT_FALSE(closing);
  client->onbeforeclose(&devtools);
  EXPECT_EQ(quits, 0);
  EXPECT_FALSE(client->doclose(&browser));
  EXPECT_TRUE(closing);
  client->onbeforeclose(&browser);
  EXPECT_EQ(quits, 1);
  EXPECT_EQ(client->mainbrowser, nullptr);
}

TEST_F(fixture, winpos_moves_unless_the_window_would_start_off_screen) {
  EXPECT_TRUE(run(pagemessage("winPos", {100, 900, 50, 700})));
  EXPECT_EQ(window.placed, (std::vector<int>{100, 50, 800, 650}));
  run(pagemessage("winPos", {1921, 2000, 0, 10}));
  run(pagemessage("winPos", {0, 10, 1081, 1100}));
  EXPECT_EQ(window.placed, (std::vector<int>{100, 50, 800, 650}));
  run(pagemessage("winPos", {500, 400, 1080, 1000}));  // edge accepted, negative sizes passed on
  EXPECT_EQ(window.placed, (std::vector<int>{500, 1080, -100, -80}));
  run(pagemessage("winPos"));
  EXPECT_EQ(window.placed, (std::vector<int>{0, 0, 0, 0}));
  // The page's extremes: differences that would overflow are held within
  // the largest window size (UBSan watches the arithmetic).
  constexpr int low = std::numeric_limits<int>::min(), high = std::numeric_limits<int>::max();
  run(pagemessage("winPos", {low, high, low, high}));
  EXPECT_EQ(window.placed, (std::vector<int>{-maxwinpos, -maxwinpos, 2 * maxwinpos, 2 * maxwinpos}));
  run(pagemessage("winPos", {0, low, 0, low}));
  EXPECT_EQ(window.placed, (std::vector<int>{0, 0, -maxwinpos, -maxwinpos}));
}

TEST_F(fixture, window_commands_show_hide_toggle_and_pin) {
  run(pagemessage("winShow", {false}));
  run(pagemessage("winShow", {false}));
  EXPECT_FALSE(window.visible);
  run(pagemessage("winAlwaysOnTop", {true}));
  EXPECT_TRUE(window.visible);
  EXPECT_TRUE(window.topmost);
  run(pagemessage("winToggle"));
  EXPECT_FALSE(window.visible);
  run(pagemessage("winToggle"));
  EXPECT_TRUE(window.visible);
}

TEST_F(fixture, desktop_commands_and_unknown_names) {
  EXPECT_TRUE(run(pagemessage("winAuth", {std::string("https://sign.in/x")})));
  EXPECT_EQ(desktop.opened, (std::vector<std::string>{"https://sign.in/x"}));
  EXPECT_EQ(signins, 1);
  run(pagemessage("winClearCookies"));
  EXPECT_EQ(desktop.cookieclears, 1);
  run(pagemessage("winCopy", {std::string("abc")}));
  EXPECT_EQ(desktop.copied, (std::vector<std::string>{"abc"}));
  EXPECT_FALSE(run(pagemessage("winHide")));
  EXPECT_FALSE(run(pagemessage("winpos", {1, 2, 3, 4})));
  EXPECT_TRUE(window.placed.empty());
}

TEST_F(fixture, tray_commands_reach_the_menu_model) {
  run(pagemessage("winInsertMenu", {std::string("A"), std::string("a1"), true}));
  run(pagemessage("winInsertMenu", {std::string("A"), std::string("a2")}));
  ASSERT_EQ(tray.menugroups.at("A").items.size(), 2u);
  EXPECT_TRUE(tray.menugroups.at("A").items[0].checked);
  run(pagemessage("winRemoveMenuGroup", {std::string("A")}));
  EXPECT_TRUE(tray.menugroups.empty());
}

TEST_F(fixture, notifications_updates_and_events_reach_their_targets) {
  run(pagemessage("winNotification", {std::string("Title"), std::string("Text")}));
  ASSERT_EQ(balloons.size(), 1u);
  EXPECT_EQ(balloons[0].title, "Title");
  EXPECT_EQ(balloons[0].text, "Text");
  EXPECT_EQ(balloons[0].icon, balloonicon::user);
  EXPECT_EQ(balloons[0].timeoutseconds, 10);
  run(pagemessage("winRunUpdate", {std::string("1.2.3")}));
  EXPECT_EQ(updates, (std::vector<std::string>{"1.2.3"}));
  run(pagemessage("winOnEvent", {std::string("{\"a\":1}")}));
  EXPECT_EQ(events, (std::vector<std::string>{"{\"a\":1}"}));
}

TEST_F(fixture, plugin_loads_and_calls_reach_the_plugin_host) {
  run(pagemessage("loadQXP", {std::string("http://x/p.qxp"), std::string("0")}));
  run(pagemessage("loadQXP", {std::string("http://x/p.qxp"), std::string("1")}));
  EXPECT_EQ(downloads, (std::vector<std::string>{"http://x/p.qxp"}));
  run(pagemessage("makeQXPCall", {99, std::string("f"), std::string("d"), std::string("7")}));
  deliver();
  ASSERT_EQ(browser.got.size(), 2u);
  EXPECT_EQ(browser.got[0].name, "qxpLoaded");  // the second load, answered at once
  EXPECT_EQ(browser.got[0].getstring(0), "1");
  EXPECT_EQ(browser.got[0].getint(1), 1);
  EXPECT_EQ(browser.got[1].name, "qxpCallCompleted");
  EXPECT_EQ(browser.got[1].getstring(0), "7");
  EXPECT_EQ(browser.got[1].getstring(1), "");
}

// The right-click menu: when it replaces the engine's menu, its entries and
// states for every edit state, and the commands with their switches.
#include "browser/contextmenu.h"

#include <gtest/gtest.h>

#include "browser/browserclient.h"
#include "browser/browserhandle.h"

namespace {

using kind = menuentry::kind;
using action = menuchoice::action;

TEST(contextmenu, engine_menu_stays_unless_a_page_or_frame_was_clicked) {
  browserclient client;
  EXPECT_FALSE(buildcontextmenu({0, 0}, client));
  // Link, media, selection and editable bits alone do not count.
  EXPECT_FALSE(buildcontextmenu({4 | 8 | 16 | 32, menuedit_cancut | menuedit_cancopy}, client));
  EXPECT_TRUE(buildcontextmenu({menutype_page, 0}, client));
  EXPECT_TRUE(buildcontextmenu({menutype_frame, 0}, client));
  EXPECT_TRUE(buildcontextmenu({menutype_page | menutype_frame | 32, 0}, client));
}

TEST(contextmenu, entries_in_order_with_labels_kinds_and_accelerators) {
  browserclient client;
  const auto menu = buildcontextmenu({menutype_page, 0}, client);
  ASSERT_TRUE(menu);
  struct expected {
    kind type;
    int id;
    const char *label;
    const char *accelerator;
  };
  const expected want[] = {
      {kind::item, 26500, "Cut", "Ctrl+X"},
      {kind::item, 26501, "Copy", "Ctrl+C"},
      {kind::item, 26502, "Paste", "Ctrl+V"},
      {kind::separator, 0, "", ""},
      {kind::item, 26503, "&Show DevTools", ""},
      {kind::item, 26504, "&WebRTC Internals", ""},
      {kind::check, 26505, "WebRTC Debug &Logging", ""},
      {kind::check, 26506, "&JsSIP Debug Logging", ""},
      {kind::separator, 0, "", ""},
      {kind::item, 26507, "&Exit", ""},
  };
  ASSERT_EQ(menu->size(), std::size(want));
  for (std::size_t i = 0; i < menu->size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ((*menu)[i].type, want[i].type);
    EXPECT_EQ((*menu)[i].id, want[i].id);
    EXPECT_EQ((*menu)[i].label, want[i].label);
    EXPECT_EQ((*menu)[i].accelerator, want[i].accelerator);
  }
}

TEST(contextmenu, edit_items_follow_each_edit_state_others_always_enabled) {
  browserclient client;
  for (unsigned flags = 0; flags < 64; ++flags) {
    SCOPED_TRACE(flags);
    // Undo, redo and delete bits (1, 2, 32) must not enable anything.
    const auto menu = buildcontextmenu({menutype_page, flags}, client);
    ASSERT_TRUE(menu);
    EXPECT_EQ((*menu)[0].enabled, (flags & 4) != 0);
    EXPECT_EQ((*menu)[1].enabled, (flags & 8) != 0);
    EXPECT_EQ((*menu)[2].enabled, (flags & 16) != 0);
    for (std::size_t i = 3; i < menu->size(); ++i) EXPECT_TRUE((*menu)[i].enabled) << i;
  }
}

TEST(contextmenu, check_marks_show_the_switches) {
  browserclient client;
  for (const bool webrtc : {false, true}) {
    for (const bool jssip : {false, true}) {
      client.webrtcdebug = webrtc;
      client.jssipdebug = jssip;
      const auto menu = buildcontextmenu({menutype_page, 0}, client);
      ASSERT_TRUE(menu);
      EXPECT_EQ((*menu)[6].checked, webrtc);
      EXPECT_EQ((*menu)[7].checked, jssip);
      for (const std::size_t i : {0, 1, 2, 4, 5, 9}) EXPECT_FALSE((*menu)[i].checked);
    }
  }
}

TEST(contextmenu, switches_flip_on_every_choice_and_pick_the_matching_script) {
  browserclient client;
  const debugscript webrtc[] = {debugscript::webrtcenable, debugscript::webrtcdisable,
                                debugscript::webrtcenable};
  for (const debugscript want : webrtc) {
    const menuchoice c = choosecommand(menuid_webrtcdebug, client);
    EXPECT_EQ(c.todo, action::runscript);
    EXPECT_EQ(c.script, want);
    EXPECT_EQ(client.webrtcdebug, want == debugscript::webrtcenable);
    EXPECT_FALSE(client.jssipdebug);
  }
  const menuchoice on = choosecommand(menuid_jssipdebug, client);
  EXPECT_EQ(on.script, debugscript::jssipenable);
  EXPECT_TRUE(client.jssipdebug);
  EXPECT_TRUE(buildcontextmenu({menutype_page, 0}, client)->at(7).checked);
  const menuchoice off = choosecommand(menuid_jssipdebug, client);
  EXPECT_EQ(off.todo, action::runscript);
  EXPECT_EQ(off.script, debugscript::jssipdisable);
  EXPECT_FALSE(client.jssipdebug);
  EXPECT_TRUE(client.webrtcdebug);
}

TEST(contextmenu, other_commands_leave_the_switches_and_unknown_ids_go_to_the_engine) {
  browserclient client;
  const std::pair<int, action> commands[] = {
      {26500, action::cut},
      {26501, action::copy},
      {26502, action::paste},
      {26503, action::showdevtools},
      {26504, action::webrtcinternals},
      {26507, action::closebrowser},
      {26499, action::none},
      {26508, action::none},
      {0, action::none},
  };
  for (const auto &[id, want] : commands) {
    EXPECT_EQ(choosecommand(id, client).todo, want) << id;
  }
  EXPECT_FALSE(client.webrtcdebug);
  EXPECT_FALSE(client.jssipdebug);
}

struct fakebrowser : browserhandle {
  bool isvalid() const override { return true; }
  bool hasmainframe() const override { return true; }
  void sendtomainframe(const pagemessage &) override {}
  void loadurl(const std::string &) override {}
  void closebrowser() override {}
};

TEST(contextmenu, closing_a_debug_window_leaves_the_program_running) {
  browserclient client;
  int quits = 0;
  bool closing = false;
  client.quitmessageloop = [&] { ++quits; };
  client.onmainclosing = [&] { closing = true; };
  fakebrowser main, devtools, internals;
  client.onaftercreated(&main);
  client.onaftercreated(&devtools);
  client.onaftercreated(&internals);
  EXPECT_EQ(client.mainbrowser, &main);
  for (fakebrowser *debug : {&devtools, &internals}) {
    EXPECT_FALSE(client.doclose(debug));
    client.onbeforeclose(debug);
  }
  EXPECT_FALSE(closing);
  EXPECT_EQ(quits, 0);
  EXPECT_EQ(client.mainbrowser, &main);
  EXPECT_FALSE(client.doclose(&main));
  EXPECT_TRUE(closing);
  client.onbeforeclose(&main);
  EXPECT_EQ(quits, 1);
  EXPECT_EQ(client.mainbrowser, nullptr);
}

}  // namespace

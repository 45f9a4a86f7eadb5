#include <gtest/gtest.h>

#include "app/cmdline.h"
#include "app/windowevents.h"
#include "browser/browserclient.h"
#include "protocol/pagemessage.h"
#include "browser/requestids.h"

using namespace std::chrono_literals;

TEST(catalogue, getters_default_for_missing_and_mistyped_arguments) {
  const pagemessage m("x", {std::string("s"), 7, true});
  EXPECT_EQ(m.getstring(0), "s");
  EXPECT_EQ(m.getint(1), 7);
  EXPECT_TRUE(m.getbool(2));
  EXPECT_EQ(m.getstring(1), "");
  EXPECT_EQ(m.getint(0), 0);
  EXPECT_FALSE(m.getbool(0));
  EXPECT_EQ(m.getstring(9), "");
  EXPECT_EQ(m.getint(9), 0);
  EXPECT_FALSE(m.getbool(9));
}

TEST(catalogue, wire_form_round_trips_and_reads_odd_values_as_defaults) {
  const pagemessage m("winPos", {100, -900, std::string("é\"\\"), false});
  const pagemessage back = pagemessage::fromjson(m.tojson());
  EXPECT_EQ(back.name, "winPos");
  EXPECT_EQ(back.getint(0), 100);
  EXPECT_EQ(back.getint(1), -900);
  EXPECT_EQ(back.getstring(2), "é\"\\");
  EXPECT_FALSE(back.getbool(3));

  QJsonArray odd{QStringLiteral("n"), 1.5, QJsonValue(), QJsonArray{1}, 1e12, 3.0};
  const pagemessage o = pagemessage::fromjson(odd);
  ASSERT_EQ(o.args.size(), 5u);
  EXPECT_EQ(o.getint(0), 0);
  EXPECT_EQ(o.getstring(1), "");
  EXPECT_EQ(o.getint(3), 0);
  EXPECT_EQ(o.getint(4), 3);
  EXPECT_TRUE(pagemessage::fromjson(QJsonArray{5}).name.empty());
}

TEST(requestids, answers_reach_only_the_document_that_asked) {
  requestids ids;
  ids.newdocument();
  const pagemessage asked = ids.inbound(pagemessage("makeQXPCall", {1, std::string("f"), std::string("d"), std::string("0")}));
  const std::string tagged = asked.getstring(3);
  EXPECT_NE(tagged, "0");
  auto answer = ids.outbound(pagemessage("qxpCallCompleted", {tagged, std::string("r")}));
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->getstring(0), "0");
  ids.newdocument();
  EXPECT_FALSE(ids.outbound(pagemessage("qxpCallCompleted", {tagged, std::string("r")})));
  EXPECT_FALSE(ids.outbound(pagemessage("qxpLoaded", {std::string("0"), 1})));
  // Other messages pass unchanged; a short loadQXP gets its id slot.
  EXPECT_TRUE(ids.outbound(pagemessage("onMenu", {std::string("a"), std::string("b")})));
  EXPECT_EQ(ids.inbound(pagemessage("loadQXP", {std::string("u")})).args.size(), 2u);
}

TEST(windowevents, activation_is_held_back_within_a_second_of_the_last) {
  EXPECT_TRUE(activationshouldsend(true, 1500ms, true));
  EXPECT_FALSE(activationshouldsend(true, 500ms, true));
  EXPECT_FALSE(activationshouldsend(true, 1000ms, true));
  EXPECT_FALSE(activationshouldsend(false, 5s, true));
  EXPECT_FALSE(activationshouldsend(true, 5s, false));
  EXPECT_EQ(activationtext(std::string(25, 'a')), std::string(20, 'a'));
  EXPECT_EQ(activationtext(""), "");
}

TEST(windowevents, the_main_window_starts_at_the_bottom_right_corner) {
  EXPECT_EQ(mainwindowplacement(1920, 1080), (placement{1120, 430, 800, 650}));
  EXPECT_EQ(mainwindowplacement(640, 480), (placement{-160, -170, 800, 650}));
}

TEST(windowevents, commands_are_classified_as_the_tray_and_other_programs_send_them) {
  EXPECT_EQ(classifycommand(0x200u << 16, false), commandkind::hide);
  EXPECT_EQ(classifycommand(105, false), commandkind::unhandled);
  EXPECT_EQ(classifycommand(105, true), commandkind::exit);
  EXPECT_EQ(classifycommand(104, true), commandkind::about);
  EXPECT_EQ(classifycommand(15000, true), commandkind::pageitem);
  EXPECT_EQ(classifycommand(15100, true), commandkind::pageitem);
  EXPECT_EQ(classifycommand(15101, true), commandkind::clipboardcall);
  EXPECT_EQ(classifycommand(32001, true), commandkind::nothing);
  EXPECT_EQ(classifycommand(42, true), commandkind::unhandled);
  unsigned int w = 0;
  EXPECT_TRUE(parsecommandtext("15101", w));
  EXPECT_EQ(w, 15101u);
  EXPECT_TRUE(parsecommandtext("0x2000000", w));
  EXPECT_EQ(classifycommand(w, true), commandkind::hide);
  EXPECT_TRUE(parsecommandtext("hide", w));
  EXPECT_EQ(w, 0x2000000u);
  EXPECT_FALSE(parsecommandtext("-1", w));
  EXPECT_FALSE(parsecommandtext("12x", w));
  EXPECT_FALSE(parsecommandtext("", w));
  EXPECT_FALSE(parsecommandtext("99999999999", w));
}

TEST(cmdline, own_switches_are_taken_and_the_engine_gets_its_switches_in_order) {
  const cmdline c = parsecmdline({"prog", "--service-origin=http://x:1//", "-style", "--command=105"});
  EXPECT_EQ(*c.serviceorigin, "http://x:1");
  EXPECT_EQ(*c.command, "105");
  EXPECT_EQ(c.rest, (std::vector<std::string>{"prog", "-style"}));
  const auto args = engineargs({"prog", "--webEngineArgs", "--foo"}, "/opt/o/cef_debug.log");
  ASSERT_GE(args.size(), 13u);
  EXPECT_EQ(std::count(args.begin(), args.end(), "--webEngineArgs"), 1);
  EXPECT_EQ(args[3], "--enable-media-stream");
  EXPECT_EQ(args[4],
            "--disable-features=MediaStreamDeviceEnumerationPermission,CalculateNativeWinOcclusion,"
            "WebRtcHideLocalIpsWithMdns");
  EXPECT_EQ(args[9], "--disable-backgrounding-occluded-windows");
  // Media is granted by the program's permission handler, to the service only.
  EXPECT_EQ(std::count(args.begin(), args.end(), "--use-fake-ui-for-media-stream"), 0);
  EXPECT_NE(std::find(args.begin(), args.end(), "--log-file=/opt/o/cef_debug.log"), args.end());
}

TEST(browserclient, navigation_rule_cancels_mailto_and_tel_only_in_lower_case) {
  EXPECT_TRUE(browserclient::onbeforebrowse("mailto:a@b.c"));
  EXPECT_TRUE(browserclient::onbeforebrowse("tel:+155501"));
  EXPECT_FALSE(browserclient::onbeforebrowse("MAILTO:a@b.c"));
  EXPECT_FALSE(browserclient::onbeforebrowse("https://x/tel:1"));
}

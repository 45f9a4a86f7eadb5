#include <gtest/gtest.h>

#include "app/trayicon.h"

namespace {
struct recordinghost : trayhost {
  std::vector<std::tuple<QString, QString, balloonicon, int>> balloons;
  int refreshes = 0;
  bool addresult = true;
  bool add(const QString &, const QString &) override { return addresult; }
  bool remove() override { return true; }
  bool showballoon(const QString &text, const QString &title, balloonicon icon, int ms) override {
    balloons.emplace_back(text, title, icon, ms);
    return true;
  }
  void refreshmenu() override { ++refreshes; }
  void settooltip(const QString &) override {}
};

std::vector<QString> labels(const std::vector<trayentry> &menu) {
  std::vector<QString> out;
  for (const auto &e : menu) out.push_back(e.separator ? QStringLiteral("-") : e.label);
  return out;
}
}  // namespace

TEST(traymenu, groups_are_inserted_at_the_top_in_name_order) {
  trayicon tray;
  tray.addmenuitem("B", "b1", false);
  tray.addmenuitem("A", "a1", false);
  tray.addmenuitem("A", "a2", true);
  const auto menu = tray.buildmenu();
  EXPECT_EQ(labels(menu), (std::vector<QString>{"b1", "-", "a2", "a1", "-"}));
  // Ids: separator of A 15000, a1 15001, a2 15002, separator of B 15003, b1 15004.
  EXPECT_EQ(menu[4].id, 15000);
  EXPECT_EQ(menu[3].id, 15001);
  EXPECT_EQ(menu[2].id, 15002);
  EXPECT_TRUE(menu[2].checked);
  EXPECT_EQ(menu[1].id, 15003);
  EXPECT_EQ(menu[0].id, 15004);
  EXPECT_EQ(tray.finditem(15002).label, "a2");
  EXPECT_EQ(tray.finditem(15002).group, "A");
  EXPECT_EQ(tray.finditem(15000).id, -1);  // a separator is no item
  EXPECT_EQ(tray.finditem(99).id, -1);
}

TEST(traymenu, an_existing_label_only_changes_its_check_mark) {
  recordinghost host;
  trayicon tray;
  tray.create(&host, "tip", "icon", false);
  tray.addmenuitem("A", "a1", false);
  const int refreshed = host.refreshes;
  tray.addmenuitem("A", "a1", true);
  EXPECT_EQ(host.refreshes, refreshed);  // the menu on screen is not touched
  tray.addmenuitem("A", "a2", false);
  const auto menu = tray.buildmenu();
  EXPECT_EQ(labels(menu), (std::vector<QString>{"a2", "a1", "-"}));
  EXPECT_TRUE(menu[1].checked);
}

TEST(traymenu, removing_a_group_drops_its_items_and_ids) {
  trayicon tray;
  tray.addmenuitem("A", "a1", false);
  tray.addmenuitem("B", "b1", false);
  tray.buildmenu();
  tray.removemenugroup("A");
  tray.removemenugroup("nothing");
  EXPECT_EQ(tray.finditem(15001).id, -1);
  EXPECT_EQ(labels(tray.buildmenu()), (std::vector<QString>{"b1", "-"}));
  EXPECT_EQ(tray.finditem(15001).label, "b1");  // ids are given anew each build
}

TEST(traymenu, entries_past_the_last_page_id_are_numbered_on) {
  trayicon tray;
  for (int i = 0; i < 120; ++i) tray.addmenuitem("G", QString::number(i), false);
  const auto menu = tray.buildmenu();
  ASSERT_EQ(menu.size(), 121u);
  EXPECT_EQ(menu.front().id, 15120);
  EXPECT_EQ(tray.finditem(15100).label, "99");
  EXPECT_GT(menu.front().id, cmd_pagelast);
}

TEST(trayballoon, texts_are_cut_and_held_until_the_icon_exists) {
  recordinghost host;
  trayicon tray;
  EXPECT_FALSE(tray.balloon({"Error in settings", "early"}));
  ASSERT_TRUE(tray.create(&host, QString(200, 'x'), "icon", false));
  EXPECT_EQ(tray.tooltip.size(), 127);
  ASSERT_EQ(host.balloons.size(), 1u);
  EXPECT_EQ(std::get<0>(host.balloons[0]), "early");
  EXPECT_EQ(std::get<1>(host.balloons[0]), "Error in settings");
  tray.balloon(QString(300, 't'), QString(70, 'T'), balloonicon::user, 10);
  ASSERT_EQ(host.balloons.size(), 2u);
  EXPECT_EQ(std::get<0>(host.balloons[1]).size(), 255);
  EXPECT_EQ(std::get<1>(host.balloons[1]).size(), 63);
  EXPECT_EQ(std::get<2>(host.balloons[1]), balloonicon::user);
  EXPECT_EQ(std::get<3>(host.balloons[1]), 10000);
}

TEST(trayballoon, only_the_newest_few_wait_for_the_icon) {
  recordinghost host;
  trayicon tray;
  for (int i = 0; i < 1000; ++i) tray.balloon({"Note", std::to_string(i)});
  ASSERT_TRUE(tray.create(&host, "tip", "icon", false));
  ASSERT_EQ(host.balloons.size(), trayicon::maxheldballoons);
  EXPECT_EQ(std::get<0>(host.balloons.front()), QString::number(1000 - trayicon::maxheldballoons));
  EXPECT_EQ(std::get<0>(host.balloons.back()), "999");
}

TEST(trayballoon, a_failed_add_leaves_the_icon_hidden_and_removed) {
  recordinghost host;
  host.addresult = false;
  trayicon tray;
  EXPECT_FALSE(tray.create(&host, "tip", "icon", false));
  EXPECT_TRUE(tray.hidden);
  EXPECT_TRUE(tray.removed);
  host.addresult = true;
  tray.restore();
  EXPECT_FALSE(tray.removed);
  tray.remove();
  EXPECT_TRUE(tray.removed);
}

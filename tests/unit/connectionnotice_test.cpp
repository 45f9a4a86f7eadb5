#include "app/connectionnotice.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>

#include "app/trayicon.h"

namespace {
struct tooltiphost : trayhost {
  std::vector<QString> tooltips;
  bool add(const QString &, const QString &) override { return true; }
  bool remove() override { return true; }
  bool showballoon(const QString &, const QString &, balloonicon, int) override { return true; }
  void refreshmenu() override {}
  void settooltip(const QString &tip) override { tooltips.push_back(tip); }
};
}  // namespace

TEST(connectionnotice, an_outage_shows_in_the_tooltip_and_one_balloon_after_the_wait) {
  int argc = 1;
  char arg0[] = "connectionnotice_test";
  char *argv[] = {arg0, nullptr};
  QCoreApplication app(argc, argv);
  tooltiphost host;
  trayicon tray;
  tray.create(&host, "orvalink Desktop", "", false);
  std::vector<std::string> balloons;
  connectionnotice notice(
      tray, "orvalink Desktop", [&](const balloonrequest &b) { balloons.push_back(b.text); },
      std::chrono::milliseconds(30));

  notice.changed(false);
  EXPECT_EQ(host.tooltips.back(), QStringLiteral("orvalink Desktop (connecting…)"));
  notice.changed(true);
  EXPECT_EQ(host.tooltips.back(), "orvalink Desktop");
  notice.changed(false);
  notice.changed(false);  // still down: no second wait, no second balloon
  QDeadlineTimer deadline(5000);
  while (balloons.empty() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  ASSERT_EQ(balloons.size(), 1u);
  EXPECT_EQ(balloons[0], notconnectedtext);
  notice.changed(true);
  EXPECT_EQ(host.tooltips.back(), "orvalink Desktop");
}

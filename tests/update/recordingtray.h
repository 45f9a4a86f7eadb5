#pragma once

#include <QString>
#include <QStringList>

#include "app/trayicon.h"

// A tray host that records the balloons shown, for tests that check what the
// user was told.
class recordingtray : public trayhost {
 public:
  struct shown {
    QString text, title;
    int flags = 0, timeoutms = 0;
  };
  std::vector<shown> balloons;

  bool add(const QString &, const QString &) override { return true; }
  bool remove() override { return true; }
  bool showballoon(const QString &text, const QString &title, int flags, int timeoutms) override {
    balloons.push_back({text, title, flags, timeoutms});
    return true;
  }
  void refreshmenu() override {}

  QStringList texts() const {
    QStringList t;
    for (const auto &b : balloons) t << b.text;
    return t;
  }
};

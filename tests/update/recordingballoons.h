#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "platform/balloons.h"

// Records the balloons a module asked for, for tests that check what the
// user was told.
class recordingballoons {
 public:
  std::vector<balloonrequest> balloons;

  balloonsink sink() {
    return [this](const balloonrequest &b) { balloons.push_back(b); };
  }

  QStringList texts() const {
    QStringList t;
    for (const auto &b : balloons) t << QString::fromStdString(b.text);
    return t;
  }
};

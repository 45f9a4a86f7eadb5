#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>

#include "platform/balloons.h"

class trayicon;

// Shows the user whether the softphone is connected: while the page cannot
// reach the service or is being restored, the tray tooltip says it is
// connecting, and once that has lasted longer than `patience`, one balloon
// says the softphone is not connected. When the page is back, the tooltip is
// the normal one again. UI thread only.
class connectionnotice : public QObject {
  Q_OBJECT
 public:
  connectionnotice(trayicon &tray, QString normaltooltip, balloonsink balloons,
                   std::chrono::milliseconds patience = std::chrono::minutes(1));

  // The page is up (true), or connecting or being restored (false).
  void changed(bool up);

 private:
  trayicon &tray;
  const QString normaltooltip;
  balloonsink balloons;
  QTimer late;
  bool down = false;
};

inline constexpr const char *notconnectedtext =
    "The softphone is not connected: the service cannot be reached. It keeps trying and connects by itself.";

#include "app/connectionnotice.h"

#include "app/trayicon.h"

connectionnotice::connectionnotice(trayicon &tray, QString normaltooltip, balloonsink balloons,
                                   std::chrono::milliseconds patience)
    : tray(tray), normaltooltip(std::move(normaltooltip)), balloons(std::move(balloons)) {
  late.setSingleShot(true);
  late.setInterval(patience);
  connect(&late, &QTimer::timeout, this, [this] {
    if (this->balloons) this->balloons({"orvalink Desktop", notconnectedtext, balloonicon::info});
  });
}

void connectionnotice::changed(bool up) {
  if (up == !down) return;
  down = !up;
  if (up) {
    late.stop();
    tray.settooltip(normaltooltip);
  } else {
    tray.settooltip(normaltooltip + QStringLiteral(" (connecting…)"));
    late.start();
  }
}

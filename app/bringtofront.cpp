#include "app/bringtofront.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "platform/ownwindow.h"

namespace {

void activatewhenmapped(QPointer<QWidget> window, ownwindow &windowstate, int triesleft) {
  if (!window || !window->isVisible()) return;
  if (window->windowHandle() && window->windowHandle()->isExposed()) {
    windowstate.activate(static_cast<windowid>(window->winId()));
    return;
  }
  if (triesleft > 0)
    QTimer::singleShot(50, window,
                       [window, &windowstate, triesleft] { activatewhenmapped(window, windowstate, triesleft - 1); });
}

}  // namespace

void bringtofront(QWidget &window, ownwindow &windowstate) {
  activatewhenmapped(QPointer<QWidget>(&window), windowstate, 40);
}

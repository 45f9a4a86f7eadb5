#include "app/bringtofront.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "platform/linux/x11windowstate.h"

namespace {

void activatewhenmapped(QPointer<QWidget> window, int triesleft) {
  if (!window || !window->isVisible()) return;
  if (window->windowHandle() && window->windowHandle()->isExposed()) {
    activatewindow(static_cast<std::uint64_t>(window->winId()));
    return;
  }
  if (triesleft > 0) QTimer::singleShot(50, window, [window, triesleft] { activatewhenmapped(window, triesleft - 1); });
}

}  // namespace

void bringtofront(QWidget &window) { activatewhenmapped(QPointer<QWidget>(&window), 40); }

#include "platform/wayland/nativeownwindow.h"

#include "common/debuglog.h"

nativeownwindow::nativeownwindow() {
  debugout(
      "own window: a native Wayland window (no XWayland): keeping it above, activating it when the program is "
      "started again and its window class are left to the desktop");
}

#pragma once

#include <memory>

#include "platform/clipboardtext.h"
#include "platform/desktopwindows.h"
#include "platform/focusedtext.h"
#include "platform/hotkeyservice.h"
#include "platform/keyboardmouse.h"

// Everything the automation library needs from the desktop. A member may be
// null where the desktop cannot offer it (no display): the functions that
// need it then give their empty answers.
struct desktopplatform {
  virtual ~desktopplatform() = default;
  std::unique_ptr<desktopwindows> windows;
  std::unique_ptr<keyboardmouse> input;
  std::unique_ptr<hotkeyservice> hotkeys;
  std::unique_ptr<focusedtext> text;
  std::unique_ptr<clipboardtext> clipboard;
};

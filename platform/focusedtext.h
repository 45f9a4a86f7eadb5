#pragma once

#include <optional>
#include <string>

#include "platform/desktopwindows.h"

// The text of the control that has the keyboard focus in the active window,
// reached through the desktop's accessibility service. Every call is bounded
// in time: an application that does not answer gives the empty answer.
class focusedtext {
 public:
  struct selection {
    int start = 0;
    int end = 0;
  };

  virtual ~focusedtext() = default;
  // UTF-8 text; nothing when no focused control can be reached.
  virtual std::optional<std::string> text() = 0;
  // Replaces the text; false when there is no editable focused control.
  virtual bool settext(const std::string &utf8) = 0;
  // Character offsets; the caret position twice when nothing is selected.
  virtual std::optional<selection> selected() = 0;
};

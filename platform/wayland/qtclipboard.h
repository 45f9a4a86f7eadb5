#pragma once

#include "platform/clipboardtext.h"

// The clipboard through Qt's own platform, for a program running as a
// native Wayland client (no XWayland to read the X11 clipboard from). A
// Wayland compositor hands the clipboard to the client with the keyboard
// focus: while another application has it, a read gives what the clipboard
// held when this program last had the focus.
class qtclipboard : public clipboardtext {
 public:
  std::string read() override;
  void write(const std::string &bytes) override;
};

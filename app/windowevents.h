#pragma once

#include <chrono>
#include <string>
#include <vector>

// Decisions of the main window, kept apart from Qt so tests can call them.

// Activation sends "onActivate" only for a real activation more than one
// second after the last activation change or window command, and only while
// the browser is ready.
bool activationshouldsend(bool activated, std::chrono::steady_clock::duration sincelast, bool browserready);

// The clipboard text "onActivate" carries: its first 20 bytes.
std::string activationtext(const std::string &clipboard);

// What a window command number (as other programs post them) asks for.
enum class commandkind {
  hide,           // notification code 0x200: hide, even before the browser is ready
  unhandled,      // left to the default handling (ignored)
  pageitem,       // 15000..15100: a page entry of the tray menu
  clipboardcall,  // 15101: "onMenu" ("Clipboard", "Call " + clipboard)
  about,          // 104: documentation page in the system browser
  exit,           // 105: close the main browser
  nothing,        // 32000..32002: accepted, no effect
};
commandkind classifycommand(unsigned int command, bool browserready);

// Parses the text given to --command=: a number (decimal or 0x hex) or "hide".
// Returns false for anything else.
bool parsecommandtext(const std::string &text, unsigned int &command);

// Where the 800 x 650 main window starts: flush with the bottom-right
// corner of the primary screen. {x, y, width, height}.
struct placement {
  int x, y, width, height;
  bool operator==(const placement &) const = default;
};
placement mainwindowplacement(int screenwidth, int screenheight);

// Chromium switches the program adds to every browser process, in order.
std::vector<std::string> engineswitches();

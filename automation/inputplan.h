#pragma once

#include <optional>
#include <string_view>
#include <vector>

// The decisions behind the keyboard, mouse and hotkey functions, free of any
// desktop so that tests can call them.

struct keyevent {
  int virtualkey = 0;
  bool down = false;
  bool operator==(const keyevent &) const = default;
};

// The key events that type a text byte by byte: tab, line feed, carriage
// return and space have their keys; '!', '^', '+' and '~' hold Alt, Ctrl,
// Shift or the Windows key around the next byte, which is looked up by its
// upper-cased character; every other byte is looked up the same way. Bytes
// without a key (punctuation, a tab after a modifier character, a modifier
// character at the end) produce nothing. Letters are sent without Shift.
std::vector<keyevent> expandsendstring(std::string_view text);

// A hotkey as written by a script: modifier characters at the front, then a
// virtual-key name ("^+VK_F9", "~a").
struct hotkeyspec {
  int virtualkey = 0;
  bool ctrl = false, alt = false, win = false, shift = false;
  // The modifier flags of hotkeyservice (alt 1, control 2, shift 4, win 8).
  unsigned modifiers() const;
  bool operator==(const hotkeyspec &) const = default;
};

// Every modifier character anywhere in the text counts, and as many leading
// bytes as there are modifier characters are dropped before the rest is
// upper-cased and looked up. Nothing when the name is not a virtual key.
std::optional<hotkeyspec> parsehotkey(std::string_view text);

// What a pressed hotkey releases before its function runs: the key itself,
// then every modifier it holds (Ctrl, Alt, Shift, both Windows keys).
std::vector<keyevent> hotkeyreleases(const hotkeyspec &h);

// Keyboard input for a key-event value: 0 down, 2 up, 3 down then up; any
// other value sends nothing.
std::vector<keyevent> keyboardinput(int code, int keyeventvalue);

// The pointer button a mouse input code clicks (1 left, 2 middle, 3 right, 8
// the first extra button); 0 for a code that only moves the pointer.
int pointerbutton(int code);

// Truncates a script number toward zero into an int, clamping at the int
// range; not-a-number reads as 0.
int truncatetoint(double value);

// How long qx.sleep sleeps: 0 to 10000 ms.
int sleepmilliseconds(double requested);

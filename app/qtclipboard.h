#pragma once

#include <string>

// The desktop clipboard through Qt's text as bytes (UTF-8 on this desktop), unchanged.
// Empty when it holds no text. UI thread only.
std::string getclipboardtext();
// Puts the bytes up to the first NUL on the clipboard as text.
void setclipboardtext(const std::string &bytes);

#include "browser/pageconsole.h"

std::string consoledebugline(consolelevel level, std::string_view message) {
  static constexpr char hex[] = "0123456789abcdef";
  std::string line = level == consolelevel::warning ? "console warning: "
                     : level == consolelevel::error ? "console error: "
                                                    : "console: ";
  for (const char ch : message) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\\') {
      line += "\\\\";
    } else if (c == '\n') {
      line += "\\n";
    } else if (c == '\r') {
      line += "\\r";
    } else if ((c < 0x20 && c != '\t') || c == 0x7f) {
      line += "\\x";
      line += hex[c >> 4];
      line += hex[c & 0xf];
    } else {
      line += ch;
    }
  }
  return line;
}

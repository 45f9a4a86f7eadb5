#include "browser/downloads.h"

#include <algorithm>

std::string userdownloads(const std::string &datadir) { return datadir + "/Downloads"; }

std::string downloadfilename(std::string_view suggested) {
  const std::size_t slash = suggested.find_last_of("/\\");
  if (slash != std::string_view::npos) suggested.remove_prefix(slash + 1);
  if (suggested.empty() || suggested == "." || suggested == "..") return "download";
  return std::string(suggested);
}

std::string progressline(std::string_view url, std::int64_t received, std::int64_t total,
                         downloadstate state) {
  std::string line = "Download ";
  line += url;
  line += " - " + std::to_string(received) + "/" + std::to_string(total);
  if (state == downloadstate::complete) line += " (complete)";
  if (state == downloadstate::canceled) line += " (canceled)";
  std::replace(line.begin(), line.end(), '\\', '/');
  return line;
}

std::string jsstringliteral(std::string_view text) {
  static constexpr char hex[] = "0123456789abcdef";
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '"':
        out += "\\\"";
        continue;
      case '\\':
        out += "\\\\";
        continue;
      case '\n':
        out += "\\n";
        continue;
      case '\r':
        out += "\\r";
        continue;
      case '\t':
        out += "\\t";
        continue;
      case '<':
        out += "\\u003c";
        continue;
      default:
        break;
    }
    if (c < 0x20 || c == 0x7f) {
      out += "\\u00";
      out += hex[c >> 4];
      out += hex[c & 0xf];
    } else if (c == 0xe2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
               (static_cast<unsigned char>(text[i + 2]) == 0xa8 ||
                static_cast<unsigned char>(text[i + 2]) == 0xa9)) {
      // U+2028 and U+2029 end a line in older script parsers.
      out += static_cast<unsigned char>(text[i + 2]) == 0xa8 ? "\\u2028" : "\\u2029";
      i += 2;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
  return out;
}

std::string progressscript(std::string_view line) { return "console.log(" + jsstringliteral(line) + ");"; }

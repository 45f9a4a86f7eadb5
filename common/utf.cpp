#include "common/utf.h"

#include <QString>

std::u16string utf8towide(std::string_view text) {
  if (text.empty()) return {};
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  return s.toStdU16String();
}

namespace {
void appendutf8(std::string &out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}
}  // namespace

// Written out rather than through QString, which turns a lone surrogate into
// '?' instead of U+FFFD.
std::string widetoutf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      appendutf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      appendutf8(out, 0xFFFD);
    } else {
      appendutf8(out, u);
    }
  }
  return out;
}

std::string cutbytes(std::string_view text, std::size_t maxbytes) {
  return std::string(text.substr(0, maxbytes));
}

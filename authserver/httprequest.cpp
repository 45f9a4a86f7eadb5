#include "authserver/httprequest.h"

namespace {
constexpr std::string_view getprefix = "GET ";
constexpr std::string_view versionsuffix = " HTTP/1.1\r\n";
constexpr std::string_view completeauthpath = "/api/user/completeauth";
}  // namespace

std::optional<std::string_view> requesttarget(std::string_view request) {
  std::size_t get = request.find(getprefix);
  std::size_t version = request.find(versionsuffix);
  if (get == std::string_view::npos || version == std::string_view::npos) return std::nullopt;
  std::size_t start = get + getprefix.size();
  if (version < start) return std::nullopt;
  return request.substr(start, version - start);
}

bool iscompleteauth(std::string_view target) { return target.starts_with(completeauthpath); }

std::string loggabletarget(std::string_view target) {
  static constexpr char hex[] = "0123456789abcdef";
  std::string line;
  line.reserve(target.size());
  for (char c : target) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f || c == '\\') {
      line += "\\x";
      line += hex[byte >> 4];
      line += hex[byte & 0xf];
    } else {
      line += c;
    }
  }
  return line;
}

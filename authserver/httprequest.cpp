#include "authserver/httprequest.h"

#include <charconv>
#include <iterator>

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

std::string_view headerfields(std::string_view request, std::string_view target) {
  auto end = static_cast<std::size_t>(target.data() - request.data()) + target.size() + versionsuffix.size();
  return request.substr(end);
}

namespace {
bool equalsignoringcase(std::string_view a, std::string_view lowercase) {
  if (a.size() != lowercase.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowercase[i]) return false;
  }
  return true;
}

std::string_view trimmed(std::string_view value) {
  std::size_t first = value.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return value.substr(first, value.find_last_not_of(" \t") - first + 1);
}

// "127.0.0.1:<port>" or "localhost:<port>", the port exactly as given.
bool isthislistener(std::string_view host, std::string_view port) {
  if (host.size() <= port.size() || !host.ends_with(port) || host[host.size() - port.size() - 1] != ':') return false;
  std::string_view name = host.substr(0, host.size() - port.size() - 1);
  return name == "127.0.0.1" || equalsignoringcase(name, "localhost");
}
}  // namespace

bool istoplevelnavigation(std::string_view fields, unsigned short port) {
  char digits[8];
  auto printed = std::to_chars(std::begin(digits), std::end(digits), port);
  std::string_view porttext(digits, static_cast<std::size_t>(printed.ptr - digits));
  int hosts = 0;
  for (;;) {
    std::size_t end = fields.find("\r\n");
    if (end == std::string_view::npos) return false;  // cut off by the end of the read
    std::string_view line = fields.substr(0, end);
    fields.remove_prefix(end + 2);
    if (line.empty()) return hosts == 1;
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0 || line.find_first_of("\r\n") != std::string_view::npos)
      return false;
    std::string_view name = line.substr(0, colon);
    if (name.find_first_of(" \t") != std::string_view::npos) return false;
    std::string_view value = trimmed(line.substr(colon + 1));
    if (equalsignoringcase(name, "host")) {
      if (++hosts > 1 || !isthislistener(value, porttext)) return false;
    } else if (equalsignoringcase(name, "sec-fetch-dest")) {
      if (value != "document") return false;
    } else if (equalsignoringcase(name, "sec-fetch-mode")) {
      if (value != "navigate") return false;
    }
  }
}

// Feeds arbitrary bytes of one read to the sign-in listener's request parsing
// and checks what must hold for any input; a violation aborts the run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "authserver/httprequest.h"
#include "common/debuglog.h"

namespace {
void require(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::string_view request(reinterpret_cast<const char *>(data), size);
  std::optional<std::string_view> target = requesttarget(request);
  std::size_t get = request.find("GET ");
  std::size_t version = request.find(" HTTP/1.1\r\n");
  if (!target) {
    require(get == std::string_view::npos || version == std::string_view::npos || version < get + 4);
    return 0;
  }
  // The target is the part of this very read between the two markers.
  require(target->data() == request.data() + get + 4);
  require(target->data() + target->size() == request.data() + version);
  require(std::string_view(target->data() + target->size(), 11) == " HTTP/1.1\r\n");
  require(iscompleteauth(*target) == (target->substr(0, 22) == "/api/user/completeauth"));

  // The fields follow the request line; a navigation's end with a blank line
  // inside this read.
  std::string_view fields = headerfields(request, *target);
  require(fields.data() == target->data() + target->size() + 11);
  require(fields.data() + fields.size() == request.data() + request.size());
  if (istoplevelnavigation(fields, 25652))
    require(fields.starts_with("\r\n") || fields.find("\r\n\r\n") != std::string_view::npos);

  std::string line = loggable(*target);
  for (char c : line) {
    auto byte = static_cast<unsigned char>(c);
    require(byte >= 0x20 && byte != 0x7f);
  }
  require(line.size() >= target->size());
  return 0;
}

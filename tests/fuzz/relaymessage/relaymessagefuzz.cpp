// Feeds arbitrary bytes, as they would arrive on the relay's socket, to the
// message reader, and every message it returns to the relay's message
// splitting. A violated expectation aborts the run.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "protocol/relayframe.h"
#include "protocol/relaymessage.h"

namespace {
void require(bool condition) {
  if (!condition) std::abort();
}

// An in-memory file holding the bytes, read from its start.
int streamof(const std::uint8_t *data, std::size_t size) {
  const int fd = ::memfd_create("relaymessagefuzz", MFD_CLOEXEC);
  require(fd >= 0);
  require(::write(fd, data, size) == static_cast<ssize_t>(size));
  require(::lseek(fd, 0, SEEK_SET) == 0);
  return fd;
}

std::uint32_t lengthat(const std::uint8_t *p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The input up to the first frame that claims far more bytes than follow it.
// The reader makes room for a claimed length before reading (up to 64 MiB),
// which is correct but would spend the search on zeroing memory; such claims
// are a unit test's business.
std::size_t plausibleprefix(const std::uint8_t *data, std::size_t size) {
  constexpr std::size_t slack = 1 << 16;
  std::size_t at = 0;
  while (size - at >= 4) {
    const std::uint32_t length = lengthat(data + at);
    if (length > maxrelaymsg) break;
    if (length > size - at - 4 + slack) return at;
    if (length > size - at - 4) break;
    at += 4 + length;
  }
  return size;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  size = plausibleprefix(data, size);
  const int in = streamof(data, size);
  const int out = ::memfd_create("relaymessagefuzz-out", MFD_CLOEXEC);
  require(out >= 0);
  std::size_t at = 0;
  std::string payload = "before";
  for (;;) {
    const std::string previous = payload;
    const bool read = readpipemsg(in, payload);
    // Where the frame at `at` says a message should be, checked without the reader.
    const bool whole = size - at >= 4 && lengthat(data + at) <= maxrelaymsg && size - at - 4 >= lengthat(data + at);
    require(read == whole);
    if (!read) {
      // Nothing complete: the old payload stays when not even the length
      // arrived or it was refused, else the message's length is kept.
      if (size - at < 4 || lengthat(data + at) > maxrelaymsg)
        require(payload == previous);
      else
        require(payload.size() == lengthat(data + at));
      break;
    }
    const std::uint32_t length = lengthat(data + at);
    require(payload == std::string_view(reinterpret_cast<const char *>(data + at + 4), length));
    at += 4 + length;

    // Written back, the message is the same frame.
    require(writepipemsg(out, payload));

    // The relay's split: name before the first "|", argument after it,
    // each followed by a NUL.
    std::string split = payload;
    const relaycall call = splitmessage(split);
    const std::size_t bar = payload.find('|');
    if (bar == std::string::npos) {
      require(call.fn == payload && call.data.empty());
    } else {
      require(call.fn == std::string_view(payload).substr(0, bar) &&
              call.data == std::string_view(payload).substr(bar + 1));
    }
    require(call.fn.data()[call.fn.size()] == '\0' && call.data.data()[call.data.size()] == '\0');
    require(isfini(call) == (call.fn == "fini"));
  }
  // Everything read was written back byte for byte.
  std::string echoed(at, '\0');
  require(::lseek(out, 0, SEEK_SET) == 0);
  require(::read(out, echoed.data(), at) == static_cast<ssize_t>(at));
  require(echoed == std::string_view(reinterpret_cast<const char *>(data), at));
  ::close(in);
  ::close(out);
  return 0;
}

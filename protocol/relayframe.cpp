#include "protocol/relayframe.h"

#include <sys/uio.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/fdio.h"

bool writepipemsg(int fd, std::string_view payload) {
  if (payload.size() > maxrelaymsg) return false;
  const auto size = static_cast<std::uint32_t>(payload.size());
  const char length[4] = {static_cast<char>(size & 0xff), static_cast<char>((size >> 8) & 0xff),
                          static_cast<char>((size >> 16) & 0xff), static_cast<char>((size >> 24) & 0xff)};
  // Length and payload leave in one call, so that the peer wakes once per
  // message rather than once for each part.
  iovec parts[2] = {{const_cast<char *>(length), sizeof length}, {const_cast<char *>(payload.data()), payload.size()}};
  return sendall(fd, parts, payload.empty() ? 1 : 2);
}

bool readpipemsg(int fd, std::string &payload) {
  unsigned char length[4];
  if (!readall(fd, length, sizeof length)) return false;
  const std::uint32_t size = static_cast<std::uint32_t>(length[0]) | (static_cast<std::uint32_t>(length[1]) << 8) |
                             (static_cast<std::uint32_t>(length[2]) << 16) |
                             (static_cast<std::uint32_t>(length[3]) << 24);
  if (size > maxrelaymsg) return false;
  payload.resize(size);
  return size == 0 || readall(fd, payload.data(), size);
}

bool pipereader::fill() {
  if (at == end) at = end = 0;
  if (end == buffer.size()) {
    std::memmove(buffer.data(), buffer.data() + at, end - at);
    end -= at;
    at = 0;
  }
  const ssize_t n = readsomewhenready(fd, buffer.data() + end, buffer.size() - end, callspin);
  if (n <= 0) return false;
  end += static_cast<std::size_t>(n);
  return true;
}

bool pipereader::arrivedwithin(std::chrono::microseconds spin) {
  if (at == end) at = end = 0;
  if (end > at) return true;
  const ssize_t n = readsomewithin(fd, buffer.data(), buffer.size(), spin);
  if (n > 0) end = static_cast<std::size_t>(n);
  return n >= 0 || errno != EAGAIN;
}

bool pipereader::next(std::string &payload) {
  while (end - at < 4)
    if (!fill()) return false;
  const auto *length = reinterpret_cast<const unsigned char *>(buffer.data() + at);
  const std::uint32_t size = static_cast<std::uint32_t>(length[0]) | (static_cast<std::uint32_t>(length[1]) << 8) |
                             (static_cast<std::uint32_t>(length[2]) << 16) |
                             (static_cast<std::uint32_t>(length[3]) << 24);
  if (size > maxrelaymsg) return false;
  at += 4;
  // What has arrived is copied; the rest of a large message is read straight
  // into place.
  const std::size_t here = std::min<std::size_t>(size, end - at);
  payload.assign(buffer.data() + at, here);
  at += here;
  if (here == size) return true;
  payload.resize(size);
  return readall(fd, payload.data() + here, size - here);
}

#include "protocol/relayframe.h"

#include <sys/uio.h>

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

#include "plugins/pipemsg.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool writeall(int fd, const char *data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    // MSG_NOSIGNAL: a peer that has gone must fail the write, not end the
    // whole program with SIGPIPE. Plain write() for descriptors that are no
    // socket.
    ssize_t n = ::send(fd, data + done, size - done, MSG_NOSIGNAL);
    if (n < 0 && errno == ENOTSOCK) n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool readall(int fd, char *data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool writepipemsg(int fd, std::string_view payload) {
  const auto size = static_cast<std::uint32_t>(payload.size());
  const char length[4] = {static_cast<char>(size & 0xff), static_cast<char>((size >> 8) & 0xff),
                          static_cast<char>((size >> 16) & 0xff), static_cast<char>((size >> 24) & 0xff)};
  if (!writeall(fd, length, sizeof length)) return false;
  return payload.empty() || writeall(fd, payload.data(), payload.size());
}

bool readpipemsg(int fd, std::string &payload) {
  unsigned char length[4];
  if (!readall(fd, reinterpret_cast<char *>(length), sizeof length)) return false;
  const std::uint32_t size =
      static_cast<std::uint32_t>(length[0]) | (static_cast<std::uint32_t>(length[1]) << 8) |
      (static_cast<std::uint32_t>(length[2]) << 16) | (static_cast<std::uint32_t>(length[3]) << 24);
  if (size > maxpipemsg) return false;
  payload.resize(size);
  return size == 0 || readall(fd, payload.data(), size);
}

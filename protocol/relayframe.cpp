#include "protocol/relayframe.h"

#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Writes every byte of the buffers, continuing after partial writes.
bool writeall(int fd, iovec *parts, int count) {
  while (count > 0) {
    // MSG_NOSIGNAL: a peer that has gone must fail the write, not end the
    // whole program with SIGPIPE. Plain writev() for descriptors that are no
    // socket.
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = static_cast<std::size_t>(count);
    ssize_t n = ::sendmsg(fd, &message, MSG_NOSIGNAL);
    if (n < 0 && errno == ENOTSOCK) n = ::writev(fd, parts, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    auto done = static_cast<std::size_t>(n);
    while (count > 0 && done >= parts->iov_len) {
      done -= parts->iov_len;
      ++parts;
      --count;
    }
    if (count > 0) {
      parts->iov_base = static_cast<char *>(parts->iov_base) + done;
      parts->iov_len -= done;
    }
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
  // Length and payload leave in one call, so that the peer wakes once per
  // message rather than once for each part.
  iovec parts[2] = {{const_cast<char *>(length), sizeof length},
                    {const_cast<char *>(payload.data()), payload.size()}};
  return writeall(fd, parts, payload.empty() ? 1 : 2);
}

bool readpipemsg(int fd, std::string &payload) {
  unsigned char length[4];
  if (!readall(fd, reinterpret_cast<char *>(length), sizeof length)) return false;
  const std::uint32_t size =
      static_cast<std::uint32_t>(length[0]) | (static_cast<std::uint32_t>(length[1]) << 8) |
      (static_cast<std::uint32_t>(length[2]) << 16) | (static_cast<std::uint32_t>(length[3]) << 24);
  if (size > maxrelaymsg) return false;
  payload.resize(size);
  return size == 0 || readall(fd, payload.data(), size);
}

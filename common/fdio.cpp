#include "common/fdio.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "common/spinwait.h"

bool readall(int fd, void *data, std::size_t size) {
  auto *at = static_cast<char *>(data);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, at + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool readallat(int fd, std::int64_t offset, void *data, std::size_t size) {
  auto *at = static_cast<char *>(data);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, at + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool writeall(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

namespace {

// Moves `parts` on past the `done` bytes a transfer took.
void advance(iovec *&parts, int &count, std::size_t done) {
  while (count > 0 && done >= parts->iov_len) {
    done -= parts->iov_len;
    ++parts;
    --count;
  }
  if (count == 0) return;
  parts->iov_base = static_cast<char *>(parts->iov_base) + done;
  parts->iov_len -= done;
}

}  // namespace

bool sendall(int fd, iovec *parts, int count) {
  while (count > 0) {
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = static_cast<std::size_t>(count);
    ssize_t n = ::sendmsg(fd, &message, MSG_NOSIGNAL);
    if (n < 0 && errno == ENOTSOCK) n = ::writev(fd, parts, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    advance(parts, count, static_cast<std::size_t>(n));
  }
  return true;
}

bool writeall(int fd, iovec *parts, int count) {
  while (count > 0) {
    const ssize_t n = ::writev(fd, parts, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    advance(parts, count, static_cast<std::size_t>(n));
  }
  return true;
}

bool sendall(int fd, std::string_view data) {
  iovec part{const_cast<char *>(data.data()), data.size()};
  return sendall(fd, &part, data.empty() ? 0 : 1);
}

ssize_t readsome(int fd, void *data, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd, data, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

ssize_t readsomewhenready(int fd, void *data, std::size_t size, std::chrono::microseconds spin) {
  const ssize_t n = readsomewithin(fd, data, size, spin);
  if (n >= 0 || errno != EAGAIN) return n;
  pollfd p{fd, POLLIN, 0};
  while (::poll(&p, 1, -1) < 0)
    if (errno != EINTR) return -1;
  return readsome(fd, data, size);
}

ssize_t readsomewithin(int fd, void *data, std::size_t size, std::chrono::microseconds spin) {
  // Awake, each look at a socket is a read that does not wait: what has
  // arrived is taken by the same system call that finds it.
  ssize_t n = -1;
  int error = EAGAIN;
  spinuntil(spin, [&] {
    n = ::recv(fd, data, size, MSG_DONTWAIT);
    error = n < 0 ? errno : 0;
    return n >= 0 || (error != EAGAIN && error != EWOULDBLOCK && error != EINTR);
  });
  if (n >= 0) return n;
  if (error == ENOTSOCK) {
    // A pipe: asked whether it can be read instead.
    if (readablewithin(fd, spin)) return readsome(fd, data, size);
    error = EAGAIN;
  }
  errno = error == EWOULDBLOCK || error == EINTR ? EAGAIN : error;
  return -1;
}

bool readablewithin(int fd, std::chrono::microseconds spin) {
  return spinuntil(spin, [fd] {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
  });
}

int waitreadable(int fd, std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left.count() > 0 ? left.count() : 0));
    if (ready >= 0) return ready > 0 ? 1 : 0;
    if (errno != EINTR) return -1;
  }
}

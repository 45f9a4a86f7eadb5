#include "app/stderrlog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {
void writeall(int fd, const char *data, ssize_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data += n;
    size -= n;
  }
}
}  // namespace

stderrlog::stderrlog(const std::string &path) {
  file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (file < 0) return;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    ::close(file);
    file = -1;
    return;
  }
  original = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
  pipein = fds[0];
  ::dup2(fds[1], 2);  // descriptor 2 itself stays inheritable
  ::close(fds[1]);
  // The copier holds its own descriptors: it may outlive this object while a
  // sub-process still holds the pipe.
  copier = std::thread([in = pipein, out = original, log = file] {
    char buf[16384];
    for (;;) {
      const ssize_t n = ::read(in, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      writeall(out, buf, n);
      writeall(log, buf, n);
    }
  });
}

stderrlog::~stderrlog() {
  if (file < 0) return;
  // Put the original standard error back; the pipe then ends once
  // sub-processes holding it have gone, and the copier drains it first.
  ::dup2(original, 2);
  copier.detach();
}

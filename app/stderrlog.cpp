#include "app/stderrlog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "common/debuglog.h"
#include "common/fdio.h"

namespace {

// How long the start of a line waits for its end before it is passed on as
// it is.
constexpr std::chrono::milliseconds partialwait(100);

// Passes what arrives on `in` on to `out` and `log` in whole lines: the
// program writes its own lines straight to both (see setdebugtargets), and
// one of them must not land inside a line that a read cut in two. A full
// buffer without a line end, a start of a line that stays alone for a while
// and what is left at the end go out as they are.
void copylines(int in, int out, int log) {
  char buf[16384];
  std::size_t held = 0;
  for (;;) {
    if (held > 0 && waitreadable(in, partialwait) == 0) {
      writeboth(out, log, {buf, held});
      held = 0;
      continue;
    }
    const ssize_t n = readsome(in, buf + held, sizeof buf - held);
    if (n <= 0) break;
    held += static_cast<std::size_t>(n);
    std::size_t whole = held;
    while (whole > 0 && buf[whole - 1] != '\n') --whole;
    if (whole == 0 && held == sizeof buf) whole = held;
    if (whole == 0) continue;
    writeboth(out, log, {buf, whole});
    std::memmove(buf, buf + whole, held - whole);
    held -= whole;
  }
  writeboth(out, log, {buf, held});
}

}  // namespace

// Appending: the copier and the program's own lines write to the file side
// by side.
stderrlog::stderrlog(const std::string &path)
    : stderrlog(ownedfd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600))) {
}

stderrlog::stderrlog(ownedfd logfile) {
  file = logfile.release();
  if (file < 0) return;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    ::close(file);
    file = -1;
    return;
  }
  original = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
  pipein = fds[0];
  std::fflush(stderr);
  ::dup2(fds[1], 2);  // descriptor 2 itself stays inheritable
  ::close(fds[1]);
  // The copier holds its own descriptors and never closes them: it may
  // outlive this object while a sub-process still holds the pipe, and the
  // program's own lines may still be written to them.
  copier = std::thread([in = pipein, out = original, log = file] { copylines(in, out, log); });
  setdebugtargets(original, file);
}

stderrlog::~stderrlog() {
  if (file < 0) return;
  // Put the original standard error back; the pipe then ends once
  // sub-processes holding it have gone, and the copier drains it first.
  setdebugtargets(-1, -1);
  ::dup2(original, 2);
  copier.detach();
}

#pragma once

#include <unistd.h>

#include <utility>

// A file descriptor this object owns: closed when the object ends or takes
// another one; moved, never copied. -1 holds nothing.
class ownedfd {
 public:
  ownedfd() = default;
  explicit ownedfd(int fd) : fd_(fd) {}
  ~ownedfd() { reset(); }
  ownedfd(ownedfd &&other) noexcept : fd_(other.release()) {}
  ownedfd &operator=(ownedfd &&other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ownedfd(const ownedfd &) = delete;
  ownedfd &operator=(const ownedfd &) = delete;

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // Hands the descriptor over without closing it.
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

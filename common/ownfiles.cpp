#include "common/ownfiles.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::string why(const std::string &what) { return what + ": " + std::strerror(errno); }

// Makes every missing directory of `dir` with mode 0700 (exactly: the umask
// may take bits from what mkdir is asked for).
bool makedirs(const std::string &dir, std::string &problem) {
  for (std::size_t at = dir.find('/', 1);; at = dir.find('/', at + 1)) {
    const std::string part = dir.substr(0, at);
    if (!part.empty() && part.back() != '/') {
      if (::mkdir(part.c_str(), 0700) == 0) {
        ::chmod(part.c_str(), 0700);
      } else if (errno != EEXIST) {
        problem = why("cannot create " + part);
        return false;
      }
    }
    if (at == std::string::npos) return true;
  }
}

bool plainname(const std::string &name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// A name part others cannot guess. Should the kernel give no random bytes,
// the attempt number still makes each try's name a new one; O_EXCL makes the
// file new whatever its name.
std::string randomsuffix(int attempt) {
  static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char bytes[8] = {};
  (void)::getrandom(bytes, sizeof bytes, 0);
  bytes[0] ^= static_cast<unsigned char>(attempt);
  std::string s;
  for (unsigned char b : bytes) s += letters[b % (sizeof letters - 1)];
  return s;
}

}  // namespace

ownedfd openowndir(const std::string &dir, std::string &problem) {
  if (dir.empty()) {
    problem = "there is no directory";
    return {};
  }
  if (!makedirs(dir, problem)) return {};
  ownedfd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) {
    // ENOTDIR: a file stands where the directory would be made.
    problem = why((errno == ENOTDIR ? "cannot create " : "cannot open ") + dir);
    return {};
  }
  // Checked on the directory opened, so it cannot change in between.
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    problem = why("cannot examine " + dir);
    return {};
  }
  if (st.st_uid != ::geteuid()) {
    problem = dir + " belongs to uid " + std::to_string(st.st_uid) + ", not to this user (uid " +
              std::to_string(::geteuid()) + ")";
    return {};
  }
  return fd;
}

replacementfile::~replacementfile() { discard(); }

replacementfile::replacementfile(replacementfile &&other) noexcept { *this = std::move(other); }

replacementfile &replacementfile::operator=(replacementfile &&other) noexcept {
  if (this == &other) return *this;
  discard();
  dirfd = std::move(other.dirfd);
  file = std::move(other.file);
  name = std::move(other.name);
  tempname = std::move(other.tempname);
  target = std::move(other.target);
  temporary = std::move(other.temporary);
  committed = other.committed;
  other.committed = false;
  return *this;
}

replacementfile replacementfile::create(const std::string &dir, const std::string &name, mode_t mode,
                                        std::string &problem) {
  replacementfile r;
  if (!plainname(name)) {
    problem = "\"" + name + "\" is not a plain file name";
    return r;
  }
  r.dirfd = openowndir(dir, problem);
  if (!r.dirfd) return r;
  for (int attempt = 0; attempt < 100 && !r.file; ++attempt) {
    r.tempname = "." + name + "." + randomsuffix(attempt);
    r.file.reset(::openat(r.dirfd.get(), r.tempname.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!r.file && errno != EEXIST) break;
  }
  if (!r.file) {
    problem = why("cannot create a file in " + dir);
    r.dirfd.reset();
    return r;
  }
  ::fchmod(r.file.get(), mode);
  r.name = name;
  r.target = dir + "/" + name;
  r.temporary = dir + "/" + r.tempname;
  return r;
}

bool replacementfile::commit(std::string &problem) {
  if (!file || committed) {
    problem = "no file to put in place";
    return false;
  }
  if (::renameat(dirfd.get(), tempname.c_str(), dirfd.get(), name.c_str()) != 0) {
    problem = why("cannot replace " + target);
    return false;
  }
  committed = true;
  return true;
}

ownedfd replacementfile::readonly() const {
  if (!file) return {};
  return ownedfd(::open(("/proc/self/fd/" + std::to_string(file.get())).c_str(), O_RDONLY | O_CLOEXEC));
}

void replacementfile::discard() {
  if (file && !committed && dirfd) ::unlinkat(dirfd.get(), tempname.c_str(), 0);
  file.reset();
  dirfd.reset();
  committed = false;
}

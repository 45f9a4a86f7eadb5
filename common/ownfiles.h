#pragma once

#include <sys/types.h>

#include <string>

#include "common/ownedfd.h"

// The program's own directories and the files it downloads into them.

// Opens the directory `dir` for this user's files, making it (and any
// missing parent) with mode 0700 when absent. An existing directory is used
// only when it belongs to this user: one another user owns (or a symbolic
// link leading there) could be read or changed by them. Returns the open
// directory, or nothing with the reason in `problem`.
ownedfd openowndir(const std::string &dir, std::string &problem);

// A file written in place of dir/name without touching that file until it is
// complete: a new file ".name.XXXXXX" in the same directory, made with
// O_CREAT|O_EXCL|O_NOFOLLOW (so nothing planted there is followed or
// reused), which then replaces dir/name by rename. Whoever still has the old
// file open or loaded keeps it unchanged; it is never truncated in place.
// Until committed, the new file is removed when the object ends.
class replacementfile {
 public:
  replacementfile() = default;
  ~replacementfile();
  replacementfile(replacementfile &&other) noexcept;
  replacementfile &operator=(replacementfile &&other) noexcept;
  replacementfile(const replacementfile &) = delete;
  replacementfile &operator=(const replacementfile &) = delete;

  // Makes the new file, open for reading and writing, with `mode` exactly.
  // `dir` is opened with openowndir; `name` must be a plain file name (not
  // empty, ".", ".." or holding '/'). Nothing, with the reason in
  // `problem`, when either cannot be made.
  static replacementfile create(const std::string &dir, const std::string &name, mode_t mode, std::string &problem);

  explicit operator bool() const { return bool(file); }
  int fd() const { return file.get(); }
  // Where the file is: the new name until committed, then the target.
  const std::string &path() const { return committed ? target : temporary; }
  const std::string &targetpath() const { return target; }

  // Renames the file over the target. The descriptor stays open on it.
  bool commit(std::string &problem);
  // A new read-only descriptor of the same file (close-on-exec).
  ownedfd readonly() const;

 private:
  void discard();

  ownedfd dirfd;
  ownedfd file;
  std::string name;       // within the directory
  std::string tempname;   // within the directory
  std::string target;     // full path
  std::string temporary;  // full path
  bool committed = false;
};

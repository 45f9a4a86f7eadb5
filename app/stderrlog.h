#pragma once

#include <string>
#include <thread>

#include "common/ownedfd.h"

// Copies everything written to standard error (the program's debug output,
// the browser engine's verbose log, and that of its sub-processes, which
// inherit the descriptor) into a log file as well. Standard error becomes a
// pipe; a thread passes it on, in whole lines, to the original standard error
// and the file, while the program's own debug lines are written to both
// directly. Without the file, standard error is left alone.
class stderrlog {
 public:
  // Takes the log file open for appending (see common/logfile.h).
  explicit stderrlog(ownedfd logfile);
  // Opens `path` afresh: never through a symbolic link, mode 0600.
  explicit stderrlog(const std::string &path);
  ~stderrlog();
  stderrlog(const stderrlog &) = delete;
  stderrlog &operator=(const stderrlog &) = delete;

 private:
  int original = -1;  // the original standard error
  int file = -1;
  int pipein = -1;  // read end of the pipe now behind descriptor 2
  std::thread copier;
};

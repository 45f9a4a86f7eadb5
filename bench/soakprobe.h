#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// What the soak watches in its own process, read from /proc.
struct processusage {
  long fds = 0;      // open file descriptors
  long threads = 0;  // threads of the process
  long rsskib = 0;   // resident set size
};
processusage currentusage();
std::string describe(const processusage &u);

// Children of this process whose command name (comm) is `name`.
std::vector<pid_t> childrennamed(const std::string &name);
// All children of this process that still exist (zombies included).
std::vector<pid_t> children();

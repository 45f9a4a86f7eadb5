#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

enum class spawnmode {
  // A helper of this program: it keeps this process's session, signal mask
  // and ignored signals.
  child,
  // A program that outlives this one: a session of its own, the default
  // signal dispositions, an empty signal mask, and as its standard error the
  // terminal's (debugterminal), not a log copier's pipe, which breaks when
  // this program ends and would then kill it at its next write.
  detached,
};

// Starts the program at the path argv[0] (not looked up in PATH) with these
// arguments and this process's environment. Only standard input, output and
// error are inherited: descriptors other threads opened without
// close-on-exec stay here. Returns 0 with the new process id in `pid`, or the
// error number.
int spawnprocess(const std::vector<std::string> &argv, spawnmode mode, pid_t &pid);
// The same, and the new process also gets `passfd` as its descriptor 3.
int spawnprocess(const std::vector<std::string> &argv, spawnmode mode, pid_t &pid, int passfd);

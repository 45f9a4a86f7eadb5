#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "common/ownedfd.h"

// An update waiting for the end of shutdown: the installer's command line
// (for its arguments and the debug output) and the installer file that was
// checked, kept open so that the file started is that one, whatever has
// since been put under its name.
struct pendingupdate {
  std::string command;
  ownedfd installer;

  explicit operator bool() const { return bool(installer); }
};

// Starts a pending update at the end of shutdown: the command line is split
// as a shell would (splitcommandline) and the program started is the open
// file `installer` (it must be executable), not the path the command names:
// it is given to the new process as descriptor 3 and started as
// /proc/self/fd/3, which is also its argv[0] (a script's interpreter reads the
// script from there: that is its $0). A session of its own, no other
// descriptors, the caller's environment; not waited for. Returns the new
// process id, or -1 when nothing could be started.
pid_t startupdate(const pendingupdate &update);

// Starts the program again when the update's installer could not be started
// at the end of shutdown (the file vanished, exec failed), so that the user
// is not left without it. The new copy starts as the program ends: declared
// before the application object and the standard-error copier, this object
// goes after them, once the browser engine has let go of the profile, the
// command socket has long been closed (the new copy must not hand over to
// this one) and standard error is the original one again.
class restartonexit {
 public:
  // `executable` with `arguments` (without the program name).
  restartonexit(std::string executable, std::vector<std::string> arguments);
  // Starts it, in a session of its own, when asked to.
  ~restartonexit();
  restartonexit(const restartonexit &) = delete;
  restartonexit &operator=(const restartonexit &) = delete;

  void request();

 private:
  std::vector<std::string> argv;
  bool requested = false;
};

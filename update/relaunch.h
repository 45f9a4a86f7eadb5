#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Starts a pending update's command line (the one the updater scheduled) at
// the end of shutdown: splits it as a shell would (splitcommandline), makes the
// program it names executable by its owner (a downloaded installer arrives
// without that bit) and starts it in a session of its own, with no
// descriptors but the standard three and the caller's environment. Does not
// wait. Returns the new process id, or -1 when nothing could be started.
pid_t startupdatecommand(const std::string &command);

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

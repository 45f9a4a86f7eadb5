#pragma once

#include <string>
#include <string_view>

#include "common/ownedfd.h"

// The debug log's file name.
inline constexpr std::string_view debuglogname = "cef_debug.log";

// Starts a new run's log `name` in the directory open as `dirfd`: the file of
// the run before becomes `name.1` (replacing the one before that), and
// `name` is created afresh, mode 0600. An existing file is never opened, so
// neither a symbolic link planted there nor another user's file is written
// through. -1 (errno set) when the file cannot be created.
int startrunlog(int dirfd, std::string_view name);

// The per-user directory for the log where the executable's directory cannot
// take it: $XDG_STATE_HOME/orvalink-desktop, ~/.local/state/orvalink-desktop
// without an absolute $XDG_STATE_HOME; empty when neither is known.
std::string statelogdir(std::string_view xdgstatehome, std::string_view home);

// The debug log of this run, open for appending; `fd` holds nothing when
// there is none. `note` says why the executable's directory was not used.
struct runlog {
  ownedfd fd;
  std::string path;
  std::string note;
};
// Beside the executable (`exedir`) when a new log can be made there,
// otherwise in `statedir` (see statelogdir), which is made mode 0700 when
// absent and used only when it is this user's (common/ownfiles.h).
runlog opendebuglog(const std::string &exedir, const std::string &statedir);
// The same with this process's environment.
runlog opendebuglog(const std::string &exedir);

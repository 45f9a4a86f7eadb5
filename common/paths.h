#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <string_view>

// The running program's own file (from /proc/self/exe); empty when it cannot
// be read.
std::string executablepath();

// The directory of the executable: its full path cut before the last '/' or
// '\'; a path with neither is used whole.
std::string exedirof(std::string_view exepath);

// The directory handed to the script host: the path cut after its last '/',
// keeping that separator; empty when the path has none.
std::string settingsdirof(std::string_view exepath);

// Name of the program's own folder inside the data root.
inline constexpr const char *productname = "orvalink Desktop for Windows";

// The data directory for a `qxmode` value: per user (non-zero) under
// LOCALAPPDATA, for all users (zero) under ALLUSERSPROFILE. `localappdata`
// and `allusersprofile` are those variables' values (empty when unset);
// `xdgdatahome` is where both fall back to on this desktop.
std::string datadirectoryfor(long long qxmode, std::string_view localappdata, std::string_view allusersprofile,
                             std::string_view xdgdatahome);

// The same, reading the environment ($XDG_DATA_HOME, default ~/.local/share).
std::string datadirectory(long long qxmode);

// Where the program's sockets go (the command socket, the plugin relays'
// directories): $XDG_RUNTIME_DIR when it names a directory this user can
// write to, otherwise /tmp. Without a trailing '/'.
std::string runtimedir();

// Why the directory entry `st` (from lstat, which does not follow a symbolic
// link) may not hold sockets meant for user `euid` alone; empty when it is a
// directory that user owns with mode 0700, which no other user can enter,
// replace or plant a file in.
std::string privatedirproblem(const struct stat &st, uid_t euid);

// A directory for sockets only this user may reach (the command socket).
// `dir` is empty when there is none, and `problem` then says why.
struct privatedir {
  std::string dir;
  std::string problem;
};
// `xdgruntimedir` when it is an absolute path to a private directory of
// `euid` (a session's runtime directory is one); otherwise
// `<fallbackbase>/orvalink-desktop-<euid>`, made with mode 0700 when absent.
// A fallback that exists but is not private (another user made it first, it
// is a symbolic link, its mode was changed) is refused, never used or
// repaired: whoever controls it could receive what later starts send.
privatedir privateruntimedirin(std::string_view xdgruntimedir, std::string_view fallbackbase, uid_t euid);
// The same for this process: $XDG_RUNTIME_DIR, /tmp, geteuid().
privatedir privateruntimedir();

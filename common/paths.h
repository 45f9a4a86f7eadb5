#pragma once

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

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Starting the program at login: an XDG autostart entry, which desktops run
// when the user logs in, written or removed by "--autostart=on|off".

// The value of --autostart: true for "on", false for "off", nothing else.
std::optional<bool> autostartwanted(std::string_view value);

// Where the entry goes: <config>/autostart/orvalink-desktop.desktop, with
// <config> $XDG_CONFIG_HOME when that is an absolute path (the only kind the
// XDG rules allow), else $HOME/.config. Empty when neither is usable.
std::string autostartpath(std::string_view xdgconfighome, std::string_view home);

// The entry's text: a desktop entry that starts `program` with `arguments`.
// Nothing when a word holds what an Exec line cannot carry (control
// characters, text that is no UTF-8).
std::optional<std::string> autostartentry(std::string_view program, const std::vector<std::string> &arguments);

// Writes `entry` to `path` (through a new file renamed over it, so a reader
// never sees half of it and a link there is replaced, not followed; missing
// directories are made with mode 0700) or removes the file at `path`; a
// missing file counts as removed. Returns why it failed, empty on success.
std::string setautostart(bool on, const std::string &path, std::string_view entry);

// The whole option for this process: the environment's path, this
// executable, the message on standard output or error. The exit status:
// 0 done, 1 failed, 2 a value other than on or off.
int runautostart(std::string_view value, const std::optional<std::string> &serviceorigin);

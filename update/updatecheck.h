#pragma once

#include <string>

// The installer's file name in downloaddir(); every update overwrites it.
inline constexpr const char *installerfile = "qx_desktop.exe";
// Switches for a silent install into the program's own folder. The text
// begins and ends with a space; the backslash in the quoted argument is kept
// by the command-line splitting and reaches the installer as it is.
inline constexpr const char *installerswitches =
    " /SP- /verysilent /noicons \"/dir=expand:{pf32}\\orvalink Desktop for Windows\" ";
// Shown by the shutdown sequence when an update is pending.
inline constexpr const char *updatingtext =
    "orvalink Desktop for Windows is updating, please wait whilst we restart.";

// The installer file of `version` on the service at `origin` (no trailing
// slash); the version text is used exactly as given.
std::string updateurl(const std::string &origin, const std::string &version);

// The command line that runs the downloaded installer silently: its path,
// quoted only when a shell would split or change it (the data directory's
// name holds spaces), followed directly by installerswitches.
std::string installercommand(const std::string &installerpath);

// "winRunUpdate" from the page, with the version the service offers. When it
// is newer than this build, downloads its installer; once the download has
// completed intact, stores the command in appglobals::updatecommand and ends
// the event loop, so that shutdown starts it. Every outcome is told with a
// tray balloon. While an installer download runs (or an update is already
// scheduled) a further request is refused with a balloon. UI thread only.
void runupdate(const std::string &version);

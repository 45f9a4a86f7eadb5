#include "app/usage.h"

#include "common/buildconfig.h"

std::string helptext() {
  return std::string(
             "Usage: orvalink-desktop [options] [tel:NUMBER | sip:NUMBER@HOST | callto:NUMBER]\n"
             "\n"
             "Tray-resident desktop companion for the orvalink telephony service: shows the\n"
             "service's page in a small window and gives it native powers. Only one copy runs\n"
             "per user and display; starting it again brings the running copy to the front.\n"
             "\n"
             "  tel:NUMBER, sip:..., callto:...\n"
             "                          have the page dial the number (started first when\n"
             "                          the program is not running)\n"
             "  --service-origin=URL    use this service instead of ") +
         buildconfig::serviceorigin +
         "\n"
         "  --command=N             post window command N (104 About, 105 Exit, 15101 call\n"
         "                          the clipboard, or \"hide\") to the running copy\n"
         "  --hotkey=NAME           have the running copy run its hotkey NAME as if pressed\n"
         "                          (a desktop keybinding runs this where hotkeys cannot\n"
         "                          be grabbed); never starts the program\n"
         "  --autostart=on|off      start the program at login, or no longer, and exit:\n"
         "                          writes or removes orvalink-desktop.desktop in\n"
         "                          ${XDG_CONFIG_HOME:-~/.config}/autostart\n"
         "  --no-sandbox            run the browser engine without its sandbox (also\n"
         "                          ORVALINK_NO_SANDBOX=1; always off when run as root)\n"
         "  --help                  print this help and exit\n"
         "  --version               print the version and exit\n"
         "  --webEngineArgs ...     everything after this goes to the browser engine\n"
         "\n"
         "Files: settings.lua and automation.lua beside the executable; browser data,\n"
         "downloads and plugins in \"$LOCALAPPDATA/orvalink Desktop for Windows\" (per user)\n"
         "or \"$ALLUSERSPROFILE/...\" (qxmode = qx.ALLUSERS), both falling back to\n"
         "${XDG_DATA_HOME:-~/.local/share}; debug output on standard error, also copied to\n"
         "cef_debug.log beside the executable when that directory is writable, otherwise\n"
         "to ${XDG_STATE_HOME:-~/.local/state}/orvalink-desktop/cef_debug.log (the run\n"
         "before in cef_debug.log.1).\n"
         "\n"
         "Exit status: 0 success, 1 the running copy could not be reached or the autostart\n"
         "entry could not be written or removed, 2 bad arguments.\n";
}

std::string versiontext() { return std::string("orvalink-desktop ") + buildconfig::version + "\n"; }

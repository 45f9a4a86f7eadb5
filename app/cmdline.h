#pragma once

#include <optional>
#include <string>
#include <vector>

// The program's own switches; everything else is passed on to Qt and the
// browser engine.
struct cmdline {
  std::optional<std::string> serviceorigin;  // --service-origin=URL
  std::optional<std::string> command;        // --command=N: post N to the running copy
  std::optional<std::string> hotkey;         // --hotkey=NAME: press the running copy's hotkey NAME
  std::optional<std::string> autostart;      // --autostart=on|off (a bare --autostart: empty)
  bool help = false;                         // --help
  bool version = false;                      // --version
  bool nosandbox = false;                    // --no-sandbox: the browser engine's sandbox off
  std::optional<std::string> dialuri;        // the first tel:, sip: or callto: link
  std::vector<std::string> rest;             // argv[0] and the other arguments, in order
};

cmdline parsecmdline(const std::vector<std::string> &argv);

// The service origin as the program uses it: no trailing slashes.
std::string normaliseorigin(std::string origin);

// Arguments for QApplication: the given ones, then (after --webEngineArgs,
// added when absent) the engine switches and the engine's verbose log file
// (`logpath`, the debug log; none when empty).
std::vector<std::string> engineargs(const std::vector<std::string> &rest, const std::string &logpath);

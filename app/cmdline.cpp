#include "app/cmdline.h"

#include <algorithm>

#include "app/dialuri.h"
#include "app/windowevents.h"

cmdline parsecmdline(const std::vector<std::string> &argv) {
  cmdline c;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    const std::string &a = argv[i];
    if (i > 0 && a.starts_with("--service-origin="))
      c.serviceorigin = normaliseorigin(a.substr(17));
    else if (i > 0 && a.starts_with("--command="))
      c.command = a.substr(10);
    else if (i > 0 && a.starts_with("--hotkey="))
      c.hotkey = a.substr(9);
    else if (i > 0 && (a.starts_with("--autostart=") || a == "--autostart"))
      c.autostart = a.size() > 12 ? a.substr(12) : std::string();
    else if (i > 0 && a == "--help")
      c.help = true;
    else if (i > 0 && a == "--version")
      c.version = true;
    else if (i > 0 && a == "--no-sandbox")
      c.nosandbox = true;
    else if (i > 0 && isdialuri(a))
      c.dialuri = c.dialuri.value_or(a);
    else
      c.rest.push_back(a);
  }
  return c;
}

std::string normaliseorigin(std::string origin) {
  while (!origin.empty() && origin.back() == '/') origin.pop_back();
  return origin;
}

std::vector<std::string> engineargs(const std::vector<std::string> &rest, const std::string &logpath) {
  std::vector<std::string> args = rest;
  if (std::find(args.begin(), args.end(), "--webEngineArgs") == args.end()) args.emplace_back("--webEngineArgs");
  for (const std::string &s : engineswitches()) args.push_back(s);
  args.emplace_back("--enable-logging");
  if (!logpath.empty()) args.push_back("--log-file=" + logpath);
  args.emplace_back("--v=1");
  return args;
}

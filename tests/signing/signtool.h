#pragma once

// scripts/sign, run by the tests as a service operator runs it.

#include <cstdio>
#include <string>

// Runs scripts/sign with `arguments`; the last line it printed.
inline std::string sign(const std::string &arguments) {
  std::string out;
  if (FILE *p = ::popen((std::string(SIGNSCRIPT) + " " + arguments).c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
    ::pclose(p);
  }
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out.substr(out.rfind('\n') + 1);
}

#pragma once

#include <string>

// Windows plugins: PE libraries (they begin with "MZ"), which the program
// serves through orvawinehost under Wine (qxp::runthroughwine) rather than
// loading them or passing them to modrelay.
bool ispefile(const std::string &path);

// The Windows plugin host beside the program: "orvawinehost.exe.so", or
// "orvawinehost32.exe.so" for 32-bit plugins.
std::string winehostpath(const std::string &programdir, bool is64);

// Whether 32-bit Windows plugins can run here: the 32-bit host exists and a
// 32-bit Wine starts it. Asked once per process; later calls give the first
// answer.
bool wine32available(const std::string &host32, const std::string &prefix);

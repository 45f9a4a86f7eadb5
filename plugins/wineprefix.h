#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Wine's programs: the 64-bit loader and the server.
struct winetools {
  std::string loader;
  std::string server;
};

// Wine's 64-bit loader and server: "wine64" and "wineserver" found in PATH,
// else in /usr/lib/wine (where Debian's wine64 package puts them); nothing
// when Wine is not installed.
std::optional<winetools> findwine();

// The environment words (for /usr/bin/env) that run Wine in `prefix`: no
// display (no window and no first-run dialog can appear), neither the .NET
// nor the browser engine installers, no menu entries, and Wine's own debug
// output off unless `winedebug` (the user's WINEDEBUG) asks for some.
std::vector<std::string> wineenvironment(const std::string &prefix, const char *winedebug);

// The Wine prefix Windows plugins run in, owned by the program: a private
// directory made on first use, and one wineserver kept running for it from
// then until stop(), so that each plugin host starts in milliseconds rather
// than a second. Thread-safe: plugin workers call ready() and command().
class wineprefix {
 public:
  // `creating` is called (on the calling worker) before a first creation,
  // which takes seconds.
  wineprefix(std::string directory, std::function<void()> creating);
  ~wineprefix();
  wineprefix(const wineprefix &) = delete;
  wineprefix &operator=(const wineprefix &) = delete;

  // Makes the prefix ready once: false with the reason when Wine is missing
  // or the prefix cannot be made. Later calls give the first answer.
  bool ready(std::string &why);
  // The command that runs the Winelib program `program` in this prefix.
  std::vector<std::string> command(const std::string &program) const;
  // Stops the prefix's wineserver (and any plugin host still in it).
  void stop();
  const std::string &directory() const { return dir; }

 private:
  bool prepare(std::string &why);
  // Runs one of Wine's programs in the prefix and waits for it.
  bool runwine(std::vector<std::string> words, int waitseconds, int &code);

  std::string dir;
  std::function<void()> creating;
  std::mutex lock;
  std::optional<bool> outcome;
  std::string failure;
  winetools tools;
  bool serving = false;
};

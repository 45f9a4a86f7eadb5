// The sign-in listener on its own, for the listener benchmark: listens on the
// loopback port given (0: any free one), prints the bound port on a line of
// its own, and runs until its standard input ends; then prints how many
// completions the page would have been told of. The listener's debug output
// goes to standard error and, with a log file given, is copied into it by a
// thread, as the program does.
//
//   signinhost PORT [LOGFILE]
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "app/stderrlog.h"
#include "authserver/callbackserver.h"

int main(int argc, char **argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: signinhost PORT [LOGFILE]\n");
    return 2;
  }
  std::optional<stderrlog> debuglog;
  if (argc == 3) debuglog.emplace(argv[2]);
  std::atomic<long> completions{0};
  callbackserverconfig config;
  config.port = static_cast<unsigned short>(std::atoi(argv[1]));
  config.notify = [&completions](pagemessage) { completions.fetch_add(1, std::memory_order_relaxed); };
  auto server = startcallbackserver(config);
  if (!server->listening()) return 1;
  std::printf("%u\n", server->port());
  std::fflush(stdout);
  for (std::string line; std::getline(std::cin, line);) {
  }
  stopcallbackserver(std::move(server));
  std::printf("%ld\n", completions.load());
  return 0;
}

#include "common/debuglog.h"

#include <cstdio>
#include <string>

void debugout(std::string_view line) {
  std::string whole(line);
  whole += '\n';
  // One fwrite per line: stdio locks the stream for the call.
  std::fwrite(whole.data(), 1, whole.size(), stderr);
  std::fflush(stderr);
}

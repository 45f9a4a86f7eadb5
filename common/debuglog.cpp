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

void debugout(std::initializer_list<std::string_view> lines) {
  std::string whole;
  for (std::string_view line : lines) {
    whole += line;
    whole += '\n';
  }
  std::fwrite(whole.data(), 1, whole.size(), stderr);
  std::fflush(stderr);
}

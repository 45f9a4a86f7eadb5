#include "bench/soakprobe.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
long countentries(const char *dir) {
  long n = 0;
  std::error_code error;
  for (auto it = std::filesystem::directory_iterator(dir, error);
       !error && it != std::filesystem::directory_iterator(); it.increment(error))
    ++n;
  return n;
}

long statusfield(const std::string &field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with(field + ":")) return std::stol(line.substr(field.size() + 1));
  return -1;
}

// Parent pid and command name of a process, from /proc/<pid>/stat (the name
// is in parentheses and may itself contain spaces or parentheses).
bool readstat(pid_t pid, pid_t &parent, std::string &comm) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(in, stat)) return false;
  const auto open = stat.find('('), close = stat.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return false;
  comm = stat.substr(open + 1, close - open - 1);
  std::istringstream rest(stat.substr(close + 1));
  std::string state;
  rest >> state >> parent;
  return static_cast<bool>(rest);
}
}  // namespace

processusage currentusage() {
  processusage u;
  // The directory stream itself holds one descriptor while it is read.
  u.fds = countentries("/proc/self/fd") - 1;
  u.threads = countentries("/proc/self/task");
  u.rsskib = statusfield("VmRSS");
  return u;
}

std::string describe(const processusage &u) {
  return std::to_string(u.fds) + " fds, " + std::to_string(u.threads) + " threads, " +
         std::to_string(u.rsskib) + " KiB resident";
}

std::vector<pid_t> childrennamed(const std::string &name) {
  std::vector<pid_t> found;
  const pid_t self = ::getpid();
  std::error_code error;
  for (auto it = std::filesystem::directory_iterator("/proc", error);
       !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    const std::string entry = it->path().filename().string();
    if (entry.find_first_not_of("0123456789") != std::string::npos) continue;
    pid_t parent = 0;
    std::string comm;
    const pid_t pid = static_cast<pid_t>(std::stol(entry));
    if (readstat(pid, parent, comm) && parent == self && (name.empty() || comm == name)) found.push_back(pid);
  }
  return found;
}

std::vector<pid_t> children() { return childrennamed(""); }

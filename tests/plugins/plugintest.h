#pragma once

// Helpers shared by the plugin tests.

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "common/fdio.h"
#include "common/ownfiles.h"
#include "protocol/pagemessage.h"

// A private directory, removed with everything in it at the end of the test.
class scratchdir {
 public:
  scratchdir() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/orvaplugintest.XXXXXX";
    dir = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~scratchdir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  std::string path(const std::string &name) const { return dir + "/" + name; }
  // A fresh copy of a test plugin: each copy is loaded (and logs) on its own,
  // as a downloaded plugin file would be.
  std::string copyplugin(const std::string &source, const std::string &name) const {
    std::filesystem::copy_file(source, path(name), std::filesystem::copy_options::overwrite_existing);
    return path(name);
  }
  std::string dir;
};

// What a downloader hands over: a copy of `source` in a new file beside
// dir/name, not yet in place.
inline replacementfile downloadof(const std::string &dir, const std::string &name, const std::string &source) {
  std::string problem;
  replacementfile file = replacementfile::create(dir, name, 0600, problem);
  std::ifstream in(source, std::ios::binary);
  writeall(file.fd(), std::string(std::istreambuf_iterator<char>(in), {}));
  return file;
}

// The calls a test plugin copy has seen, one "name|argument" per entry.
inline std::vector<std::string> pluginlog(const std::string &library) {
  std::ifstream in(library + ".log");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Collects messages sent to the page from any thread.
class pagerecorder {
 public:
  void operator()(pagemessage m) {
    std::lock_guard<std::mutex> lock(guard);
    messages.push_back(std::move(m));
    changed.notify_all();
  }
  // Waits until `count` messages have arrived (or a few seconds have passed)
  // and returns all received so far.
  std::vector<pagemessage> waitfor(std::size_t count, std::chrono::milliseconds wait = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> lock(guard);
    changed.wait_for(lock, wait, [&] { return messages.size() >= count; });
    return messages;
  }
  std::vector<pagemessage> received() {
    std::lock_guard<std::mutex> lock(guard);
    return messages;
  }

 private:
  std::mutex guard;
  std::condition_variable changed;
  std::vector<pagemessage> messages;
};

// (request id, result) of every "qxpCallCompleted" among the messages.
inline std::vector<std::pair<std::string, std::string>> answersof(const std::vector<pagemessage> &messages) {
  std::vector<std::pair<std::string, std::string>> answers;
  for (const pagemessage &m : messages)
    if (m.name == "qxpCallCompleted") answers.emplace_back(m.getstring(0), m.getstring(1));
  return answers;
}

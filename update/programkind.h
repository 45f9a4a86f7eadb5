#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// What a downloaded installer is, as far as starting it on this machine goes.
struct programkind {
  // It can be started here: an ELF program for this machine's architecture
  // (complete as far as its headers tell), or a script whose "#!" line names
  // an installed interpreter.
  bool runshere = false;
  // What the file is, for the debug output: "an ELF program for x86-64,
  // 64-bit", "a Windows program (PE)", "an empty file" ...
  std::string what;
};

// How much of a file classifyprogram needs to see.
inline constexpr std::size_t programheadbytes = 4096;

// Judges a file from its first bytes (`head`: the first programheadbytes, or
// the whole file when it is shorter) and its size in bytes. A script's
// interpreter must be an absolute path to an executable file; for
// "#!/usr/bin/env NAME", NAME is looked up in `searchpath` (the form of
// $PATH) as env would.
programkind classifyprogram(std::string_view head, std::uint64_t size, std::string_view searchpath);

// The same for the open file `fd` (read from its start; its position is
// left alone), with $PATH; "an unreadable file" when it cannot be read.
programkind classifydescriptor(int fd);

#include "update/programkind.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

using namespace std::string_literals;

// The start of an ELF file of another machine: class, byte order (1 little-,
// 2 big-endian) and the machine number in that order.
std::string elfheader(char cls, char data, unsigned machine) {
  std::string h(64, '\0');
  h.replace(0, 4, "\177ELF");
  h[4] = cls;
  h[5] = data;
  h[6] = 1;
  h[data == 1 ? 18 : 19] = static_cast<char>(machine & 0xff);
  h[data == 1 ? 19 : 18] = static_cast<char>(machine >> 8);
  return h;
}

TEST(classifyprogram, starts_only_what_this_machine_runs) {
  // This test program is an ELF program for this machine.
  std::ifstream self("/proc/self/exe", std::ios::binary);
  const std::string whole((std::istreambuf_iterator<char>(self)), std::istreambuf_iterator<char>());
  ASSERT_GT(whole.size(), programheadbytes);
  const std::string ours = whole.substr(0, programheadbytes);

  struct row {
    std::string head;
    std::uint64_t size;
    bool runs;
    std::string what;
  };
  const std::string pe = "MZ\x90\0\3\0\0\0"s;
  const row rows[] = {
      {ours, whole.size(), true, "an ELF program for "},
      {ours, ours.size(), false, "a truncated ELF program for "},  // its segments end past the file
      {ours.substr(0, 30), 30, false, "a truncated ELF file"},
      {elfheader(2, 2, 22), 1000, false, "an ELF program for IBM Z, 64-bit"},
      {pe, 100000, false, "a Windows program (PE)"},
      {"", 0, false, "an empty file"},
      {"<html>", 6, false, "a file of unknown kind, starting with 3c 68 74 6d"},
      {"#!/bin/sh\necho", 14, true, "a script for /bin/sh"},
      {"#!/usr/bin/env sh\n", 18, true, "a script for /usr/bin/env sh"},
      {"#!/usr/bin/env -S A=1 sh -e\n", 28, true, "a script for /usr/bin/env -S A=1 sh -e"},
      {"#!/usr/bin/env nosuchshell\n", 27, false, "a script for /usr/bin/env nosuchshell, which is not installed"},
      {"#!/no/such/sh\n", 14, false, "a script for /no/such/sh, which is not installed"},
      {"#!sh\n", 5, false, "a script whose interpreter sh is not an absolute path"},
      {"#!/bin/sh\r\n", 11, false, "a script with Windows line ends"},
  };
  for (const row &r : rows) {
    const programkind kind = classifyprogram(r.head, r.size, "/usr/local/bin:/usr/bin:/bin");
    EXPECT_EQ(kind.runshere, r.runs) << r.what;
    EXPECT_TRUE(kind.what.starts_with(r.what)) << kind.what;
  }
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>

#include "plugintest.h"
#include "protocol/machinecheck.h"

namespace {

void writefile(const std::string &path, const std::string &bytes) { std::ofstream(path, std::ios::binary) << bytes; }

void put16(std::string &b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<char>(v & 0xff);
  b[at + 1] = static_cast<char>(v >> 8);
}

// The smallest file the PE check reads through: DOS header pointing at
// offset 64, the signature, and a COFF header with the given machine.
std::string pefile(std::uint16_t machine) {
  std::string b(64 + 4 + 20, '\0');
  b[0] = 'M';
  b[1] = 'Z';
  b[60] = 64;
  b.replace(64, 4, std::string("PE\0\0", 4));
  put16(b, 68, machine);
  return b;
}

// An ELF header's first 20 bytes: class (1 = 32-bit, 2 = 64-bit), little-endian,
// machine.
std::string elffile(char elfclass, std::uint16_t machine) {
  std::string b(64, '\0');
  b.replace(0, 4, "\177ELF");
  b[4] = elfclass;
  b[5] = 1;
  put16(b, 18, machine);
  return b;
}

std::string failure(const std::string &path) {
  try {
    is64bitdll(path);
  } catch (const std::runtime_error &e) {
    return e.what();
  }
  return "no error";
}

}  // namespace

TEST(machinecheck, pe_machine_decides_between_in_process_and_relay) {
  scratchdir dir;
  const std::pair<std::uint16_t, bool> cases[] = {{0x014C, false}, {0x8664, true}, {0xAA64, true}, {0x01C4, false}};
  for (const auto &[machine, native] : cases) {
    const std::string path = dir.path("pe" + std::to_string(machine));
    writefile(path, pefile(machine));
    EXPECT_EQ(is64bitdll(path), native) << std::hex << machine;
  }
}

TEST(machinecheck, unreadable_files_fail_with_their_message) {
  scratchdir dir;
  writefile(dir.path("empty"), "");
  EXPECT_EQ(failure(dir.path("empty")), "Not a valid PE file");
  writefile(dir.path("short"), std::string("MZ\x90\0\3\0\0\0\4\0", 10));
  EXPECT_EQ(failure(dir.path("short")), "Invalid PE signature");

  std::string beyond = pefile(0x8664);
  beyond[61] = 0x10;  // signature offset past the end of the file
  writefile(dir.path("beyond"), beyond);
  EXPECT_EQ(failure(dir.path("beyond")), "Invalid PE signature");

  EXPECT_EQ(failure(dir.path("missing")), "Cannot open file");
}

TEST(machinecheck, elf_libraries_by_class_and_machine) {
  EXPECT_TRUE(is64bitdll(TESTPLUGIN64));
  EXPECT_FALSE(is64bitdll(TESTPLUGIN32));

  scratchdir dir;
  writefile(dir.path("aarch64"), elffile(2, 183));
  EXPECT_TRUE(is64bitdll(dir.path("aarch64")));
  writefile(dir.path("riscv64"), elffile(2, 243));
  EXPECT_FALSE(is64bitdll(dir.path("riscv64")));
  writefile(dir.path("elf32x8664"), elffile(1, 62));
  EXPECT_FALSE(is64bitdll(dir.path("elf32x8664")));
}

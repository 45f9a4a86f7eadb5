#pragma once

#include <string>

// Whether a plugin library can be loaded into this 64-bit program: true for a
// PE file whose machine is AMD64 or ARM64 and for a 64-bit ELF file for x86-64
// or AArch64; false for any other machine or ELF class (those are served by
// the 32-bit relay). Throws std::runtime_error with "Cannot open file", "Not
// a valid PE file" or "Invalid PE signature" when the file is no readable
// library. Shared by the main program and the relay.
bool is64bitdll(const std::string &path);

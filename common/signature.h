#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Detached Ed25519 signatures over downloaded files (plugins, installers).
// The public key is what the build carries (buildconfig::signingkey): the
// base64 text of its 32 bytes. A signature is a file of the 64 bytes that
// scripts/sign writes beside the signed file as FILE.sig.

inline constexpr std::size_t signaturesize = 64;

// Why the whole contents of the open file `file` are not signed with the
// signature held in the open file `signaturefile` under `publickey`; empty
// when they are. Both are read from their start; their positions are left
// alone. Safe to call from any thread.
std::string signatureproblem(int file, int signaturefile, std::string_view publickey);

// Whether `publickey` is a usable key text (44 characters of base64 for 32
// bytes).
bool validsigningkey(std::string_view publickey);

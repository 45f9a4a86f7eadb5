#include "protocol/machinecheck.h"

#include <fcntl.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "common/fdio.h"
#include "common/ownedfd.h"

namespace {

// Reads a file the way the PE check expects: a read that stops early leaves
// the rest of its buffer zero, and after one failed read every later read
// does nothing.
class bytereader {
 public:
  explicit bytereader(const std::string &path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

  bool isopen() const { return bool(fd); }

  void readat(std::int64_t offset, unsigned char *buffer, std::size_t size) {
    std::memset(buffer, 0, size);
    if (failed) return;
    failed = offset < 0 || !readallat(fd.get(), offset, buffer, size);
  }

 private:
  ownedfd fd;
  bool failed = false;
};

std::uint16_t le16(const unsigned char *p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint16_t be16(const unsigned char *p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }
std::int32_t le32(const unsigned char *p) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                   (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}

constexpr std::uint16_t machineamd64 = 0x8664;
constexpr std::uint16_t machinearm64 = 0xAA64;
constexpr std::uint16_t elfx8664 = 62;
constexpr std::uint16_t elfaarch64 = 183;

// ELF header: class at byte 4 (2 = 64-bit), data encoding at byte 5
// (2 = big-endian), machine at bytes 18-19 in that encoding.
bool iself64native(const unsigned char *header) {
  const bool is64 = header[4] == 2;
  const std::uint16_t machine = header[5] == 2 ? be16(header + 18) : le16(header + 18);
  return is64 && (machine == elfx8664 || machine == elfaarch64);
}

}  // namespace

bool is64bitdll(const std::string &path) {
  bytereader file(path);
  if (!file.isopen()) throw std::runtime_error("Cannot open file");

  unsigned char header[64];
  file.readat(0, header, sizeof header);
  if (std::memcmp(header, "\177ELF", 4) == 0) return iself64native(header);
  if (le16(header) != 0x5A4D) throw std::runtime_error("Not a valid PE file");

  const std::int64_t peoffset = le32(header + 60);
  unsigned char signature[4];
  file.readat(peoffset, signature, sizeof signature);
  if (std::memcmp(signature, "PE\0\0", 4) != 0) throw std::runtime_error("Invalid PE signature");

  unsigned char coffheader[20];
  file.readat(peoffset + 4, coffheader, sizeof coffheader);
  const std::uint16_t machine = le16(coffheader);
  return machine == machineamd64 || machine == machinearm64;
}

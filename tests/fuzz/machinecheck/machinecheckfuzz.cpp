// Feeds arbitrary bytes, as the contents of a downloaded plugin file, to the
// machine check. It must either answer or refuse the file with one of its
// three reasons; a crash, a memory error or another answer aborts the run.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "protocol/machinecheck.h"

namespace {
void require(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const int fd = ::memfd_create("machinecheckfuzz", MFD_CLOEXEC);
  require(fd >= 0);
  require(::write(fd, data, size) == static_cast<ssize_t>(size));
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  const bool elf = size >= 4 && std::memcmp(data, "\177ELF", 4) == 0;
  const bool mz = size >= 2 && data[0] == 'M' && data[1] == 'Z';
  try {
    const bool native = is64bitdll(path);
    require(elf || mz);
    // An ELF file is in-process only as 64-bit (class 2) x86-64 or AArch64.
    if (elf && native) require(size > 4 && data[4] == 2);
  } catch (const std::runtime_error &e) {
    const std::string why = e.what();
    require(!elf);
    if (!mz)
      require(why == "Not a valid PE file");
    else
      require(why == "Invalid PE signature");
  }
  ::close(fd);
  return 0;
}

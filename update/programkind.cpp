#include "update/programkind.h"

#include <elf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <vector>

#include "common/fdio.h"

namespace {

// The ELF identity of the programs this build can start: its own.
#if defined(__x86_64__)
constexpr std::uint16_t ourmachine = EM_X86_64;
#elif defined(__aarch64__)
constexpr std::uint16_t ourmachine = EM_AARCH64;
#elif defined(__i386__)
constexpr std::uint16_t ourmachine = EM_386;
#elif defined(__arm__)
constexpr std::uint16_t ourmachine = EM_ARM;
#elif defined(__riscv)
constexpr std::uint16_t ourmachine = EM_RISCV;
#elif defined(__powerpc64__)
constexpr std::uint16_t ourmachine = EM_PPC64;
#else
#error "add this architecture's ELF machine number"
#endif
constexpr unsigned char ourclass = sizeof(void *) == 8 ? ELFCLASS64 : ELFCLASS32;
constexpr unsigned char ourdata = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ELFDATA2LSB : ELFDATA2MSB;
using elfheader = std::conditional_t<ourclass == ELFCLASS64, Elf64_Ehdr, Elf32_Ehdr>;
using programheader = std::conditional_t<ourclass == ELFCLASS64, Elf64_Phdr, Elf32_Phdr>;

std::string machinename(std::uint16_t machine) {
  switch (machine) {
    case EM_X86_64:
      return "x86-64";
    case EM_386:
      return "x86";
    case EM_AARCH64:
      return "ARM aarch64";
    case EM_ARM:
      return "ARM";
    case EM_RISCV:
      return "RISC-V";
    case EM_PPC64:
      return "PowerPC 64";
    case EM_PPC:
      return "PowerPC";
    case EM_MIPS:
      return "MIPS";
    case EM_S390:
      return "IBM Z";
    default:
      return "machine " + std::to_string(machine);
  }
}

programkind elfprogram(std::string_view head, std::uint64_t size) {
  if (head.size() < EI_NIDENT + 4) return {false, "a truncated ELF file"};
  const auto *b = reinterpret_cast<const unsigned char *>(head.data());
  const unsigned char cls = b[EI_CLASS], data = b[EI_DATA];
  const std::uint16_t machine =
      static_cast<std::uint16_t>(data == ELFDATA2MSB ? (b[18] << 8) | b[19] : b[18] | (b[19] << 8));
  const std::string bits = cls == ELFCLASS64 ? "64-bit" : cls == ELFCLASS32 ? "32-bit" : "unknown word size";
  const std::string kind = "an ELF program for " + machinename(machine) + ", " + bits;
  if (cls != ourclass || data != ourdata || machine != ourmachine) return {false, kind};

  // From here on the file is laid out as this machine's own ELF structures.
  if (head.size() < sizeof(elfheader)) return {false, "a truncated ELF file"};
  elfheader h;
  std::memcpy(&h, head.data(), sizeof h);
  if ((h.e_type != ET_EXEC && h.e_type != ET_DYN) || h.e_phnum == 0 || h.e_phentsize != sizeof(programheader))
    return {false, "an ELF file for this machine that is not a program"};
  // Every header, and every part of the file the program loads, must be there.
  const std::uint64_t tableend = std::uint64_t{h.e_phoff} + std::uint64_t{h.e_phnum} * h.e_phentsize;
  if (tableend > size) return {false, "a truncated ELF program for " + machinename(machine)};
  if (tableend <= head.size()) {
    for (std::size_t i = 0; i < h.e_phnum; ++i) {
      programheader p;
      std::memcpy(&p, head.data() + h.e_phoff + i * sizeof p, sizeof p);
      if (p.p_type == PT_LOAD && std::uint64_t{p.p_offset} + p.p_filesz > size)
        return {false, "a truncated ELF program for " + machinename(machine)};
    }
  }
  return {true, kind};
}

bool isexecutablefile(const std::string &path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Where env would find `name`: a name with a '/' as it is, otherwise the
// first executable file of that name in the search path (an empty entry is
// the current directory).
bool foundbyenv(const std::string &name, std::string_view searchpath) {
  if (name.find('/') != std::string::npos) return isexecutablefile(name);
  for (;;) {
    const std::size_t colon = searchpath.find(':');
    const std::string_view dir = searchpath.substr(0, colon);
    if (isexecutablefile((dir.empty() ? std::string(".") : std::string(dir)) + "/" + name)) return true;
    if (colon == std::string_view::npos) return false;
    searchpath.remove_prefix(colon + 1);
  }
}

std::vector<std::string> blanksplit(std::string_view text) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t start = text.find_first_not_of(" \t", i);
    if (start == std::string_view::npos) break;
    const std::size_t end = std::min(text.find_first_of(" \t", start), text.size());
    words.emplace_back(text.substr(start, end - start));
    i = end;
  }
  return words;
}

// The "#!" line, read as the kernel does: the interpreter up to the first
// blank, the rest of the line its one argument.
programkind script(std::string_view head, std::string_view searchpath) {
  const std::size_t end = std::min(head.find('\n'), head.size());
  const std::string_view line = head.substr(2, end - 2);
  // The kernel would look for an interpreter whose name ends in CR; and the
  // line goes into the debug output, where control bytes have no place.
  if (line.find('\r') != std::string_view::npos) return {false, "a script with Windows line ends"};
  for (const char c : line)
    if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f)
      return {false, "a script whose #! line holds control characters"};
  const std::vector<std::string> words = blanksplit(line);
  if (words.empty()) return {false, "a script that names no interpreter"};
  const std::string &interpreter = words.front();
  if (interpreter.front() != '/')
    return {false, "a script whose interpreter " + interpreter + " is not an absolute path"};
  std::string named = interpreter;
  for (std::size_t i = 1; i < words.size(); ++i) named += " " + words[i];
  if (!isexecutablefile(interpreter)) return {false, "a script for " + named + ", which is not installed"};
  if (interpreter.ends_with("/env")) {
    // env's program: the first word that is neither an option nor a
    // NAME=VALUE setting.
    std::string program;
    for (std::size_t i = 1; i < words.size() && program.empty(); ++i)
      if (words[i].front() != '-' && words[i].find('=') == std::string::npos) program = words[i];
    if (program.empty()) return {false, "a script for " + named + ", which names no program"};
    if (!foundbyenv(program, searchpath)) return {false, "a script for " + named + ", which is not installed"};
  }
  return {true, "a script for " + named};
}

std::string firstbytes(std::string_view head) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (std::size_t i = 0; i < std::min<std::size_t>(head.size(), 4); ++i) {
    const auto c = static_cast<unsigned char>(head[i]);
    if (i > 0) hex += ' ';
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

}  // namespace

programkind classifyprogram(std::string_view head, std::uint64_t size, std::string_view searchpath) {
  if (size == 0) return {false, "an empty file"};
  if (head.starts_with("\177ELF")) return elfprogram(head, size);
  if (head.starts_with("#!")) return script(head, searchpath);
  if (head.starts_with("MZ")) return {false, "a Windows program (PE)"};
  for (const char *macho : {"\xfe\xed\xfa\xce", "\xfe\xed\xfa\xcf", "\xce\xfa\xed\xfe", "\xcf\xfa\xed\xfe"})
    if (head.starts_with(macho)) return {false, "a macOS program (Mach-O)"};
  return {false, "a file of unknown kind, starting with " + firstbytes(head)};
}

programkind classifydescriptor(int fd) {
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return {false, "an unreadable file"};
  const auto size = static_cast<std::uint64_t>(st.st_size);
  std::string head(static_cast<std::size_t>(std::min<std::uint64_t>(size, programheadbytes)), '\0');
  if (!readallat(fd, 0, head.data(), head.size())) return {false, "an unreadable file"};
  // Without PATH, env searches the C library's default path.
  const char *searchpath = std::getenv("PATH");
  return classifyprogram(head, size, searchpath ? searchpath : "/bin:/usr/bin");
}

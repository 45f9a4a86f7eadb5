#include "common/debuglog.h"

#include <sys/uio.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>

#include "common/fdio.h"

namespace {

// Both descriptors in one word: a line never goes to the terminal of one
// pair and the file of another.
std::atomic<std::uint64_t> &targets() {
  static std::atomic<std::uint64_t> both{~std::uint64_t{0}};
  return both;
}

// The most parts one emit() takes.
constexpr std::size_t maxparts = 16;

// Each target gets the parts in one writev(), so that lines written at the
// same time by other threads or processes never fall between them.
void emit(const iovec *parts, int count) {
  const std::uint64_t both = targets().load(std::memory_order_acquire);
  const auto terminal = static_cast<std::int32_t>(both >> 32), file = static_cast<std::int32_t>(both);
  std::array<iovec, maxparts> left;
  for (const int fd : {file < 0 ? 2 : terminal, file}) {
    if (fd < 0) continue;
    std::copy(parts, parts + count, left.begin());
    writeall(fd, left.data(), count);
  }
}

iovec part(std::string_view text) { return {const_cast<char *>(text.data()), text.size()}; }

}  // namespace

void debugout(std::string_view line) {
  const iovec parts[2] = {part(line), part("\n")};
  emit(parts, 2);
}

void debuglines::add(std::string_view line) {
  own += line;
  own += '\n';
}

void debuglines::flush() {
  std::array<iovec, 2 * std::tuple_size_v<decltype(borrows)> + 1> parts;
  static_assert(parts.size() <= maxparts);
  int count = 0;
  std::size_t from = 0;
  for (std::size_t i = 0; i < borrowcount; ++i) {
    if (borrows[i].ownend > from) parts[count++] = part(std::string_view(own).substr(from, borrows[i].ownend - from));
    parts[count++] = part(borrows[i].text);
    from = borrows[i].ownend;
  }
  if (own.size() > from) parts[count++] = part(std::string_view(own).substr(from));
  if (count > 0) emit(parts.data(), count);
  own.clear();
  borrowcount = 0;
}

namespace {
bool plain(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x20 && byte != 0x7f && c != '\\';
}

// Whether any of the eight bytes in `word` is no plain byte (the classic
// tests for a byte below a bound and for a zero byte, which never miss one).
bool hasescape(std::uint64_t word) {
  constexpr std::uint64_t ones = 0x0101010101010101, high = 0x8080808080808080;
  const auto haszero = [&](std::uint64_t v) { return (v - ones) & ~v & high; };
  return ((word - ones * 0x20) & ~word & high) | haszero(word ^ (ones * 0x7f)) | haszero(word ^ (ones * '\\'));
}

// Where the run of plain bytes from `at` ends. Relayed calls log their data
// and their answers, which are mostly plain: eight bytes are checked at once.
std::size_t plainrun(std::string_view text, std::size_t at) {
  for (std::uint64_t word; at + sizeof word <= text.size(); at += sizeof word) {
    std::memcpy(&word, text.data() + at, sizeof word);
    if (hasescape(word)) break;
  }
  while (at < text.size() && plain(text[at])) ++at;
  return at;
}

void appendloggable(std::string &line, std::string_view text) {
  static constexpr char hex[] = "0123456789abcdef";
  line.reserve(line.size() + text.size());
  // Runs of plain bytes are copied whole.
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = plainrun(text, at);
    line.append(text, at, end - at);
    if (end == text.size()) break;
    const auto byte = static_cast<unsigned char>(text[end]);
    const char escaped[4] = {'\\', 'x', hex[byte >> 4], hex[byte & 0xf]};
    line.append(escaped, sizeof escaped);
    at = end + 1;
  }
}
}  // namespace

void debuglines::addloggable(std::string_view line) {
  if (borrowcount < borrows.size() && plainrun(line, 0) == line.size()) {
    borrows[borrowcount++] = {own.size(), line};
  } else {
    appendloggable(own, line);
  }
  own += '\n';
}

std::string loggable(std::string_view text) {
  std::string line;
  appendloggable(line, text);
  return line;
}

void writeboth(int terminal, int file, std::string_view data) {
  writeall(terminal, data);
  writeall(file, data);
}

void setdebugtargets(int terminal, int file) {
  targets().store((std::uint64_t{static_cast<std::uint32_t>(terminal)} << 32) | static_cast<std::uint32_t>(file),
                  std::memory_order_release);
}

int debugterminal() {
  const std::uint64_t both = targets().load(std::memory_order_acquire);
  const auto terminal = static_cast<std::int32_t>(both >> 32), file = static_cast<std::int32_t>(both);
  return file < 0 || terminal < 0 ? 2 : terminal;
}

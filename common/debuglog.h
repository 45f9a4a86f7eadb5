#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// The program's one debug sink: navigation URLs, plugin relay tracing and
// other developer-facing lines. Each call writes one whole line to standard
// error, so lines from different threads never interleave.
void debugout(std::string_view line);
// Lines gathered over one short piece of work and written together when it
// ends, in one write: they stay together, and a busy caller (a turn of the
// listener's loop, the plugin relay's trace of a call) pays for one write
// instead of one per line.
class debuglines {
 public:
  debuglines() = default;
  debuglines(const debuglines &) = delete;
  debuglines &operator=(const debuglines &) = delete;
  ~debuglines() { flush(); }
  void add(std::string_view line);
  // A line of outside text, made safe as loggable() does. Text that needs no
  // change is written from where it is rather than copied (a relayed call's
  // data and answer are most of its trace): it must stay unchanged until the
  // lines are flushed.
  void addloggable(std::string_view text);
  void flush();

 private:
  // A borrowed text goes out after the bytes of `own` up to `ownend`.
  struct borrowed {
    std::size_t ownend;
    std::string_view text;
  };
  std::string own;
  std::array<borrowed, 4> borrows;
  std::size_t borrowcount = 0;
};

// Text from outside the program (a page's call data, a plugin's answer) made
// safe for one debug line: control bytes and backslashes become \xNN, so
// that it can neither end the line nor forge or colour another.
std::string loggable(std::string_view text);

// While a copier thread passes standard error on to the terminal and a log
// file (app/stderrlog), the program's own lines skip that thread and are
// written straight to both, so that a line costs its writer two writes rather
// than a wake-up of the copier as well. (-1, -1): standard error again. Both
// descriptors must stay open for the rest of the process.
void setdebugtargets(int terminal, int file);
// Writes every byte of `data` to the terminal, then to the log file: how the
// copier and the program's own lines reach both.
void writeboth(int terminal, int file, std::string_view data);
// The terminal's descriptor: while a copier owns descriptor 2 (see
// setdebugtargets), the original standard error; otherwise 2.
int debugterminal();

#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The framing of every message between the plugin host and the relay: a
// 4-byte little-endian length N, then N payload bytes, nothing else. In the
// functions' names, as in qxp::runthroughpipe, "pipe" is the relay's socket.

// The longest payload a reader accepts (64 MiB).
inline constexpr std::uint32_t maxrelaymsg = 0x4000000;

// Writes one message to a socket or pipe, continuing after partial writes.
// False when a write fails (for example, the peer has gone) and, with nothing
// written, for a payload above maxrelaymsg; never raises SIGPIPE.
bool writepipemsg(int fd, std::string_view payload);

// Reads one message into `payload`, continuing after partial reads. False when
// a read fails or meets the end of the stream, or when the length is above
// maxrelaymsg (nothing more is read then). On failure `payload` keeps its old
// contents if the length could not be read, and holds N partly filled bytes
// if the payload could not.
bool readpipemsg(int fd, std::string &payload);

// How long the parties of a plugin call wait awake for their next message
// before they sleep (common/spinwait.h): the relay and the plugin host's worker
// for the next call, which follows the last answer within a page round trip
// (100-200 us) when the page makes calls in a row, and the worker for the
// relay's answer. Each wait costs at most this much processor time.
inline constexpr std::chrono::microseconds callspin{300};

// Reads the messages of one socket or pipe with as few reads as it can: a
// message that has arrived whole is taken, length and payload together, with
// one read; bytes of a later message that came with it are kept for the next
// call. Before it sleeps for a message it waits callspin awake. Fails as
// readpipemsg does, and a reader that has failed is not used again.
class pipereader {
 public:
  explicit pipereader(int fd) : fd(fd), buffer(64 * 1024) {}
  bool next(std::string &payload);
  // Whether anything (or the end, or an error) arrives within `spin`, waiting
  // awake only; what has arrived is kept for next().
  bool arrivedwithin(std::chrono::microseconds spin);

 private:
  // Reads what has arrived, at least one byte; false at the end or on error.
  bool fill();

  int fd;
  std::vector<char> buffer;
  std::size_t at = 0, end = 0;
};

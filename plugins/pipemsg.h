#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Messages between the plugin host and the bridge: a 4-byte little-endian
// length N, then N payload bytes, nothing else. Shared by both programs.

// The longest payload a reader accepts (64 MiB).
inline constexpr std::uint32_t maxpipemsg = 0x4000000;

// Writes one message to a socket or pipe, continuing after partial writes.
// False when a write fails (for example, the peer has gone); never raises
// SIGPIPE.
bool writepipemsg(int fd, std::string_view payload);

// Reads one message into `payload`, continuing after partial reads. False when
// a read fails or meets the end of the stream, or when the length is above
// maxpipemsg (nothing more is read then). On failure `payload` keeps its old
// contents if the length could not be read, and holds N partly filled bytes
// if the payload could not.
bool readpipemsg(int fd, std::string &payload);

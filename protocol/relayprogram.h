#pragma once

#include <chrono>

// The relay program modrelay serves one 32-bit plugin library for the plugin
// host, which starts it as
//
//   modrelay <socket path> <library path>
//
// once it listens on the socket. The relay connects, loads the library and
// answers the host's messages (protocol/relaymessage.h) until "fini|" or until
// the socket breaks.

// How long the relay keeps trying to connect, and the host waits for it to.
inline constexpr std::chrono::milliseconds relayconnectwait{10000};

// The relay's exit codes; its messages go to standard error.
namespace relayexit {
// The service ended: after "fini|", or when the socket broke.
inline constexpr int served = 0;
// Fewer than two arguments.
inline constexpr int usage = 2;
// The socket accepted no connection within relayconnectwait.
inline constexpr int connecttimedout = 3;
// The socket could not be opened or connected.
inline constexpr int connectfailed = 4;
// The library could not be loaded.
inline constexpr int loadfailed = 5;
// The library has no handleCall.
inline constexpr int nohandlecall = 6;
// The library is a 64-bit one, which the host loads itself.
inline constexpr int native = 9;
// The library cannot be checked: missing, unreadable or no library.
inline constexpr int unchecked = 10;
// The plugin crashed (the Windows plugin host only: it ends at once, so that
// the call is answered without waiting for Wine's debugger).
inline constexpr int crashed = 11;
}  // namespace relayexit

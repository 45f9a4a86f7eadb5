#pragma once

#include <string>
#include <string_view>

#include "protocol/handlecall.h"

// The messages between the plugin host and the relay, each one frame
// (protocol/relayframe.h). The host sends relayini first, then one call
// message per call of the page, and relayfini last; the relay answers each
// with the plugin's result (empty for NULL), and relayfini with relayfiniok.

inline constexpr std::string_view relayini = "ini|";
inline constexpr std::string_view relayfini = "fini|";
inline constexpr std::string_view relayfiniok = "ok";

// A function name or argument text as it travels: up to its first NUL.
std::string_view calltext(std::string_view text);
// The message for one call: "<function>|<argument>", each cut at its first
// NUL. A function name holding "|" is cut there by the relay.
std::string callmessage(std::string_view fn, std::string_view data);

// One message as the relay reads it, split at its first "|": the function
// name before it, the argument text after it. Without "|" the whole message
// is the name. Both views end where a NUL follows in memory, so that they can
// be handed to the plugin as C strings without copying the argument text.
struct relaycall {
  std::string_view fn;
  std::string_view data;
};
// Splits in place: the first "|" of `message` becomes a NUL. The views point
// into `message`.
relaycall splitmessage(std::string &message);

// Only this exact name ends the service; the plugin then gets "fini" with an
// empty argument text, whatever followed the "|".
inline bool isfini(const relaycall &c) { return c.fn == finicall; }

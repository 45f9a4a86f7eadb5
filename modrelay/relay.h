#pragma once

#include <string>
#include <string_view>

// One message from the host, split at its first "|": the function name before
// it, the argument text after it. Without "|" the whole payload is the name.
// Both views end where a NUL follows in memory, so that they can be handed to
// the plugin as C strings without copying the argument text.
struct relaycall {
  std::string_view fn;
  std::string_view data;
};
// Splits in place: the first "|" of `payload` becomes a NUL. The views point
// into `payload`.
relaycall splitpayload(std::string &payload);

// Only this exact name ends the service.
inline bool isfini(const relaycall &c) { return c.fn == "fini"; }

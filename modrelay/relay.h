#pragma once

#include <string>
#include <string_view>

// One message from the host, split at its first "|": the function name before
// it, the argument text after it. Without "|" the whole payload is the name.
struct relaycall {
  std::string fn;
  std::string data;
};
relaycall splitpayload(std::string_view payload);

// Only this exact name ends the service.
inline bool isfini(const relaycall &c) { return c.fn == "fini"; }

#include "modrelay/relay.h"

relaycall splitpayload(std::string_view payload) {
  const auto bar = payload.find('|');
  if (bar == std::string_view::npos) return {std::string(payload), {}};
  return {std::string(payload.substr(0, bar)), std::string(payload.substr(bar + 1))};
}

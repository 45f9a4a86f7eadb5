#include "modrelay/relay.h"

relaycall splitpayload(std::string &payload) {
  const auto bar = payload.find('|');
  if (bar == std::string::npos) return {payload, std::string_view("")};
  payload[bar] = '\0';
  const std::string_view whole(payload);
  return {whole.substr(0, bar), whole.substr(bar + 1)};
}

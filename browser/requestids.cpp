#include "browser/requestids.h"

namespace {
std::size_t requestidindex(const std::string &name, bool inbound) {
  if (inbound) {
    if (name == msg::loadqxp) return 1;
    if (name == msg::makeqxpcall) return 3;
  } else if (name == msg::qxploaded || name == msg::qxpcallcompleted) {
    return 0;
  }
  return std::string::npos;
}
}  // namespace

pagemessage requestids::inbound(pagemessage m) const {
  const std::size_t at = requestidindex(m.name, true);
  if (at == std::string::npos) return m;
  const std::string tagged = std::to_string(generation) + ":" + m.getstring(at);
  if (m.args.size() <= at) m.args.resize(at + 1, std::string());
  m.args[at] = tagged;
  return m;
}

std::optional<pagemessage> requestids::outbound(pagemessage m) const {
  const std::size_t at = requestidindex(m.name, false);
  if (at == std::string::npos) return m;
  const std::string id = m.getstring(at);
  const std::string prefix = std::to_string(generation) + ":";
  if (!id.starts_with(prefix)) return std::nullopt;
  m.args[at] = id.substr(prefix.size());
  return m;
}

#include "browser/pagerecovery.h"

#include <algorithm>

namespace {
// Engine error codes outside the connection and name-resolution ranges: the
// service did not answer in time or the network moved, and a load that
// another navigation replaced.
constexpr int err_timed_out = -7;
constexpr int err_aborted = -3;
constexpr int err_network_changed = -21;
constexpr int err_empty_response = -324;
}  // namespace

loadfailure classifyloadfailure(loaderrordomain domain, int code, const std::string &errortext) {
  using enum loadfailure::action;
  const std::string unreachable = "the service could not be reached (" + errortext + ")";
  switch (domain) {
    case loaderrordomain::httpstatus:
      // Only the service's server errors are worth waiting out.
      return {code >= 500 && code <= 599 ? retry : leave, "the service answered with status " + std::to_string(code)};
    case loaderrordomain::connection:
    case loaderrordomain::dns:
      return {retry, unreachable};
    case loaderrordomain::internal:
    case loaderrordomain::http:
      if (code == err_timed_out || code == err_network_changed || code == err_empty_response)
        return {retry, unreachable};
      if (code == err_aborted) return {replaced, "loading the start page was cancelled"};
      break;
    case loaderrordomain::none:
    case loaderrordomain::certificate:
    case loaderrordomain::ftp:
      break;
  }
  return {showerror, "the start page could not be loaded (" + errortext + ")"};
}

std::chrono::milliseconds retrydelay(unsigned retry, double jitter) {
  constexpr std::chrono::milliseconds first{2000};
  constexpr std::chrono::milliseconds longest{60000};
  const auto base = retry >= 5 ? longest : std::min(longest, first * (1 << retry));
  const double cut = std::clamp(jitter, 0.0, 1.0) / 4;
  return std::chrono::milliseconds(static_cast<long long>(static_cast<double>(base.count()) * (1 - cut)));
}

std::optional<std::chrono::milliseconds> rendererrestarts::onended(clock::time_point now, double jitter) {
  while (!reloads.empty() && now - reloads.front() >= window) reloads.pop_front();
  if (reloads.size() >= limit) return std::nullopt;
  const unsigned earlier = static_cast<unsigned>(reloads.size());
  reloads.push_back(now);
  if (earlier == 0) return std::chrono::milliseconds(0);
  return retrydelay(earlier - 1, jitter);
}

bool networkreturned(networkreach before, networkreach now) {
  return before == networkreach::offline && now == networkreach::online;
}

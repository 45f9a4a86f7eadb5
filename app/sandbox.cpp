#include "app/sandbox.h"

#include <string_view>

sandboxstate choosesandbox(uid_t uid, uid_t euid, bool noswitch, const char *noenv) {
  if (uid == 0 || euid == 0) return sandboxstate::offroot;
  const std::string_view env = noenv ? noenv : "";
  if (noswitch || (!env.empty() && env != "0")) return sandboxstate::offasked;
  return sandboxstate::on;
}

std::string sandboxline(sandboxstate s) {
  switch (s) {
    case sandboxstate::on:
      return "browser sandbox: on";
    case sandboxstate::offroot:
      return "browser sandbox: off (running as root)";
    case sandboxstate::offasked:
      return "browser sandbox: off (asked for by --no-sandbox or ORVALINK_NO_SANDBOX)";
  }
  return {};
}

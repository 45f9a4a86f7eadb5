#include "app/windowevents.h"

#include <cerrno>
#include <cstdlib>

#include "app/trayicon.h"

bool activationshouldsend(bool activated, std::chrono::steady_clock::duration sincelast, bool browserready) {
  return activated && sincelast > std::chrono::seconds(1) && browserready;
}

std::string activationtext(const std::string &clipboard) { return clipboard.substr(0, 20); }

commandkind classifycommand(unsigned int command, bool browserready) {
  if ((command >> 16) == 0x200) return commandkind::hide;
  if (!browserready) return commandkind::unhandled;
  const unsigned int id = command & 0xFFFF;
  if (id >= cmd_pagefirst && id <= cmd_pagelast) return commandkind::pageitem;
  if (command == cmd_clipboardcall) return commandkind::clipboardcall;
  if (id == cmd_about) return commandkind::about;
  if (id == cmd_exit) return commandkind::exit;
  if (id >= 32000 && id <= 32002) return commandkind::nothing;
  return commandkind::unhandled;
}

bool parsecommandtext(const std::string &text, unsigned int &command) {
  if (text == "hide") {
    command = 0x200u << 16;
    return true;
  }
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  errno = 0;
  char *end = nullptr;
  const unsigned long v = std::strtoul(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFul) return false;
  command = static_cast<unsigned int>(v);
  return true;
}

placement mainwindowplacement(int screenwidth, int screenheight) {
  return {screenwidth - 800, screenheight - 650, 800, 650};
}

std::vector<std::string> engineswitches() {
  return {
      "--enable-media-stream",
      "--disable-features=MediaStreamDeviceEnumerationPermission,CalculateNativeWinOcclusion,"
      "WebRtcHideLocalIpsWithMdns",
      "--force-webrtc-ip-handling-policy=default",
      "--autoplay-policy=no-user-gesture-required",
      "--disable-background-timer-throttling",
      "--disable-renderer-backgrounding",
      "--disable-backgrounding-occluded-windows",
  };
}

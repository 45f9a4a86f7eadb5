#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktopwindows.h"

// Decisions about the top-level windows of native Wayland applications, which
// only the accessibility service (AT-SPI) shows; free of any desktop
// connection.

// Their ids carry a tag bit far above any X window id (X ids fit in 29
// bits), so one id space holds both and a script's handle names either.
inline constexpr windowid nativeframetag = windowid{1} << 62;
constexpr bool isnativeframe(windowid w) { return (w & nativeframetag) != 0; }
// The id of the n-th frame seen (n from 1).
constexpr windowid nativeframeid(std::uint64_t serial) { return nativeframetag | serial; }

// A frame as scripts see it: the application's name as the class name, the
// frame's name as the title.
struct nativeframe {
  windowid id = 0;
  std::uint32_t pid = 0;
  std::string appname;
  std::string title;
};

// The frames a search among top-level windows adds after the X11 ones: those
// of applications without an X11 window (an XWayland application is reached
// through X11; its frames would name the same windows twice).
std::vector<nativeframe> framesbesidex11(std::vector<nativeframe> frames, const std::vector<std::uint32_t> &x11pids);

// The first frame whose application name and title equal the given ones
// without regard to case (an absent one matches any); 0 when none does.
windowid findframe(const std::vector<nativeframe> &frames, const std::optional<std::string> &appname,
                   const std::optional<std::string> &title);

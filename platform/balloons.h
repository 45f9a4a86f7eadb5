#pragma once

#include <functional>
#include <string>

// The icon beside a balloon's title: none, the desktop's information icon,
// or the program's own icon.
enum class balloonicon { none, info, user };

// A notification shown at the tray icon for a while. Texts are UTF-8; the
// tray cuts them to what it can show.
struct balloonrequest {
  std::string title;
  std::string text;
  balloonicon icon = balloonicon::none;
  int timeoutseconds = 10;
};

// Where modules send their balloons. The program's sink is the tray icon,
// which holds balloons asked for before it exists. UI thread only.
using balloonsink = std::function<void(const balloonrequest &)>;

#pragma once

#include "platform/ownwindow.h"

// The program's own window as a native Wayland client: a client can neither
// keep itself above others nor take the activation without a token, and its
// class is the application id Qt gives it. Every request does nothing; one
// debug line says so when it is made.
class nativeownwindow : public ownwindow {
 public:
  nativeownwindow();
  void setkeepabove(windowid, bool) override {}
  void activate(windowid) override {}
  void setwindowclass(windowid, const std::string &) override {}
};

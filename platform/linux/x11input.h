#pragma once

#include <optional>

#include "platform/keyboardmouse.h"
#include "platform/linux/x11connection.h"

// Keyboard and pointer input through the XTest extension, which the server
// treats like real device input (applications may ignore sent events).
// Keys are mapped to keycodes through the live keyboard map. Whether the
// server has XTest is asked at the first input, not at start-up.
class x11input : public keyboardmouse {
 public:
  explicit x11input(const x11connection &x);
  void key(int virtualkey, bool down) override;
  void movepointer(screenpoint p) override;
  void button(int number, bool down) override;
  std::optional<screenpoint> screensize() override;

 private:
  // Whether the server has XTest, asked once.
  bool hasxtest();

  const x11connection &x_;
  std::optional<bool> xtest_;
};

#include "app/dialrelay.h"

void dialrelay::request(const std::string &number) {
  pending = number;
  flush();
}

void dialrelay::pageconnected(bool up) {
  connected = up;
  flush();
}

void dialrelay::flush() {
  if (!pending || !connected) return;
  const std::string number = std::move(*pending);
  pending.reset();
  if (dial) dial(number);
}

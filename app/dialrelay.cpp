#include "app/dialrelay.h"

void dialrelay::request(const std::string &number) {
  pending = number;
  flush();
}

void dialrelay::pageloaded(bool ok) {
  if (ok) loaded = true;
  flush();
}

void dialrelay::bridgelistening() {
  listening = true;
  flush();
}

void dialrelay::flush() {
  if (!pending || !loaded || !listening) return;
  const std::string number = std::move(*pending);
  pending.reset();
  if (dial) dial(number);
}

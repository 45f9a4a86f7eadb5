#include "platform/linux/linuxdesktop.h"

#include "platform/linux/atspitext.h"
#include "platform/linux/x11clipboard.h"
#include "platform/linux/x11hotkeys.h"
#include "platform/linux/x11input.h"
#include "platform/linux/x11windows.h"

namespace {
// Owns the shared connection of the window and input parts.
struct linuxdesktop : desktopplatform {
  x11connection connection;
  // The parts that use the connection end before it closes.
  ~linuxdesktop() override {
    text.reset();
    hotkeys.reset();
    input.reset();
    windows.reset();
  }
};
}  // namespace

std::unique_ptr<desktopplatform> makelinuxdesktop() {
  auto d = std::make_unique<linuxdesktop>();
  d->clipboard = std::make_unique<x11clipboard>();
  if (!d->connection) return d;
  d->windows = std::make_unique<x11windows>(d->connection);
  d->input = std::make_unique<x11input>(d->connection);
  d->hotkeys = std::make_unique<x11hotkeys>();
  d->text = std::make_unique<atspitext>(*d->windows);
  return d;
}

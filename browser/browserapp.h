#pragma once

#include <memory>

class browserclient;

// The browser engine's application object: holds the one client, which holds
// the main browser. Empty until the engine is ready.
class browserapp {
 public:
  std::shared_ptr<browserclient> client;
};

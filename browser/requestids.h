#pragma once

#include <optional>
#include <string>

#include "protocol/pagemessage.h"

// Request ids restart at "0" with every document the page bridge runs in, so
// an answer to a request of an earlier document could reach a callback of the
// current one. Ids are tagged with the document's generation on the way in
// and answers of other generations are dropped on the way out.
class requestids {
 public:
  // A new document has begun; answers its generation.
  unsigned long long newdocument() { return ++generation; }
  // Tags the request id of "loadQXP" and "makeQXPCall"; other messages pass.
  pagemessage inbound(pagemessage m) const;
  // Restores the id of "qxpLoaded" and "qxpCallCompleted"; nothing when the
  // answer belongs to another document.
  std::optional<pagemessage> outbound(pagemessage m) const;

 private:
  unsigned long long generation = 0;
};

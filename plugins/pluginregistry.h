#pragma once

#include <map>
#include <memory>
#include <string>

class qxp;

// Releases a plugin of the registry. A plugin whose worker has ended (or
// never started) is destroyed. One whose worker is still busy is left alive,
// with a debug line, until the process ends: its call may never return, so
// neither waiting for it nor freeing the object under it is safe. Owners
// queue the stop item (finiplugins) and give the workers time to end before
// they release the registry. UI thread.
struct qxprelease {
  void operator()(qxp *plugin) const;
};
using ownedqxp = std::unique_ptr<qxp, qxprelease>;

// The plugin registry: plugins by key (sha1hex of the URL), owned.
using pluginregistry = std::map<std::string, ownedqxp>;

#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "common/ownfiles.h"
#include "plugins/pluginregistry.h"
#include "plugins/qxp.h"

// How a plugin download ended.
struct downloadresult {
  int status = 0;        // HTTP status; 0 when there was no response
  std::string url;       // the URL the finished request reports
  bool failed = false;   // the transfer broke off or the file could not be written
  replacementfile file;  // the body, not yet in place; empty when no file could be made
};

using downloadcompletion = std::function<void(downloadresult)>;
// Downloads `url` into a new file beside `name` in the download directory
// (a replacementfile, left for the host to check and put in place), then
// calls `done` on the UI thread. A download it refuses (the directory is
// not this user's) never calls `done`.
using downloader = std::function<void(const std::string &name, const std::string &url, downloadcompletion done)>;

// Where plugins may come from, and whether they must be signed.
struct pluginpolicy {
  // Plugins of this origin are loaded whatever its scheme; from anywhere
  // else only https: URLs (pluginsourceproblem).
  std::string serviceorigin;
  // Base64 Ed25519 public key. When set, a plugin is used only when the
  // detached signature fetched from "<url>.sig" verifies over its bytes.
  std::string signingkey;
};

// The browser-side half of the page's plugin functions: loads plugins by URL
// into the registry (keyed by sha1hex of the URL), starts each one's worker
// when its download has finished and routes the page's calls to them. UI
// thread only. The plugins it makes belong to the registry.
class pluginhost {
 public:
  pluginhost(pluginregistry &registry, qxpenv env, downloader download, pluginpolicy policy);
  ~pluginhost();
  pluginhost(const pluginhost &) = delete;
  pluginhost &operator=(const pluginhost &) = delete;

  // "loadQXP": a URL seen before is answered at once with its plugin's
  // number (however its download went); a new one is registered and
  // downloaded once (after its signature, when plugins are signed). A URL
  // the policy refuses is neither registered nor downloaded, and the page
  // hears nothing.
  void loadqxp(const std::string &url, const std::string &requestid);
  // "makeQXPCall": queued to every plugin with that number; when none has it,
  // or its store of waiting calls is full, answered at once with an empty
  // result.
  void makeqxpcall(int number, const std::string &fn, const std::string &data, const std::string &requestid);

 private:
  void send(pagemessage m) const;
  void signaturefetched(const std::string &name, const std::string &url, downloadresult signature);
  void fetchplugin(const std::string &name, const std::string &url, std::shared_ptr<replacementfile> signature);
  // A plugin download has ended. A complete download (status 200, URL ending
  // in "qxp") whose signature verifies, when one is needed, is put in place,
  // starts its plugin's worker on the file checked and tells the page
  // "qxpLoaded".
  void downloadfinished(downloadresult result, const replacementfile *signature);

  pluginregistry &registry;
  qxpenv env;
  downloader download;
  pluginpolicy policy;
  // Plugin numbers are never reused.
  std::uint32_t nextid = 1;
  // Completions of downloads still running when the host goes do nothing.
  std::shared_ptr<pluginhost *> self;
};

// Queues the stop item to every plugin, in key order. Nothing waits for the
// workers.
void finiplugins(const pluginregistry &registry);
// Closes every plugin (qxp::close) once the program is ending, after the
// workers have had their time to finish: an answer that arrives later is
// dropped, and no plugin code is called any more.
void closeplugins(const pluginregistry &registry);
// Whether a plugin's worker has not ended yet.
bool pluginsbusy(const pluginregistry &registry);
// When a plugin's worker is still busy (a call that has not returned), the
// process is to end without its exit-time clean-up of static objects and
// libraries, which would run the plugin's own destructors under that call:
// from the end of `main` (after its local objects) it ends at once with
// status 0. Call at the end of shutdown.
void skipexitcleanupifbusy(const pluginregistry &registry);

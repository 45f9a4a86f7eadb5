#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "plugins/pluginregistry.h"
#include "plugins/qxp.h"

// How a plugin download ended.
struct downloadresult {
  int status = 0;       // HTTP status; 0 when there was no response
  std::string url;      // the URL the finished request reports
  std::string path;     // the file written; empty when none could be opened
  bool failed = false;  // the transfer broke off or the file could not be written
};

using downloadcompletion = std::function<void(const downloadresult &)>;
// Downloads `url` into the download directory under `name`, then calls
// `done` on the UI thread.
using downloader = std::function<void(const std::string &name, const std::string &url, downloadcompletion done)>;

// The browser-side half of the page's plugin functions: loads plugins by URL
// into the registry (keyed by sha1hex of the URL), starts each one's worker
// when its download has finished and routes the page's calls to them. UI
// thread only. The plugins it makes belong to the registry.
class pluginhost {
 public:
  pluginhost(pluginregistry &registry, qxpenv env, downloader download);
  ~pluginhost();
  pluginhost(const pluginhost &) = delete;
  pluginhost &operator=(const pluginhost &) = delete;

  // "loadQXP": a URL seen before is answered at once with its plugin's
  // number (however its download went); a new one is registered and
  // downloaded once.
  void loadqxp(const std::string &url, const std::string &requestid);
  // "makeQXPCall": queued to every plugin with that number; when none has it,
  // or its store of waiting calls is full, answered at once with an empty
  // result.
  void makeqxpcall(int number, const std::string &fn, const std::string &data, const std::string &requestid);
  // A plugin download has ended. A complete download (status 200, URL ending
  // in "qxp") starts its plugin's worker and tells the page "qxpLoaded".
  void downloadfinished(const downloadresult &result);

 private:
  void send(pagemessage m) const;

  pluginregistry &registry;
  qxpenv env;
  downloader download;
  // Plugin numbers are never reused.
  std::uint32_t nextid = 1;
  // Completions of downloads still running when the host goes do nothing.
  std::shared_ptr<pluginhost *> self;
};

// Queues the stop item to every plugin, in key order. Nothing waits for the
// workers.
void finiplugins(const pluginregistry &registry);

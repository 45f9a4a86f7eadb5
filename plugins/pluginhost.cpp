#include "plugins/pluginhost.h"

#include "common/debuglog.h"
#include "common/sha1hex.h"
#include "common/uithread.h"

void qxprelease::operator()(qxp *plugin) const {
  assertuithread();
  if (plugin->workerended()) {
    delete plugin;
    return;
  }
  // Deliberately not freed: its worker still runs in it and may never return.
  debugout("plugin " + std::to_string(plugin->id) +
           ": its worker is still busy; the plugin is left to the end of the process");
}

pluginhost::pluginhost(pluginregistry &registry, qxpenv env, downloader download)
    : registry(registry),
      env(std::move(env)),
      download(std::move(download)),
      self(std::make_shared<pluginhost *>(this)) {}

pluginhost::~pluginhost() = default;

void pluginhost::send(pagemessage m) const {
  if (env.send) env.send(std::move(m));
}

void pluginhost::loadqxp(const std::string &url, const std::string &requestid) {
  assertuithread();
  const std::string name = sha1hex(url);
  if (auto known = registry.find(name); known != registry.end()) {
    send(pagemessage(std::string(msg::qxploaded), {requestid, static_cast<int>(known->second->id)}));
    return;
  }
  ownedqxp plugin(new qxp(nextid++));
  plugin->url = url;
  plugin->loadtag = requestid;
  registry.emplace(name, std::move(plugin));

  if (!download) return;
  std::weak_ptr<pluginhost *> host = self;
  download(name, url, [host](const downloadresult &result) {
    if (auto alive = host.lock()) (*alive)->downloadfinished(result);
  });
}

void pluginhost::makeqxpcall(int number, const std::string &fn, const std::string &data, const std::string &requestid) {
  assertuithread();
  bool matched = false;
  for (const auto &[name, plugin] : registry) {
    if (static_cast<long long>(plugin->id) != number) continue;
    matched = true;
    // A call the full store dropped would never be answered: answer it now.
    if (!plugin->call(requestid, fn, data)) {
      debugout("plugin " + std::to_string(plugin->id) + " has " + std::to_string(qxp::capacity) + " calls waiting; " +
               loggable(fn) + " answered empty");
      send(pagemessage(std::string(msg::qxpcallcompleted), {requestid, std::string()}));
    }
  }
  if (!matched) send(pagemessage(std::string(msg::qxpcallcompleted), {requestid, std::string()}));
}

void pluginhost::downloadfinished(const downloadresult &result) {
  assertuithread();
  if (result.status != 200) return;
  const std::string &url = result.url;
  if (url.size() < 3 || url.compare(url.size() - 3, 3, "qxp") != 0) return;
  auto entry = registry.find(sha1hex(url));
  if (entry == registry.end()) return;
  qxp *plugin = entry->second.get();
  // A file that could not be written whole is never loaded: the page hears
  // nothing, as for a download that failed.
  if (result.failed || result.path.empty()) {
    debugout("plugin download of " + loggable(url) + " could not be saved; not started");
    return;
  }
  if (plugin->started()) return;
  plugin->start(result.path, env);
  send(pagemessage(std::string(msg::qxploaded), {plugin->loadtag, static_cast<int>(plugin->id)}));
}

void finiplugins(const pluginregistry &registry) {
  for (const auto &[name, plugin] : registry) plugin->fini();
}

#include "plugins/pluginhost.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "common/debuglog.h"
#include "common/sha1hex.h"
#include "common/signature.h"
#include "common/uithread.h"
#include "plugins/pluginsource.h"

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

pluginhost::pluginhost(pluginregistry &registry, qxpenv env, downloader download, pluginpolicy policy)
    : registry(registry),
      env(std::move(env)),
      download(std::move(download)),
      policy(std::move(policy)),
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
  if (const std::string problem = pluginsourceproblem(url, policy.serviceorigin); !problem.empty()) {
    debugout("plugin " + loggable(url) + " refused: " + problem + "; not downloaded");
    return;
  }
  ownedqxp plugin(new qxp(nextid++));
  plugin->url = url;
  plugin->loadtag = requestid;
  registry.emplace(name, std::move(plugin));

  if (!download) return;
  if (policy.signingkey.empty()) {
    fetchplugin(name, url, nullptr);
    return;
  }
  // The signature first: without one there is nothing to download.
  std::weak_ptr<pluginhost *> host = self;
  download(name + ".sig", url + ".sig", [host, name, url](downloadresult signature) {
    if (auto alive = host.lock()) (*alive)->signaturefetched(name, url, std::move(signature));
  });
}

void pluginhost::signaturefetched(const std::string &name, const std::string &url, downloadresult signature) {
  assertuithread();
  if (signature.status != 200 || signature.failed || !signature.file) {
    debugout("plugin " + loggable(url) + " refused: its signature could not be fetched from " + loggable(url) +
             ".sig (status " + std::to_string(signature.status) + "); not downloaded");
    return;
  }
  fetchplugin(name, url, std::make_shared<replacementfile>(std::move(signature.file)));
}

void pluginhost::fetchplugin(const std::string &name, const std::string &url,
                             std::shared_ptr<replacementfile> signature) {
  std::weak_ptr<pluginhost *> host = self;
  download(name, url, [host, signature = std::move(signature)](downloadresult result) {
    if (auto alive = host.lock()) (*alive)->downloadfinished(std::move(result), signature.get());
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
      send(callcompleted(requestid, {}));
    }
  }
  if (!matched) send(callcompleted(requestid, {}));
}

void pluginhost::downloadfinished(downloadresult result, const replacementfile *signature) {
  assertuithread();
  if (result.status != 200) return;
  const std::string &url = result.url;
  if (url.size() < 3 || url.compare(url.size() - 3, 3, "qxp") != 0) return;
  auto entry = registry.find(sha1hex(url));
  if (entry == registry.end()) return;
  qxp *plugin = entry->second.get();
  // A file that could not be written whole is never loaded: the page hears
  // nothing, as for a download that failed.
  if (result.failed || !result.file) {
    debugout("plugin download of " + loggable(url) + " could not be saved; not started");
    return;
  }
  if (plugin->started()) return;
  // What is checked is what runs: the worker gets the descriptor checked
  // here, not the file's name.
  if (!policy.signingkey.empty()) {
    const std::string problem = signature ? signatureproblem(result.file.fd(), signature->fd(), policy.signingkey)
                                          : std::string("it has no signature");
    if (!problem.empty()) {
      debugout("plugin " + loggable(url) + " refused: " + problem + "; not started");
      return;
    }
  }
  if (std::string problem; !result.file.commit(problem)) {
    debugout("plugin download of " + loggable(url) + " could not be saved (" + loggable(problem) + "); not started");
    return;
  }
  plugin->start(pluginfile{result.file.readonly(), result.file.path()}, env);
  send(pagemessage(std::string(msg::qxploaded), {plugin->loadtag, static_cast<int>(plugin->id)}));
}

void finiplugins(const pluginregistry &registry) {
  for (const auto &[name, plugin] : registry) plugin->fini();
}

void closeplugins(const pluginregistry &registry) {
  for (const auto &[name, plugin] : registry) plugin->close();
}

bool pluginsbusy(const pluginregistry &registry) {
  for (const auto &[name, plugin] : registry)
    if (!plugin->workerended()) return true;
  return false;
}

void skipexitcleanupifbusy(const pluginregistry &registry) {
  if (!pluginsbusy(registry)) return;
  debugout("shutdown: a plugin is still busy; the process ends without its exit-time clean-up");
  // Registered last, so run first of the exit handlers: before the static
  // destructors and the libraries' finalisers.
  std::atexit([] {
    std::fflush(nullptr);
    ::_exit(0);
  });
}

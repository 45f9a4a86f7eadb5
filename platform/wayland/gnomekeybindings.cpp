#include "platform/wayland/gnomekeybindings.h"

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include <algorithm>

#include "common/debuglog.h"
#include "common/lazylib.h"
#include "platform/wayland/waylandkeys.h"

namespace {
// The settings library's functions, loaded when a GNOME session first asks
// for them: other sessions never pay for loading it.
struct giofunctions {
  decltype(&g_settings_schema_source_get_default) schemasource = nullptr;
  decltype(&g_settings_schema_source_lookup) lookupschema = nullptr;
  decltype(&g_settings_schema_unref) unrefschema = nullptr;
  decltype(&g_settings_backend_get_default) backend = nullptr;
  decltype(&g_settings_new) settings = nullptr;
  decltype(&g_settings_new_with_path) settingsat = nullptr;
  decltype(&g_settings_get_strv) getstrv = nullptr;
  decltype(&g_settings_set_strv) setstrv = nullptr;
  decltype(&g_settings_set_string) setstring = nullptr;
  decltype(&g_settings_reset) reset = nullptr;
  decltype(&g_settings_sync) sync = nullptr;
  // The type library's, found through GIO, which depends on it.
  decltype(&g_object_unref) unref = nullptr;
  decltype(&g_type_name) typenameof = nullptr;
};

// Null when the library or one of its functions is missing.
const giofunctions *gio() {
  return loadonce<giofunctions>("libgio-2.0.so.0", [](void *library, giofunctions &f) {
    return findfunction(library, "g_settings_schema_source_get_default", f.schemasource) &&
           findfunction(library, "g_settings_schema_source_lookup", f.lookupschema) &&
           findfunction(library, "g_settings_schema_unref", f.unrefschema) &&
           findfunction(library, "g_settings_backend_get_default", f.backend) &&
           findfunction(library, "g_settings_new", f.settings) &&
           findfunction(library, "g_settings_new_with_path", f.settingsat) &&
           findfunction(library, "g_settings_get_strv", f.getstrv) &&
           findfunction(library, "g_settings_set_strv", f.setstrv) &&
           findfunction(library, "g_settings_set_string", f.setstring) &&
           findfunction(library, "g_settings_reset", f.reset) && findfunction(library, "g_settings_sync", f.sync) &&
           findfunction(library, "g_object_unref", f.unref) && findfunction(library, "g_type_name", f.typenameof);
  });
}

const char *const mediakeys = "org.gnome.settings-daemon.plugins.media-keys";
const char *const custombinding = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
const std::string folder = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";
const std::string prefix = folder + "orvalink-desktop-";

bool hasschema(const giofunctions &g, const char *id) {
  GSettingsSchemaSource *source = g.schemasource();
  if (!source) return false;
  GSettingsSchema *schema = g.lookupschema(source, id, TRUE);
  if (!schema) return false;
  g.unrefschema(schema);
  return true;
}

std::vector<std::string> bindinglist(const giofunctions &g, GSettings *settings) {
  std::vector<std::string> out;
  gchar **paths = g.getstrv(settings, "custom-keybindings");
  for (gchar **p = paths; p && *p; ++p) out.emplace_back(*p);
  g_strfreev(paths);
  return out;
}

void setbindinglist(const giofunctions &g, GSettings *settings, const std::vector<std::string> &paths) {
  std::vector<const gchar *> raw;
  for (const std::string &p : paths) raw.push_back(p.c_str());
  raw.push_back(nullptr);
  g.setstrv(settings, "custom-keybindings", raw.data());
}

void setbinding(const giofunctions &g, const std::string &path, const char *name, const std::string &command,
                const std::string &keys) {
  GSettings *b = g.settingsat(custombinding, path.c_str());
  g.setstring(b, "name", name);
  g.setstring(b, "command", command.c_str());
  g.setstring(b, "binding", keys.c_str());
  g.unref(b);
}

void resetbinding(const giofunctions &g, const std::string &path) {
  GSettings *b = g.settingsat(custombinding, path.c_str());
  for (const char *key : {"name", "command", "binding"}) g.reset(b, key);
  g.unref(b);
}

// Removes the program's bindings (all of them, also a crashed run's) from
// the list and from the settings store.
void removeownbindings() {
  const giofunctions *g = gio();
  if (!g) return;
  GSettings *settings = g->settings(mediakeys);
  std::vector<std::string> paths = bindinglist(*g, settings);
  std::vector<std::string> kept;
  for (const std::string &p : paths) {
    if (p.rfind(prefix, 0) == 0)
      resetbinding(*g, p);
    else
      kept.push_back(p);
  }
  if (kept.size() != paths.size()) setbindinglist(*g, settings, kept);
  g->unref(settings);
  g->sync();
}
}  // namespace

std::string gnomekeybindingpath(const std::string &name) {
  std::string tail = name;
  std::replace(tail.begin(), tail.end(), '+', '-');
  return prefix + tail + "/";
}

bool gnomekeybindings::available() {
  const giofunctions *g = gio();
  if (!g || !hasschema(*g, mediakeys) || !hasschema(*g, custombinding)) return false;
  GSettingsBackend *backend = g->backend();
  const bool stored = backend && std::string(g->typenameof(G_OBJECT_TYPE(backend))) != "GMemorySettingsBackend";
  if (backend) g->unref(backend);
  return stored;
}

gnomekeybindings::gnomekeybindings(std::string program) : program_(std::move(program)) { removeownbindings(); }

gnomekeybindings::~gnomekeybindings() { removeownbindings(); }

void gnomekeybindings::setlistener(std::function<void(int)> listener) { listener_ = std::move(listener); }

bool gnomekeybindings::grab(const hotkeyrequest &request) {
  const std::string name = hotkeyname(request.virtualkey, request.modifiers);
  const std::string keys = gnomebinding(request.virtualkey, request.modifiers);
  const giofunctions *g = gio();
  if (!g || name.empty() || keys.empty()) return false;
  for (const binding &b : bindings_)
    if (b.name == name) return true;
  gchar *quoted = g_shell_quote(program_.c_str());
  const std::string command = std::string(quoted) + " --hotkey=" + name;
  g_free(quoted);
  const std::string path = gnomekeybindingpath(name);
  // The binding's keys first: the list change is what the desktop acts on.
  setbinding(*g, path, request.description.c_str(), command, keys);
  GSettings *settings = g->settings(mediakeys);
  std::vector<std::string> paths = bindinglist(*g, settings);
  if (std::find(paths.begin(), paths.end(), path) == paths.end()) {
    paths.push_back(path);
    setbindinglist(*g, settings, paths);
  }
  g->unref(settings);
  g->sync();
  bindings_.push_back({name, request.identifier});
  debugout("hotkey " + name + " (" + request.description + "): GNOME keybinding " + keys);
  return true;
}

bool gnomekeybindings::firenamed(const std::string &name) {
  for (const binding &b : bindings_) {
    if (b.name != name) continue;
    if (listener_) listener_(b.identifier);
    return true;
  }
  return false;
}

#include "platform/wayland/gnomekeybindings.h"

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include <algorithm>

#include "common/debuglog.h"
#include "platform/wayland/waylandkeys.h"

namespace {
const char *const mediakeys = "org.gnome.settings-daemon.plugins.media-keys";
const char *const custombinding = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
const std::string folder = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";
const std::string prefix = folder + "orvalink-desktop-";

bool hasschema(const char *id) {
  GSettingsSchemaSource *source = g_settings_schema_source_get_default();
  if (!source) return false;
  GSettingsSchema *schema = g_settings_schema_source_lookup(source, id, TRUE);
  if (!schema) return false;
  g_settings_schema_unref(schema);
  return true;
}

std::vector<std::string> bindinglist(GSettings *settings) {
  std::vector<std::string> out;
  gchar **paths = g_settings_get_strv(settings, "custom-keybindings");
  for (gchar **p = paths; p && *p; ++p) out.emplace_back(*p);
  g_strfreev(paths);
  return out;
}

void setbindinglist(GSettings *settings, const std::vector<std::string> &paths) {
  std::vector<const gchar *> raw;
  for (const std::string &p : paths) raw.push_back(p.c_str());
  raw.push_back(nullptr);
  g_settings_set_strv(settings, "custom-keybindings", raw.data());
}

void setbinding(const std::string &path, const char *name, const std::string &command, const std::string &keys) {
  GSettings *b = g_settings_new_with_path(custombinding, path.c_str());
  g_settings_set_string(b, "name", name);
  g_settings_set_string(b, "command", command.c_str());
  g_settings_set_string(b, "binding", keys.c_str());
  g_object_unref(b);
}

void resetbinding(const std::string &path) {
  GSettings *b = g_settings_new_with_path(custombinding, path.c_str());
  for (const char *key : {"name", "command", "binding"}) g_settings_reset(b, key);
  g_object_unref(b);
}

// Removes the program's bindings (all of them, also a crashed run's) from
// the list and from the settings store.
void removeownbindings() {
  GSettings *settings = g_settings_new(mediakeys);
  std::vector<std::string> paths = bindinglist(settings);
  std::vector<std::string> kept;
  for (const std::string &p : paths) {
    if (p.rfind(prefix, 0) == 0)
      resetbinding(p);
    else
      kept.push_back(p);
  }
  if (kept.size() != paths.size()) setbindinglist(settings, kept);
  g_object_unref(settings);
  g_settings_sync();
}
}  // namespace

std::string gnomekeybindingpath(const std::string &name) {
  std::string tail = name;
  std::replace(tail.begin(), tail.end(), '+', '-');
  return prefix + tail + "/";
}

bool gnomekeybindings::available() {
  if (!hasschema(mediakeys) || !hasschema(custombinding)) return false;
  GSettingsBackend *backend = g_settings_backend_get_default();
  const bool stored = backend && std::string(G_OBJECT_TYPE_NAME(backend)) != "GMemorySettingsBackend";
  if (backend) g_object_unref(backend);
  return stored;
}

gnomekeybindings::gnomekeybindings(std::string program) : program_(std::move(program)) { removeownbindings(); }

gnomekeybindings::~gnomekeybindings() { removeownbindings(); }

void gnomekeybindings::setlistener(std::function<void(int)> listener) { listener_ = std::move(listener); }

bool gnomekeybindings::grab(const hotkeyrequest &request) {
  const std::string name = hotkeyname(request.virtualkey, request.modifiers);
  const std::string keys = gnomebinding(request.virtualkey, request.modifiers);
  if (name.empty() || keys.empty()) return false;
  for (const binding &b : bindings_)
    if (b.name == name) return true;
  gchar *quoted = g_shell_quote(program_.c_str());
  const std::string command = std::string(quoted) + " --hotkey=" + name;
  g_free(quoted);
  const std::string path = gnomekeybindingpath(name);
  // The binding's keys first: the list change is what the desktop acts on.
  setbinding(path, request.description.c_str(), command, keys);
  GSettings *settings = g_settings_new(mediakeys);
  std::vector<std::string> paths = bindinglist(settings);
  if (std::find(paths.begin(), paths.end(), path) == paths.end()) {
    paths.push_back(path);
    setbindinglist(settings, paths);
  }
  g_object_unref(settings);
  g_settings_sync();
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

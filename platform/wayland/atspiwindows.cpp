#include "platform/wayland/atspiwindows.h"

#include <atspi/atspi.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace {
// Longest wait for one answer from another application, and for one listing.
constexpr int calltimeoutms = 1000;
constexpr auto listlimit = std::chrono::milliseconds(2000);

bool failed(GError *&error) {
  if (!error) return false;
  g_error_free(error);
  error = nullptr;
  return true;
}

std::string nameof(AtspiAccessible *a) {
  GError *error = nullptr;
  gchar *name = atspi_accessible_get_name(a, &error);
  std::string out = !failed(error) && name ? name : "";
  g_free(name);
  return out;
}

// Asks the application, after dropping what the library remembers, so that
// a frame that closed or changed state is seen as it is now. Null when the
// application no longer answers for it.
AtspiStateSet *freshstates(AtspiAccessible *a) {
  atspi_accessible_clear_cache(a);
  AtspiStateSet *set = atspi_accessible_get_state_set(a);
  if (set && atspi_state_set_contains(set, ATSPI_STATE_DEFUNCT)) {
    g_object_unref(set);
    return nullptr;
  }
  return set;
}

bool istoplevel(AtspiAccessible *a) {
  GError *error = nullptr;
  const AtspiRole role = atspi_accessible_get_role(a, &error);
  return !failed(error) && (role == ATSPI_ROLE_FRAME || role == ATSPI_ROLE_DIALOG);
}
}  // namespace

atspiwindows::atspiwindows() {
  const int status = atspi_init();
  ready_ = status == 0 || status == 1;
  if (ready_) atspi_set_timeout(calltimeoutms, calltimeoutms);
}

atspiwindows::~atspiwindows() {
  for (auto &[id, k] : known_) g_object_unref(k.frame);
}

void atspiwindows::forget(std::map<windowid, known>::iterator it) {
  g_object_unref(it->second.frame);
  known_.erase(it);
}

windowid atspiwindows::idof(AtspiAccessible *frame, std::uint32_t pid, const std::string &appname) {
  // The library keeps one object per remote frame while it is referenced,
  // so the object itself tells a frame seen before.
  for (const auto &[id, k] : known_)
    if (k.frame == frame) return id;
  const windowid id = nativeframeid(++lastserial_);
  known_[id] = {static_cast<AtspiAccessible *>(g_object_ref(frame)), pid, appname};
  return id;
}

std::vector<nativeframe> atspiwindows::frames() {
  std::vector<nativeframe> out;
  if (!ready_) return out;
  const auto self = static_cast<guint>(getpid());
  const auto deadline = std::chrono::steady_clock::now() + listlimit;
  bool complete = true;
  AtspiAccessible *desktop = atspi_get_desktop(0);
  if (!desktop) return out;
  atspi_accessible_clear_cache(desktop);
  GError *error = nullptr;
  const gint apps = atspi_accessible_get_child_count(desktop, &error);
  for (gint i = 0; !failed(error) && i < apps; ++i) {
    if (std::chrono::steady_clock::now() > deadline) {
      complete = false;
      break;
    }
    AtspiAccessible *app = atspi_accessible_get_child_at_index(desktop, i, &error);
    if (failed(error) || !app) continue;
    // The bus, not the application, knows its process.
    const guint pid = atspi_accessible_get_process_id(app, &error);
    if (!failed(error) && pid != self) {
      const std::string appname = nameof(app);
      const gint count = atspi_accessible_get_child_count(app, &error);
      for (gint j = 0; !failed(error) && j < count; ++j) {
        AtspiAccessible *child = atspi_accessible_get_child_at_index(app, j, &error);
        if (failed(error) || !child) continue;
        if (istoplevel(child)) out.push_back({idof(child, pid, appname), pid, appname, nameof(child)});
        g_object_unref(child);
      }
    }
    g_object_unref(app);
  }
  g_object_unref(desktop);
  // Frames missing from a whole listing have closed.
  if (complete)
    for (auto it = known_.begin(); it != known_.end();) {
      const windowid id = it->first;
      const bool listed = std::any_of(out.begin(), out.end(), [&](const nativeframe &f) { return f.id == id; });
      if (listed)
        ++it;
      else
        forget(it++);
    }
  return out;
}

const atspiwindows::known *atspiwindows::lookup(windowid w) {
  const auto it = known_.find(w);
  if (it == known_.end()) return nullptr;
  AtspiStateSet *set = freshstates(it->second.frame);
  if (!set) {
    forget(it);
    return nullptr;
  }
  g_object_unref(set);
  return &it->second;
}

windowid atspiwindows::activeframe() {
  for (const nativeframe &f : frames()) {
    const auto it = known_.find(f.id);
    if (it == known_.end()) continue;
    AtspiStateSet *set = freshstates(it->second.frame);
    const bool active = set && atspi_state_set_contains(set, ATSPI_STATE_ACTIVE);
    if (set) g_object_unref(set);
    if (active) return f.id;
  }
  return 0;
}

bool atspiwindows::exists(windowid w) { return lookup(w) != nullptr; }

bool atspiwindows::showing(windowid w) {
  const auto it = known_.find(w);
  if (it == known_.end()) return false;
  AtspiStateSet *set = freshstates(it->second.frame);
  const bool shown = set && atspi_state_set_contains(set, ATSPI_STATE_SHOWING);
  if (set) g_object_unref(set);
  return shown;
}

std::string atspiwindows::title(windowid w) {
  const known *k = lookup(w);
  return k ? nameof(k->frame) : "";
}

std::string atspiwindows::appname(windowid w) {
  const known *k = lookup(w);
  return k ? k->appname : "";
}

std::uint32_t atspiwindows::processid(windowid w) {
  const known *k = lookup(w);
  return k ? k->pid : 0;
}

std::optional<screenrect> atspiwindows::rect(windowid w) {
  const known *k = lookup(w);
  if (!k) return std::nullopt;
  AtspiComponent *c = atspi_accessible_get_component_iface(k->frame);
  if (!c) return std::nullopt;
  GError *error = nullptr;
  AtspiRect *r = atspi_component_get_extents(c, ATSPI_COORD_TYPE_SCREEN, &error);
  g_object_unref(c);
  std::optional<screenrect> out;
  if (!failed(error) && r) out = screenrect{r->x, r->y, r->x + r->width, r->y + r->height};
  g_free(r);
  return out;
}

#include "platform/wayland/atspiwindows.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "platform/linux/atspilib.h"

namespace {
// Longest wait for one answer from another application, and for one listing.
constexpr int calltimeoutms = 1000;
constexpr auto listlimit = std::chrono::milliseconds(2000);

std::string nameof(const atspifunctions &at, AtspiAccessible *a) {
  GError *error = nullptr;
  gchar *name = at.name(a, &error);
  std::string out = !atspifailed(error) && name ? name : "";
  g_free(name);
  return out;
}

// Asks the application, after dropping what the library remembers, so that
// a frame that closed or changed state is seen as it is now. Null when the
// application no longer answers for it.
AtspiStateSet *freshstates(const atspifunctions &at, AtspiAccessible *a) {
  at.clearcache(a);
  AtspiStateSet *set = at.stateset(a);
  if (set && at.hasstate(set, ATSPI_STATE_DEFUNCT)) {
    at.unref(set);
    return nullptr;
  }
  return set;
}

bool istoplevel(const atspifunctions &at, AtspiAccessible *a) {
  GError *error = nullptr;
  const AtspiRole role = at.role(a, &error);
  return !atspifailed(error) && (role == ATSPI_ROLE_FRAME || role == ATSPI_ROLE_DIALOG);
}
}  // namespace

atspiwindows::atspiwindows() = default;

atspiwindows::~atspiwindows() {
  for (auto &[id, k] : known_) at_->unref(k.frame);
}

bool atspiwindows::start() {
  if (!started_) at_ = atspiconnect(calltimeoutms);
  started_ = true;
  return at_ != nullptr;
}

void atspiwindows::forget(std::map<windowid, known>::iterator it) {
  at_->unref(it->second.frame);
  known_.erase(it);
}

windowid atspiwindows::idof(AtspiAccessible *frame, std::uint32_t pid, const std::string &appname) {
  // The library keeps one object per remote frame while it is referenced,
  // so the object itself tells a frame seen before.
  for (const auto &[id, k] : known_)
    if (k.frame == frame) return id;
  const windowid id = nativeframeid(++lastserial_);
  known_[id] = {static_cast<AtspiAccessible *>(at_->ref(frame)), pid, appname};
  return id;
}

std::vector<nativeframe> atspiwindows::frames() {
  std::vector<nativeframe> out;
  if (!start()) return out;
  const atspifunctions &at = *at_;
  const auto self = static_cast<guint>(getpid());
  const auto deadline = std::chrono::steady_clock::now() + listlimit;
  bool complete = true;
  AtspiAccessible *desktop = at.desktop(0);
  if (!desktop) return out;
  at.clearcache(desktop);
  GError *error = nullptr;
  const gint apps = at.childcount(desktop, &error);
  for (gint i = 0; !atspifailed(error) && i < apps; ++i) {
    if (std::chrono::steady_clock::now() > deadline) {
      complete = false;
      break;
    }
    AtspiAccessible *app = at.child(desktop, i, &error);
    if (atspifailed(error) || !app) continue;
    // The bus, not the application, knows its process.
    const guint pid = at.processid(app, &error);
    if (!atspifailed(error) && pid != self) {
      const std::string appname = nameof(at, app);
      const gint count = at.childcount(app, &error);
      for (gint j = 0; !atspifailed(error) && j < count; ++j) {
        AtspiAccessible *child = at.child(app, j, &error);
        if (atspifailed(error) || !child) continue;
        if (istoplevel(at, child)) out.push_back({idof(child, pid, appname), pid, appname, nameof(at, child)});
        at.unref(child);
      }
    }
    at.unref(app);
  }
  at.unref(desktop);
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
  AtspiStateSet *set = freshstates(*at_, it->second.frame);
  if (!set) {
    forget(it);
    return nullptr;
  }
  at_->unref(set);
  return &it->second;
}

windowid atspiwindows::activeframe() {
  for (const nativeframe &f : frames()) {
    const auto it = known_.find(f.id);
    if (it == known_.end()) continue;
    AtspiStateSet *set = freshstates(*at_, it->second.frame);
    const bool active = set && at_->hasstate(set, ATSPI_STATE_ACTIVE);
    if (set) at_->unref(set);
    if (active) return f.id;
  }
  return 0;
}

bool atspiwindows::exists(windowid w) { return lookup(w) != nullptr; }

bool atspiwindows::showing(windowid w) {
  const auto it = known_.find(w);
  if (it == known_.end()) return false;
  AtspiStateSet *set = freshstates(*at_, it->second.frame);
  const bool shown = set && at_->hasstate(set, ATSPI_STATE_SHOWING);
  if (set) at_->unref(set);
  return shown;
}

std::string atspiwindows::title(windowid w) {
  const known *k = lookup(w);
  return k ? nameof(*at_, k->frame) : "";
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
  AtspiComponent *c = at_->componentiface(k->frame);
  if (!c) return std::nullopt;
  GError *error = nullptr;
  AtspiRect *r = at_->extents(c, ATSPI_COORD_TYPE_SCREEN, &error);
  at_->unref(c);
  std::optional<screenrect> out;
  if (!atspifailed(error) && r) out = screenrect{r->x, r->y, r->x + r->width, r->y + r->height};
  g_free(r);
  return out;
}

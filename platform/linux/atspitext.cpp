#include "platform/linux/atspitext.h"

#include <unistd.h>

#include <chrono>
#include <functional>

#include "platform/linux/atspilib.h"

namespace {
// Longest wait for one answer from another application, and for one search.
constexpr int calltimeoutms = 1000;
constexpr auto searchlimit = std::chrono::milliseconds(2000);
constexpr int maxnodes = 5000;

bool hasstate(const atspifunctions &at, AtspiAccessible *a, AtspiStateType state) {
  AtspiStateSet *set = at.stateset(a);
  if (!set) return false;
  const bool has = at.hasstate(set, state);
  at.unref(set);
  return has;
}

guint processof(const atspifunctions &at, AtspiAccessible *a) {
  GError *error = nullptr;
  const guint pid = at.processid(a, &error);
  return atspifailed(error) ? 0 : pid;
}

// Depth first through the showing part of an application's tree.
AtspiAccessible *findfocused(const atspifunctions &at, AtspiAccessible *root,
                             std::chrono::steady_clock::time_point deadline) {
  int visited = 0;
  std::function<AtspiAccessible *(AtspiAccessible *, int)> search = [&](AtspiAccessible *node,
                                                                        int depth) -> AtspiAccessible * {
    if (++visited > maxnodes || depth > 64 || std::chrono::steady_clock::now() > deadline) return nullptr;
    GError *error = nullptr;
    const gint count = at.childcount(node, &error);
    if (atspifailed(error)) return nullptr;
    for (gint i = 0; i < count; ++i) {
      AtspiAccessible *child = at.child(node, i, &error);
      if (atspifailed(error) || !child) continue;
      if (hasstate(at, child, ATSPI_STATE_FOCUSED)) return child;
      AtspiAccessible *found = hasstate(at, child, ATSPI_STATE_SHOWING) ? search(child, depth + 1) : nullptr;
      at.unref(child);
      if (found) return found;
    }
    return nullptr;
  };
  return search(root, 0);
}
}  // namespace

atspitext::atspitext(desktopwindows &windows) : windows_(windows) {}

bool atspitext::start() {
  if (started_) return at_ != nullptr;
  started_ = true;
  at_ = atspiconnect(calltimeoutms);
  if (!at_) return false;
  listener_ = at_->newlistener(onfocus, this, nullptr);
  GError *error = nullptr;
  at_->registerlistener(listener_, "object:state-changed:focused", &error);
  atspifailed(error);
  return true;
}

atspitext::~atspitext() {
  if (listener_) {
    GError *error = nullptr;
    at_->deregisterlistener(listener_, "object:state-changed:focused", &error);
    atspifailed(error);
    at_->unref(listener_);
  }
  if (lastfocus_) at_->unref(lastfocus_);
}

void atspitext::onfocus(AtspiEvent *event, void *self) {
  auto *me = static_cast<atspitext *>(self);
  const atspifunctions &at = *me->at_;
  if (event->detail1 && event->source) {
    if (me->lastfocus_) at.unref(me->lastfocus_);
    me->lastfocus_ = static_cast<AtspiAccessible *>(at.ref(event->source));
  }
  at.boxedfree(at.eventtype(), event);
}

AtspiAccessible *atspitext::focused() {
  if (!start()) return nullptr;
  const atspifunctions &at = *at_;
  const windowid active = windows_.activewindow();
  const guint pid = active ? windows_.processid(active) : 0;
  // Our own windows would answer on this very thread, which is busy asking.
  const auto self = static_cast<guint>(getpid());
  if (pid && pid == self) return nullptr;
  if (lastfocus_) {
    // The bus, not the application, knows an object's process.
    const guint owner = processof(at, lastfocus_);
    at.clearcache(lastfocus_);
    if (owner != self && (!pid || owner == pid) && hasstate(at, lastfocus_, ATSPI_STATE_FOCUSED))
      return static_cast<AtspiAccessible *>(at.ref(lastfocus_));
  }
  const auto deadline = std::chrono::steady_clock::now() + searchlimit;
  AtspiAccessible *desktop = at.desktop(0);
  if (!desktop) return nullptr;
  AtspiAccessible *found = nullptr;
  GError *error = nullptr;
  const gint apps = at.childcount(desktop, &error);
  for (gint i = 0; !atspifailed(error) && i < apps && !found; ++i) {
    AtspiAccessible *app = at.child(desktop, i, &error);
    if (atspifailed(error) || !app) continue;
    const guint apppid = processof(at, app);
    if (apppid != self && (!pid || apppid == pid)) {
      at.clearcache(app);
      found = findfocused(at, app, deadline);
    }
    at.unref(app);
  }
  at.unref(desktop);
  return found;
}

std::optional<std::string> atspitext::text() {
  AtspiAccessible *a = focused();
  if (!a) return std::nullopt;
  std::optional<std::string> result;
  GError *error = nullptr;
  const atspifunctions &at = *at_;
  if (AtspiText *t = at.textiface(a)) {
    const gint count = at.charactercount(t, &error);
    if (!atspifailed(error)) {
      gchar *s = at.gettext(t, 0, count, &error);
      if (!atspifailed(error) && s) result = s;
      g_free(s);
    }
    at.unref(t);
  } else {
    // A control without text (a button, a check box): its name, as its caption.
    gchar *name = at.name(a, &error);
    if (!atspifailed(error) && name) result = name;
    g_free(name);
  }
  at.unref(a);
  return result;
}

bool atspitext::settext(const std::string &utf8) {
  AtspiAccessible *a = focused();
  if (!a) return false;
  bool ok = false;
  if (AtspiEditableText *e = at_->editableiface(a)) {
    GError *error = nullptr;
    ok = at_->settext(e, utf8.c_str(), &error) && !atspifailed(error);
    at_->unref(e);
  }
  at_->unref(a);
  return ok;
}

std::optional<focusedtext::selection> atspitext::selected() {
  AtspiAccessible *a = focused();
  if (!a) return std::nullopt;
  std::optional<selection> result;
  const atspifunctions &at = *at_;
  if (AtspiText *t = at.textiface(a)) {
    GError *error = nullptr;
    const gint n = at.selectioncount(t, &error);
    if (!atspifailed(error) && n > 0) {
      AtspiRange *r = at.getselection(t, 0, &error);
      if (!atspifailed(error) && r) result = selection{r->start_offset, r->end_offset};
      g_free(r);
    } else {
      const gint caret = at.caret(t, &error);
      if (!atspifailed(error)) result = selection{caret, caret};
    }
    at.unref(t);
  }
  at.unref(a);
  return result;
}

#include "platform/linux/atspitext.h"

#include <atspi/atspi.h>
#include <unistd.h>

#include <chrono>
#include <functional>

namespace {
// Longest wait for one answer from another application, and for one search.
constexpr int calltimeoutms = 1000;
constexpr auto searchlimit = std::chrono::milliseconds(2000);
constexpr int maxnodes = 5000;

// Drops a GError; true when there was one.
bool failed(GError *&error) {
  if (!error) return false;
  g_error_free(error);
  error = nullptr;
  return true;
}

bool hasstate(AtspiAccessible *a, AtspiStateType state) {
  AtspiStateSet *set = atspi_accessible_get_state_set(a);
  if (!set) return false;
  const bool has = atspi_state_set_contains(set, state);
  g_object_unref(set);
  return has;
}

guint processof(AtspiAccessible *a) {
  GError *error = nullptr;
  const guint pid = atspi_accessible_get_process_id(a, &error);
  return failed(error) ? 0 : pid;
}

// Depth first through the showing part of an application's tree.
AtspiAccessible *findfocused(AtspiAccessible *root, std::chrono::steady_clock::time_point deadline) {
  int visited = 0;
  std::function<AtspiAccessible *(AtspiAccessible *, int)> search = [&](AtspiAccessible *node,
                                                                        int depth) -> AtspiAccessible * {
    if (++visited > maxnodes || depth > 64 || std::chrono::steady_clock::now() > deadline) return nullptr;
    GError *error = nullptr;
    const gint count = atspi_accessible_get_child_count(node, &error);
    if (failed(error)) return nullptr;
    for (gint i = 0; i < count; ++i) {
      AtspiAccessible *child = atspi_accessible_get_child_at_index(node, i, &error);
      if (failed(error) || !child) continue;
      if (hasstate(child, ATSPI_STATE_FOCUSED)) return child;
      AtspiAccessible *found = hasstate(child, ATSPI_STATE_SHOWING) ? search(child, depth + 1) : nullptr;
      g_object_unref(child);
      if (found) return found;
    }
    return nullptr;
  };
  return search(root, 0);
}
}  // namespace

atspitext::atspitext(desktopwindows &windows) : windows_(windows) {}

bool atspitext::start() {
  if (started_) return ready_;
  started_ = true;
  const int status = atspi_init();
  ready_ = status == 0 || status == 1;
  if (!ready_) return false;
  atspi_set_timeout(calltimeoutms, calltimeoutms);
  listener_ = atspi_event_listener_new(onfocus, this, nullptr);
  GError *error = nullptr;
  atspi_event_listener_register(listener_, "object:state-changed:focused", &error);
  failed(error);
  return true;
}

atspitext::~atspitext() {
  if (listener_) {
    GError *error = nullptr;
    atspi_event_listener_deregister(listener_, "object:state-changed:focused", &error);
    failed(error);
    g_object_unref(listener_);
  }
  if (lastfocus_) g_object_unref(lastfocus_);
}

void atspitext::onfocus(AtspiEvent *event, void *self) {
  auto *me = static_cast<atspitext *>(self);
  if (event->detail1 && event->source) {
    if (me->lastfocus_) g_object_unref(me->lastfocus_);
    me->lastfocus_ = static_cast<AtspiAccessible *>(g_object_ref(event->source));
  }
  g_boxed_free(ATSPI_TYPE_EVENT, event);
}

AtspiAccessible *atspitext::focused() {
  if (!start()) return nullptr;
  const windowid active = windows_.activewindow();
  const guint pid = active ? windows_.processid(active) : 0;
  // Our own windows would answer on this very thread, which is busy asking.
  const auto self = static_cast<guint>(getpid());
  if (pid && pid == self) return nullptr;
  if (lastfocus_) {
    // The bus, not the application, knows an object's process.
    const guint owner = processof(lastfocus_);
    atspi_accessible_clear_cache(lastfocus_);
    if (owner != self && (!pid || owner == pid) && hasstate(lastfocus_, ATSPI_STATE_FOCUSED))
      return static_cast<AtspiAccessible *>(g_object_ref(lastfocus_));
  }
  const auto deadline = std::chrono::steady_clock::now() + searchlimit;
  AtspiAccessible *desktop = atspi_get_desktop(0);
  if (!desktop) return nullptr;
  AtspiAccessible *found = nullptr;
  GError *error = nullptr;
  const gint apps = atspi_accessible_get_child_count(desktop, &error);
  for (gint i = 0; !failed(error) && i < apps && !found; ++i) {
    AtspiAccessible *app = atspi_accessible_get_child_at_index(desktop, i, &error);
    if (failed(error) || !app) continue;
    const guint apppid = processof(app);
    if (apppid != self && (!pid || apppid == pid)) {
      atspi_accessible_clear_cache(app);
      found = findfocused(app, deadline);
    }
    g_object_unref(app);
  }
  g_object_unref(desktop);
  return found;
}

std::optional<std::string> atspitext::text() {
  AtspiAccessible *a = focused();
  if (!a) return std::nullopt;
  std::optional<std::string> result;
  GError *error = nullptr;
  if (AtspiText *t = atspi_accessible_get_text_iface(a)) {
    const gint count = atspi_text_get_character_count(t, &error);
    if (!failed(error)) {
      gchar *s = atspi_text_get_text(t, 0, count, &error);
      if (!failed(error) && s) result = s;
      g_free(s);
    }
    g_object_unref(t);
  } else {
    // A control without text (a button, a check box): its name, as its caption.
    gchar *name = atspi_accessible_get_name(a, &error);
    if (!failed(error) && name) result = name;
    g_free(name);
  }
  g_object_unref(a);
  return result;
}

bool atspitext::settext(const std::string &utf8) {
  AtspiAccessible *a = focused();
  if (!a) return false;
  bool ok = false;
  if (AtspiEditableText *e = atspi_accessible_get_editable_text_iface(a)) {
    GError *error = nullptr;
    ok = atspi_editable_text_set_text_contents(e, utf8.c_str(), &error) && !failed(error);
    g_object_unref(e);
  }
  g_object_unref(a);
  return ok;
}

std::optional<focusedtext::selection> atspitext::selected() {
  AtspiAccessible *a = focused();
  if (!a) return std::nullopt;
  std::optional<selection> result;
  if (AtspiText *t = atspi_accessible_get_text_iface(a)) {
    GError *error = nullptr;
    const gint n = atspi_text_get_n_selections(t, &error);
    if (!failed(error) && n > 0) {
      AtspiRange *r = atspi_text_get_selection(t, 0, &error);
      if (!failed(error) && r) result = selection{r->start_offset, r->end_offset};
      g_free(r);
    } else {
      const gint caret = atspi_text_get_caret_offset(t, &error);
      if (!failed(error)) result = selection{caret, caret};
    }
    g_object_unref(t);
  }
  g_object_unref(a);
  return result;
}

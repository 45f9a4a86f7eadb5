#include "platform/linux/atspilib.h"

#include "common/lazylib.h"

const atspifunctions *atspi() {
  // The object functions are found through the accessibility library, which
  // depends on the type library: no name of it is needed here.
  return loadonce<atspifunctions>("libatspi.so.0", [](void *library, atspifunctions &f) {
    return findfunction(library, "atspi_init", f.init) && findfunction(library, "atspi_set_timeout", f.settimeout) &&
           findfunction(library, "atspi_get_desktop", f.desktop) &&
           findfunction(library, "atspi_event_listener_new", f.newlistener) &&
           findfunction(library, "atspi_event_listener_register", f.registerlistener) &&
           findfunction(library, "atspi_event_listener_deregister", f.deregisterlistener) &&
           findfunction(library, "atspi_event_get_type", f.eventtype) &&
           findfunction(library, "atspi_accessible_get_state_set", f.stateset) &&
           findfunction(library, "atspi_state_set_contains", f.hasstate) &&
           findfunction(library, "atspi_accessible_get_process_id", f.processid) &&
           findfunction(library, "atspi_accessible_get_child_count", f.childcount) &&
           findfunction(library, "atspi_accessible_get_child_at_index", f.child) &&
           findfunction(library, "atspi_accessible_clear_cache", f.clearcache) &&
           findfunction(library, "atspi_accessible_get_name", f.name) &&
           findfunction(library, "atspi_accessible_get_role", f.role) &&
           findfunction(library, "atspi_accessible_get_text_iface", f.textiface) &&
           findfunction(library, "atspi_accessible_get_editable_text_iface", f.editableiface) &&
           findfunction(library, "atspi_accessible_get_component_iface", f.componentiface) &&
           findfunction(library, "atspi_text_get_character_count", f.charactercount) &&
           findfunction(library, "atspi_text_get_text", f.gettext) &&
           findfunction(library, "atspi_text_get_n_selections", f.selectioncount) &&
           findfunction(library, "atspi_text_get_selection", f.getselection) &&
           findfunction(library, "atspi_text_get_caret_offset", f.caret) &&
           findfunction(library, "atspi_editable_text_set_text_contents", f.settext) &&
           findfunction(library, "atspi_component_get_extents", f.extents) &&
           findfunction(library, "g_object_ref", f.ref) && findfunction(library, "g_object_unref", f.unref) &&
           findfunction(library, "g_boxed_free", f.boxedfree);
  });
}

const atspifunctions *atspiconnect(int timeoutms) {
  const atspifunctions *at = atspi();
  if (!at) return nullptr;
  // 1: connected before (by another part of the program).
  const int status = at->init();
  if (status != 0 && status != 1) return nullptr;
  at->settimeout(timeoutms, timeoutms);
  return at;
}

bool atspifailed(GError *&error) {
  if (!error) return false;
  g_error_free(error);
  error = nullptr;
  return true;
}

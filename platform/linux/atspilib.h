#pragma once

#include <atspi/atspi.h>

// The accessibility library's functions (and the object functions of the
// type library it brings), opened when the first question is asked: a
// session that never asks another application for its controls or windows
// never pays for loading them. glib's own functions stay linked: the
// toolkit loads glib anyway.
struct atspifunctions {
  decltype(&atspi_init) init = nullptr;
  decltype(&atspi_set_timeout) settimeout = nullptr;
  decltype(&atspi_get_desktop) desktop = nullptr;
  decltype(&atspi_event_listener_new) newlistener = nullptr;
  decltype(&atspi_event_listener_register) registerlistener = nullptr;
  decltype(&atspi_event_listener_deregister) deregisterlistener = nullptr;
  decltype(&atspi_event_get_type) eventtype = nullptr;
  decltype(&atspi_accessible_get_state_set) stateset = nullptr;
  decltype(&atspi_state_set_contains) hasstate = nullptr;
  decltype(&atspi_accessible_get_process_id) processid = nullptr;
  decltype(&atspi_accessible_get_child_count) childcount = nullptr;
  decltype(&atspi_accessible_get_child_at_index) child = nullptr;
  decltype(&atspi_accessible_clear_cache) clearcache = nullptr;
  decltype(&atspi_accessible_get_name) name = nullptr;
  decltype(&atspi_accessible_get_role) role = nullptr;
  decltype(&atspi_accessible_get_text_iface) textiface = nullptr;
  decltype(&atspi_accessible_get_editable_text_iface) editableiface = nullptr;
  decltype(&atspi_accessible_get_component_iface) componentiface = nullptr;
  decltype(&atspi_text_get_character_count) charactercount = nullptr;
  decltype(&atspi_text_get_text) gettext = nullptr;
  decltype(&atspi_text_get_n_selections) selectioncount = nullptr;
  decltype(&atspi_text_get_selection) getselection = nullptr;
  decltype(&atspi_text_get_caret_offset) caret = nullptr;
  decltype(&atspi_editable_text_set_text_contents) settext = nullptr;
  decltype(&atspi_component_get_extents) extents = nullptr;
  decltype(&g_object_ref) ref = nullptr;
  decltype(&g_object_unref) unref = nullptr;
  decltype(&g_boxed_free) boxedfree = nullptr;
};

// Null when the library or one of its functions is missing.
const atspifunctions *atspi();
// The library, connected to the accessibility bus, every call to another
// application bounded by `timeoutms`; null when it cannot be loaded or
// connected.
const atspifunctions *atspiconnect(int timeoutms);

// Drops a GError; true when there was one.
bool atspifailed(GError *&error);

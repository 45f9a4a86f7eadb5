/* The one export of every plugin library, shared by the plugin host, the
 * relay program modrelay and the plugins built here (which include it so that
 * the compiler checks their definition against it). C, so that plugins
 * written in C can include it.
 *
 * handleCall takes the function name and the argument text, both
 * NUL-terminated UTF-8, and returns a NUL-terminated UTF-8 result, or NULL
 * for an empty one. The result stays the plugin's: the caller copies it
 * before it calls again and never frees it. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

const char *handleCall(const char *fn, const char *data);

#ifdef __cplusplus
}

// How the host and the relay hold the export once they have looked it up.
using handlecallfn = const char *(*)(const char *fn, const char *data);

// The name the export is looked up by.
inline constexpr const char *handlecallname = "handleCall";

// The calls the host itself makes: "ini" once the library is loaded, before
// any call of the page, and "fini" before it is unloaded; both with an empty
// argument text and their results unused.
inline constexpr const char *inicall = "ini";
inline constexpr const char *finicall = "fini";
#endif

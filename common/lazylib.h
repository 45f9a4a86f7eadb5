#pragma once

#include <dlfcn.h>

#include <optional>

// Libraries that only some runs need (the signature check's crypto library,
// the GNOME settings library) are opened when first used rather than linked:
// every linked library costs each start-up the time to load and relocate it.
//
// Loads `soname` (kept for the life of the process), or returns null.
inline void *openlibrary(const char *soname) { return ::dlopen(soname, RTLD_NOW | RTLD_LOCAL); }

// Points `into` at the library's function `name`; whether it was found. The
// type comes from the library's own declaration, e.g. decltype(&f).
template <class function>
bool findfunction(void *library, const char *name, function &into) {
  into = library ? reinterpret_cast<function>(::dlsym(library, name)) : nullptr;
  return into != nullptr;
}

// A set of a library's functions, found once by `find(library, functions&)`
// at the first call; null when the library or one of them is missing.
template <class functions, class finder>
const functions *loadonce(const char *soname, finder find) {
  static const std::optional<functions> loaded = [&]() -> std::optional<functions> {
    functions f;
    if (find(openlibrary(soname), f)) return f;
    return std::nullopt;
  }();
  return loaded ? &*loaded : nullptr;
}

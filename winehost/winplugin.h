#pragma once

#include <cstddef>

// The Windows side of the Windows plugin host: what only Wine can do. The
// rest of the host is ordinary Linux code that never includes Windows
// headers, so the two kinds of declarations never meet in one file.

// Loads the PE library at the Unix path `unixpath` and finds its handleCall.
// False with the reason in `why` ("LoadLibrary failed: 126"); the second
// result says which step failed: true when the library loaded but has no
// handleCall.
bool winpluginload(const char *unixpath, char *why, std::size_t whysize, bool &nohandlecall);
// Calls the plugin's handleCall (Windows x64 convention). The result is the
// plugin's memory, valid until its next call; null for a null pointer.
const char *winplugincall(const char *fn, const char *data);
void winpluginfree();
// From now on an exception nobody handles (a plugin's crash) ends the host
// at once with `code`, which closes its socket: the program answers the call
// empty without waiting for Wine's debugger.
void winpluginexitoncrash(int code);

// Compiled by wineg++ with Windows headers; see winplugin.h.
#include "winehost/winplugin.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

// After the C++ headers, and without Windows' min and max macros.
#define NOMINMAX
#include <windows.h>

namespace {

// The plugin's export as the PE library defines it. Without __cdecl a
// Winelib program would call it with the Linux convention and the
// arguments would arrive scrambled.
typedef const char *(__cdecl *handlecallpe)(const char *, const char *);

HMODULE module;
handlecallpe entry;
int crashcode = 1;

LONG WINAPI oncrash(EXCEPTION_POINTERS *e) {
  std::fprintf(stderr, "Plugin crashed: exception 0x%08lx\n",
               static_cast<unsigned long>(e->ExceptionRecord->ExceptionCode));
  TerminateProcess(GetCurrentProcess(), crashcode);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

bool winpluginload(const char *unixpath, char *why, std::size_t whysize, bool &nohandlecall) {
  nohandlecall = false;
  // Wine opens files in its server process, where /proc/self is the server:
  // a descriptor of this process is named by this process's own id.
  std::string path = unixpath;
  if (path.rfind("/proc/self/", 0) == 0) path = "/proc/" + std::to_string(getpid()) + path.substr(10);
  WCHAR *dos = wine_get_dos_file_name(path.c_str());
  if (!dos) {
    std::snprintf(why, whysize, "LoadLibrary failed: no Windows name for %s", path.c_str());
    return false;
  }
  // A trailing dot: the name is taken as it is, without ".dll" added.
  const int length = lstrlenW(dos);
  auto *name = static_cast<WCHAR *>(HeapAlloc(GetProcessHeap(), 0, (length + 2) * sizeof(WCHAR)));
  if (name) {
    std::memcpy(name, dos, length * sizeof(WCHAR));
    name[length] = '.';
    name[length + 1] = 0;
    module = LoadLibraryW(name);
    HeapFree(GetProcessHeap(), 0, name);
  }
  HeapFree(GetProcessHeap(), 0, dos);
  if (!module) {
    std::snprintf(why, whysize, "LoadLibrary failed: %lu", static_cast<unsigned long>(GetLastError()));
    return false;
  }
  entry = reinterpret_cast<handlecallpe>(reinterpret_cast<void *>(GetProcAddress(module, "handleCall")));
  if (!entry) {
    std::snprintf(why, whysize, "GetProcAddress(handleCall) failed: %lu", static_cast<unsigned long>(GetLastError()));
    FreeLibrary(module);
    module = nullptr;
    nohandlecall = true;
    return false;
  }
  return true;
}

const char *winplugincall(const char *fn, const char *data) { return entry(fn, data); }

void winpluginfree() {
  if (module) FreeLibrary(module);
  module = nullptr;
}

void winpluginexitoncrash(int code) {
  crashcode = code;
  SetUnhandledExceptionFilter(oncrash);
}

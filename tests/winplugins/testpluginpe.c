/* A Windows plugin library for the tests, built with mingw-w64 for 64-bit
 * and 32-bit x86 and served through Wine. Like tests/plugins/testplugin.c it
 * appends every call to "<this library's file>.log" as "name|argument" on
 * one line. Functions:
 *   echo   returns the argument text (any length)
 *   null   returns a null pointer
 *   empty  returns ""
 *   slow   sleeps for the argument's number of milliseconds, returns "slept"
 *   crash  writes through a null pointer
 *   other  returns "name:argument"
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static char *result;

static void logcall(const char *fn, const char *data) {
  HMODULE self;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          (LPCSTR)logcall, &self))
    return;
  /* Loaded through a descriptor: the name the file itself has. */
  char loaded[MAX_PATH], file[MAX_PATH], path[MAX_PATH + 8];
  if (!GetModuleFileNameA(self, loaded, sizeof loaded)) return;
  HANDLE h = CreateFileA(loaded, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                         OPEN_EXISTING, 0, NULL);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD n = GetFinalPathNameByHandleA(h, file, sizeof file, 0);
  CloseHandle(h);
  if (n == 0 || n >= sizeof file) return;
  snprintf(path, sizeof path, "%s.log", file);
  FILE *log = fopen(path, "ab");
  if (!log) return;
  fprintf(log, "%s|%s\n", fn, data);
  fclose(log);
}

static const char *keep(const char *a, const char *b, const char *c) {
  free(result);
  result = malloc(strlen(a) + strlen(b) + strlen(c) + 1);
  if (!result) return NULL;
  strcat(strcat(strcpy(result, a), b), c);
  return result;
}

__declspec(dllexport) const char *handleCall(const char *fn, const char *data) {
  logcall(fn, data);
  if (strcmp(fn, "echo") == 0) return keep(data, "", "");
  if (strcmp(fn, "null") == 0) return NULL;
  if (strcmp(fn, "empty") == 0) return "";
  if (strcmp(fn, "slow") == 0) {
    Sleep((DWORD)atol(data));
    return "slept";
  }
  if (strcmp(fn, "crash") == 0) *(volatile int *)0 = 1;
  return keep(fn, ":", data);
}

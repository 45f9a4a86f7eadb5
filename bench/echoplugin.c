/* The plugin the benchmarks and the soak call: "echo" returns the argument
 * text, "wait" sleeps for the argument's number of milliseconds (so that a
 * test can stop a relay in the middle of a call), anything else gives an
 * empty result. Nothing else happens in a call, so a measured round trip is
 * the host's and the relay's own cost. Built for the program's machine
 * (served in-process), for 32-bit x86 (served through modrelay) and, with
 * mingw-w64, as a Windows DLL (served through orvawinehost under Wine). */
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "protocol/handlecall.h"

static char *result;
static size_t resultsize;

const char *handleCall(const char *fn, const char *data) {
  if (strcmp(fn, "wait") == 0) {
    long ms = atol(data);
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
    return "waited";
  }
  if (strcmp(fn, "fini") == 0) {
    free(result);
    result = NULL;
    resultsize = 0;
    return "";
  }
  if (strcmp(fn, "echo") != 0) return "";
  size_t n = strlen(data) + 1;
  if (n > resultsize) {
    char *bigger = realloc(result, n);
    if (!bigger) return "";
    result = bigger;
    resultsize = n;
  }
  memcpy(result, data, n);
  return result;
}

/* The plugin the benchmarks and the soak run call: "echo" returns the
 * argument text, anything else an empty result. Nothing else happens in a
 * call, so a measured round trip is the host's and the bridge's own cost.
 * Built for the program's machine (served in-process) and for 32-bit x86
 * (served through modrelay). */
#include <stdlib.h>
#include <string.h>

static char *result;
static size_t resultsize;

const char *handleCall(const char *fn, const char *data) {
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

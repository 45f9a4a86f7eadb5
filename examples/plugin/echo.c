/* An example plugin: a shared library with one exported function,
 * handleCall, that the page calls through winMakeQXPCall. The same source
 * builds as a 64-bit plugin (loaded into the program) and as a 32-bit one
 * (served by the relay program modrelay).
 *
 * Functions the page can call:
 *   echo   returns the argument text unchanged
 *   upper  returns the argument text with ASCII letters in upper case
 *   count  returns how many calls the page has made so far, this one included
 *   bits   returns "64" or "32": the width this plugin was built for
 * Any other name returns "unknown function: <name>".
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The result of the last call. The host copies it before it calls again, so
 * one buffer, reused for every call, is enough; the plugin owns it and frees
 * it in "fini". */
static char *result;
static size_t capacity;
static unsigned long calls;

/* Makes room for n bytes and the terminating NUL; false when out of memory. */
static int reserve(size_t n) {
  if (n + 1 <= capacity) return 1;
  char *bigger = realloc(result, n + 1);
  if (!bigger) return 0;
  result = bigger;
  capacity = n + 1;
  return 1;
}

static const char *answer(const char *text) {
  size_t n = strlen(text);
  if (!reserve(n)) return NULL; /* NULL reaches the page as an empty result */
  memcpy(result, text, n + 1);
  return result;
}

__attribute__((visibility("default"))) const char *handleCall(const char *fn, const char *data) {
  if (strcmp(fn, "ini") == 0) { /* once before the page's first call; the result is not used */
    calls = 0;
    return NULL;
  }
  if (strcmp(fn, "fini") == 0) { /* once when the program stops */
    free(result);
    result = NULL;
    capacity = 0;
    return NULL;
  }
  ++calls;
  if (strcmp(fn, "echo") == 0) return answer(data);
  if (strcmp(fn, "upper") == 0) {
    if (!answer(data)) return NULL;
    for (char *p = result; *p; ++p)
      if (*p >= 'a' && *p <= 'z') *p = (char)(*p - 'a' + 'A');
    return result;
  }
  char text[64];
  if (strcmp(fn, "count") == 0) {
    snprintf(text, sizeof text, "%lu", calls);
    return answer(text);
  }
  if (strcmp(fn, "bits") == 0) {
    snprintf(text, sizeof text, "%u", (unsigned)(sizeof(void *) * 8));
    return answer(text);
  }
  if (!reserve(strlen(fn) + 18)) return NULL;
  sprintf(result, "unknown function: %s", fn);
  return result;
}

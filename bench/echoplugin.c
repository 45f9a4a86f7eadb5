/* The plugin the benchmarks and the soak call: "echo" returns the argument
 * text, "wait" sleeps for the argument's number of milliseconds (so that a
 * test can stop a relay in the middle of a call), anything else gives an
 * empty result. Nothing else happens in a call, so a measured round trip is
 * the host's and the relay's own cost. Built for the program's machine
 * (served in-process), for 32-bit x86 (served through modrelay) and, with
 * mingw-w64, as a Windows DLL (served through orvawinehost under Wine). */
#include <emmintrin.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "protocol/handlecall.h"

static char *result;
static size_t resultsize;

/* The length of `s`, sixteen bytes at a time once aligned: the same work in
 * every build, whatever the C library's strlen does (Wine's msvcrt looks at
 * one byte at a time, which made the Windows plugin's echo of 4 KiB cost about
 * a microsecond more than the Linux plugins'). An aligned read never reaches
 * into the next page. */
static size_t length(const char *s) {
  const char *p = s;
  for (; ((uintptr_t)p & 15) != 0; ++p)
    if (!*p) return (size_t)(p - s);
  const __m128i zero = _mm_setzero_si128();
  for (;; p += 16) {
    const int zeros = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128((const __m128i *)p), zero));
    if (zeros) return (size_t)(p - s) + (size_t)__builtin_ctz((unsigned)zeros);
  }
}

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
  size_t n = length(data) + 1;
  if (n > resultsize) {
    char *bigger = realloc(result, n);
    if (!bigger) return "";
    result = bigger;
    resultsize = n;
  }
  memcpy(result, data, n);
  return result;
}

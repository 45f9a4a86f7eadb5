/* A plugin library for the tests, built 64-bit and 32-bit. Every call is
 * appended to "<this library's path>.log" as "name|argument" on one line, so
 * a test can see what reached the plugin and in which order. Functions:
 *   echo   returns the argument text
 *   null   returns a null pointer
 *   empty  returns ""
 *   slow   sleeps for the argument's number of milliseconds, returns "slept"
 *   crash  aborts the process
 *   other  returns "name:argument"
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "protocol/handlecall.h"

static char result[1 << 16];

static void logcall(const char *fn, const char *data) {
  Dl_info self;
  if (!dladdr((void *)logcall, &self) || !self.dli_fname) return;
  /* Loaded through a descriptor (/proc/self/fd/N): the file's own name. */
  char file[4096];
  const char *name = self.dli_fname;
  if (strncmp(name, "/proc/self/fd/", 14) == 0) {
    ssize_t n = readlink(name, file, sizeof file - 1);
    if (n <= 0) return;
    file[n] = '\0';
    name = file;
  }
  char path[4200];
  snprintf(path, sizeof path, "%s.log", name);
  int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  dprintf(fd, "%s|%s\n", fn, data);
  close(fd);
}

const char *handleCall(const char *fn, const char *data) {
  logcall(fn, data);
  if (strcmp(fn, "echo") == 0) {
    snprintf(result, sizeof result, "%s", data);
    return result;
  }
  if (strcmp(fn, "null") == 0) return NULL;
  if (strcmp(fn, "empty") == 0) return "";
  if (strcmp(fn, "slow") == 0) {
    long ms = atol(data);
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
    return "slept";
  }
  if (strcmp(fn, "crash") == 0) abort();
  snprintf(result, sizeof result, "%s:%s", fn, data);
  return result;
}

/* The far end of the raw socket ping-pong that plugin calls are measured
 * against: connects to the Unix-domain socket named by its argument and sends
 * every message straight back, framed as the relay frames them (4-byte
 * little-endian length, then the payload), with one read and one write per
 * message where the sizes allow. It waits for a message as the relay does:
 * awake for a moment, then in poll(), so that the baseline does not pay a
 * sleeping processor's wake-up that the relay avoids. Built 64-bit and
 * 32-bit, so that the baseline of the relayed calls runs the same way as the
 * relay. */
#include <errno.h>
#include <poll.h>
#include <sched.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

/* As long as the relay stays awake for its next message. */
#define AWAKE_NS 300000L

static long nanoseconds(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000000000L + t.tv_nsec;
}

static ssize_t readwhenready(int fd, char *p, size_t n) {
  const long until = nanoseconds() + AWAKE_NS;
  do {
    ssize_t r = recv(fd, p, n, MSG_DONTWAIT);
    if (r >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return r;
    sched_yield();
  } while (nanoseconds() < until);
  struct pollfd ready = {fd, POLLIN, 0};
  while (poll(&ready, 1, -1) < 0)
    if (errno != EINTR) return -1;
  return read(fd, p, n);
}

static int readall(int fd, char *p, size_t n) {
  while (n > 0) {
    ssize_t r = readwhenready(fd, p, n);
    if (r <= 0) return 0;
    p += r;
    n -= (size_t)r;
  }
  return 1;
}

static int writeall(int fd, const char *p, size_t n) {
  while (n > 0) {
    ssize_t w = send(fd, p, n, MSG_NOSIGNAL);
    if (w <= 0) return 0;
    p += w;
    n -= (size_t)w;
  }
  return 1;
}

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: pingpeer <socket path>\n");
    return 2;
  }
  struct sockaddr_un address;
  memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (strlen(argv[1]) >= sizeof address.sun_path) return 2;
  strcpy(address.sun_path, argv[1]);
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0 || connect(fd, (struct sockaddr *)&address, sizeof address) != 0) {
    perror("pingpeer: connect");
    return 1;
  }
  size_t capacity = 1 << 16;
  char *frame = malloc(capacity);
  if (!frame) return 1;
  for (;;) {
    unsigned char length[4];
    if (!readall(fd, (char *)length, 4)) break;
    uint32_t size = (uint32_t)length[0] | ((uint32_t)length[1] << 8) | ((uint32_t)length[2] << 16) |
                    ((uint32_t)length[3] << 24);
    if (size + 4 > capacity) {
      capacity = size + 4;
      char *bigger = realloc(frame, capacity);
      if (!bigger) break;
      frame = bigger;
    }
    memcpy(frame, length, 4);
    if (!readall(fd, frame + 4, size) || !writeall(fd, frame, size + 4)) break;
  }
  free(frame);
  close(fd);
  return 0;
}

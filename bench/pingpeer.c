/* The far end of the raw socket ping-pong that plugin calls are measured
 * against: connects to the Unix-domain socket named by its argument and sends
 * every message straight back, framed as the relay frames them (4-byte
 * little-endian length, then the payload), with one read and one write per
 * message where the sizes allow. Built 64-bit and 32-bit, so that the
 * baseline of the relayed calls runs the same way as the relay. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

static int readall(int fd, char *p, size_t n) {
  while (n > 0) {
    ssize_t r = read(fd, p, n);
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

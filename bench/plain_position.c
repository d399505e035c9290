/* The position tool as a C programmer would write it without the runtime:
 * the same algorithm (drain the backlog up to the first short read, then
 * copy the next read to standard output), plain C and the C library only.
 * The benchmarks measure varnix-position beside it. */
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

int main(void) {
  const char* root = getenv("VARNIX_ROOT");
  char path[512];
  snprintf(path, sizeof path, "%s/var/run/gpsfeed", root != NULL ? root : "");
  int feed = open(path, O_RDONLY);
  if (feed < 0) {
    puts("Can not obtain GPS feed file handle");
    return 0;
  }
  char chunk[1024];
  int caughtUp = 0;
  for (;;) {
    struct pollfd ready = {feed, POLLIN, 0};
    if (poll(&ready, 1, -1) <= 0) continue;
    ssize_t n = read(feed, chunk, sizeof chunk);
    if (n > 0 && caughtUp) {
      write(STDOUT_FILENO, chunk, (size_t)n);
      break;
    }
    if (n < (ssize_t)sizeof chunk) caughtUp = 1;
    if (n == 0 && (ready.revents & POLLHUP)) break;
  }
  close(feed);
  return 0;
}

#include "position_tool.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <unistd.h>

#include "base/host_root.h"
#include "base/os.h"
#include "messaging/endpoint.h"

namespace varnix {
namespace {

const int KChunkSize = 1024;

int OpenFeed(CDynString& path) { return os::Open(path.Text(), O_RDONLY, 0); }

// The chunk goes out as one block after anything printf still holds, so the
// lines and the feed's bytes keep their order.
void WriteChunk(const char* chunk, ssize_t n) {
  fflush(stdout);
  while (n > 0) {
    ssize_t written = os::Write(STDOUT_FILENO, chunk, static_cast<size_t>(n));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    chunk += written;
    n -= written;
  }
}

}  // namespace

int RunPositionTool() {
  // The tool makes no call, but it is a client of the navigation server like
  // every program of the device.
  MVarnixCommunicationLayerInterface* endpoint = CreateFileLayer("client", "VarnixNavigationServer", -1);

  CPathString feedPath;
  LocationPath(feedPath, ELocationGpsFeed);
  int handle = OpenFeed(feedPath);
  bool caughtUp = false;
  bool done = false;
  char chunk[KChunkSize];

  while (handle > 0 && !done) {
    struct pollfd feed = {handle, POLLIN, 0};
    int ready = os::Poll(&feed, 1, -1);
    if (ready > 0) {
      ssize_t n = os::Read(handle, chunk, KChunkSize);
      // Data that was waiting before the feed caught up is stale; the read
      // that drains the backlog is itself discarded.
      if (n > 0 && caughtUp) {
        WriteChunk(chunk, n);
        done = true;
      }
      if (n < KChunkSize) caughtUp = true;
      // The writer went away: the pipe would report hang-up and empty reads
      // forever. Wait in open for a writer to come back instead of spinning.
      if (n == 0 && (feed.revents & POLLHUP) != 0 && !done) {
        os::Close(handle);
        handle = OpenFeed(feedPath);
      }
    } else if (ready < 0) {
      os::Close(handle);
      handle = OpenFeed(feedPath);
      printf("Poll() error, reopened GPS feed file, new handle %d\n", handle);
    } else {
      puts("Poll() returned 0, this should not happen !!!");
    }
  }

  os::Close(handle);
  if (handle < 0) puts("Can not obtain GPS feed file handle");
  fflush(stdout);
  delete endpoint;
  return 0;
}

}  // namespace varnix

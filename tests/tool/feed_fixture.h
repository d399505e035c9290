#ifndef VARNIX_TESTS_TOOL_FEED_FIXTURE_H
#define VARNIX_TESTS_TOOL_FEED_FIXTURE_H

// A GPS feed for the position tool's tests: a real FIFO at /var/run/gpsfeed
// below a temporary root, writers the test controls, and the tool run as a
// child process whose standard output is collected. Tests synchronise on the
// pipe being drained (FIONREAD) and on the child being reaped.

#include <sys/types.h>

#include <functional>
#include <string>

#include "support/temp_root.h"

namespace varnix {
namespace test {

class FeedFixture {
 public:
  FeedFixture();
  ~FeedFixture();

  std::string FeedPath() const { return root(std::string("/var/run/gpsfeed")); }
  void MakeFeed() const;
  // An end that reads and writes: it never blocks in open, keeps the pipe
  // alive and lets the test write and measure. Closed at the end.
  int OpenWriter();
  static void WriteAll(int fd, const std::string& bytes);
  // Bytes waiting in the pipe (FIONREAD).
  static int Pending(int fd);
  static bool WaitDrained(int fd);

  // The tool as a program (exec of varnix-position), or the tool's body in a
  // forked child after prepare() has run there (to arm the OS seam).
  void StartProgram();
  void StartInChild(const std::function<void()>& prepare, int keepFd = -1);
  // Waits for the child to exit; its status and what it wrote.
  bool Finish(int* status, std::string* output, int timeoutMs = 10000);
  pid_t Child() const { return child_; }

  TempRoot root;

 private:
  int writers_[8];
  int writerCount_ = 0;
  pid_t child_ = -1;
  int output_ = -1;
};

}  // namespace test
}  // namespace varnix

#endif

// A launcher that dies in the middle of a request: the request ends with
// its failure value instead of waiting without end, and a launcher started
// again serves the next request.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "base/os.h"
#include "process/launcher_client.h"
#include "process_support.h"
#include "support/temp_root.h"
#include "support/wait.h"

namespace varnix {
namespace test {
namespace {

// The child tells the test, through this pipe, that its request is written:
// the launcher has it in its socket and has not answered (it is stopped).
int gWritten = -1;

ssize_t WriteAndTell(int fd, const void* buffer, size_t count) {
  ssize_t n = os::gOsDefaults.Write(fd, buffer, count);
  char one = 1;
  os::gOsDefaults.Write(gWritten, &one, 1);
  return n;
}

struct TRequestCase {
  const char* name;
  std::function<int32_t()> request;  // its result: -1 is the failure value
};

TEST(LauncherPeers, ALauncherKilledMidRequestEndsTheRequestAndARestartedOneServes) {
  TempRoot root;
  FastRetries fast;
  TRequestCase cases[] = {
      {"LaunchProcess", [] { return LaunchProcess("/bin/sleep 30"); }},
      {"WaitForProcess",
       [] {
         int32_t first = -1, second = -1;
         WaitForProcess(4321, &first, &second);
         return first == 0 ? -1 : first;  // no answer: first stays 0
       }},
      {"KillProcess", [] { return KillProcess(4321); }},
  };
  for (const TRequestCase& c : cases) {
    SCOPED_TRACE(c.name);
    LauncherDaemon daemon(root);
    ASSERT_TRUE(daemon.Start()) << daemon.Log();
    ASSERT_EQ(kill(daemon.Pid(), SIGSTOP), 0);

    int written[2];
    ASSERT_EQ(pipe(written), 0);
    ForkedChild client([&] {
      close(written[0]);
      gWritten = written[1];
      FastRetries::Install();
      os::gOsCurrent.Write = WriteAndTell;
      return c.request() == -1 ? 0 : 1;
    });
    close(written[1]);
    char one;
    ASSERT_EQ(read(written[0], &one, 1), 1) << "the request was not written";
    close(written[0]);

    EXPECT_EQ(daemon.Stop(SIGKILL) & 0x7F, SIGKILL);  // killed while it held the request
    int status = client.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << DescribeStatus(status) << " " << client.Output();

    // A launcher started again replaces the dead one's socket and serves.
    LauncherDaemon again(root);
    ASSERT_TRUE(again.Start()) << again.Log();
    int32_t pid = LaunchProcess("/bin/sleep 30");
    EXPECT_GT(pid, 0);
    EXPECT_EQ(KillProcess(pid), 0);
    EXPECT_EQ(again.Stop(), 0);
  }
}

}  // namespace
}  // namespace test
}  // namespace varnix

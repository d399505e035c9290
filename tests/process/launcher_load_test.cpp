// Many client processes at once against one varnix-launcherd, each
// launching, asking about, killing and waiting for processes of its own:
// every request is answered, every answer is about the process it asked
// about, and the launcher saw each request exactly once.
//
// 16 clients x 50 rounds of at least 4 requests: 200 and more requests per
// client (VARNIX_LOAD_ROUNDS sets the rounds; scripts/load.sh prints the
// figures).
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process/launcher_client.h"
#include "process_support.h"
#include "support/child_process.h"
#include "support/temp_root.h"
#include "support/wait.h"

namespace varnix {
namespace test {
namespace {

const int KClients = 16;

int Rounds() {
  const char* text = getenv("VARNIX_LOAD_ROUNDS");
  int rounds = text != nullptr ? atoi(text) : 0;
  return rounds > 0 ? rounds : 50;
}

// One client's rounds. The exit status is the number of answers that were
// wrong (at most 100); the requests it made are counted into *requests.
int RunClient(int rounds, int* requests) {
  FastRetries::Install();
  int wrong = 0;
  *requests = 0;
  for (int round = 0; round < rounds; ++round) {
    int32_t pid = LaunchProcess("/bin/sleep 30");
    ++*requests;
    if (pid <= 0) {
      ++wrong;
      continue;
    }
    int32_t first = -1, second = -1;
    WaitForProcess(pid, &first, &second);
    ++*requests;
    if (first != 0) ++wrong;  // still running
    ++*requests;
    if (KillProcess(pid) != 0) ++wrong;
    bool ended = WaitUntil([&] {
      ++*requests;
      WaitForProcess(pid, &first, &second);
      return first != 0;
    });
    if (!ended || first != pid || !WIFSIGNALED(second) || WTERMSIG(second) != SIGTERM) ++wrong;
  }
  return wrong > 100 ? 100 : wrong;
}

TEST(LauncherLoad, SixteenClientsAtOnceGetEveryAnswerRight) {
  const int rounds = Rounds();
  TempRoot root;
  LauncherDaemon daemon(root);
  ASSERT_TRUE(daemon.Start()) << daemon.Log();

  int channel[2];
  ASSERT_EQ(pipe(channel), 0);
  fflush(stdout);
  auto start = std::chrono::steady_clock::now();
  std::vector<pid_t> clients;
  for (int c = 0; c < KClients; ++c) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(channel[0]);
      int requests = 0;
      int wrong = RunClient(rounds, &requests);
      write(channel[1], &requests, sizeof requests);
      _exit(wrong);
    }
    clients.push_back(pid);
  }
  close(channel[1]);
  for (int c = 0; c < KClients; ++c) {
    int status = -1;
    bool ended = test::ReapChild(clients[c], &status, 60000);
    EXPECT_TRUE(ended) << "client " << c << " did not finish";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "client " << c << ": " << DescribeStatus(status);
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  long requests = 0;
  for (int n, got; (got = static_cast<int>(read(channel[0], &n, sizeof n))) == sizeof n;) requests += n;
  close(channel[0]);

  // The launcher logs every request with its answer: each seen once.
  std::string log = daemon.Log();
  EXPECT_EQ(test::CountOccurrences(log, "[LAUNCH /bin/sleep 30] -> [PID "), static_cast<size_t>(KClients * rounds));
  EXPECT_EQ(test::CountOccurrences(log, "] -> [0]"), static_cast<size_t>(KClients * rounds)) << "one kill per round";
  EXPECT_EQ(test::CountOccurrences(log, "] -> ["), static_cast<size_t>(requests)) << "every request answered once";
  EXPECT_EQ(test::CountOccurrences(log, "ERR"), 0u);
  EXPECT_EQ(daemon.Stop(), 0);
  printf("[load] varnix-launcherd: %d clients x %d rounds, %ld requests answered, %.2f s (%.0f requests/s)\n",
         KClients, rounds, requests, seconds, requests / seconds);
}

}  // namespace
}  // namespace test
}  // namespace varnix

// The four requests against a real varnix-launcherd under a temporary root.

#include <errno.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "process/launcher_client.h"
#include "process_support.h"
#include "support/temp_root.h"
#include "support/wait.h"

namespace varnix {
namespace test {
namespace {

class LauncherRequestsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(daemon.Start()) << daemon.Log(); }

  // Asks until the launcher reports the end of pid; its status, or -1.
  int32_t WaitForEnd(int32_t pid) {
    int32_t first = 0, status = -1;
    bool ended = WaitUntil([&] {
      WaitForProcess(pid, &first, &status);
      return first != 0;
    });
    EXPECT_TRUE(ended) << daemon.Log();
    EXPECT_EQ(first, pid);
    return status;
  }

  TempRoot root;
  FastRetries fast;
  LauncherDaemon daemon{root};
};

TEST_F(LauncherRequestsTest, LaunchWaitWhileRunningKillAndWaitAfterTheEnd) {
  int32_t pid = LaunchProcess("/bin/sleep 30");
  ASSERT_GT(pid, 0) << daemon.Log();
  EXPECT_TRUE(ProcessAlive(pid));

  int32_t first = -5, second = -5;
  WaitForProcess(pid, &first, &second);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 0);

  EXPECT_EQ(KillProcess(pid), 0);
  int32_t status = WaitForEnd(pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << DescribeStatus(status);
  EXPECT_FALSE(ProcessAlive(pid)) << "reaped by the launcher";

  // Reported once, then forgotten: the launcher no longer knows it.
  first = -5, second = 777;
  WaitForProcess(pid, &first, &second);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 777);
  EXPECT_EQ(KillProcess(pid), -1);
}

TEST_F(LauncherRequestsTest, WaitAfterAnOrdinaryExitGivesTheExitStatus) {
  const char* words[] = {"/bin/sh", "-c", "exit", nullptr};  // sh -c exit: status 0
  struct {
    int32_t pid;
    int exitCode;
  } cases[] = {{LaunchProcess("/bin/false"), 1}, {LaunchProcessArgs(words), 0}};
  for (const auto& c : cases) {
    ASSERT_GT(c.pid, 0) << daemon.Log();
    int32_t status = WaitForEnd(c.pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.exitCode) << DescribeStatus(status);
    EXPECT_FALSE(ProcessAlive(c.pid));
  }
}

TEST_F(LauncherRequestsTest, LaunchOfAMissingProgramFails) {
  root.WriteFile("/bin/readme", "#!/bin/sh\necho not executable\n");
  chmod(root("/bin/readme").c_str(), 0644);
  for (const char* command : {"/no/such/program", "no-such-program-anywhere -x", "/etc", "/bin/readme"}) {
    EXPECT_EQ(LaunchProcess(command), -1) << command;
  }
  EXPECT_GT(LaunchProcess("/bin/true"), 0) << "the launcher serves on";
}

TEST_F(LauncherRequestsTest, APidTheLauncherDidNotStartIsNeitherSignalledNorReported) {
  pid_t own = fork();
  if (own == 0) {
    pause();
    _exit(0);
  }
  ASSERT_GT(own, 0);
  for (int32_t pid : {static_cast<int32_t>(own), static_cast<int32_t>(getpid()), 0, -1, 1}) {
    SCOPED_TRACE(pid);
    EXPECT_EQ(KillProcess(pid), -1);
    int32_t first = -5, second = 777;
    WaitForProcess(pid, &first, &second);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 777);
  }
  int status = 0;
  EXPECT_EQ(waitpid(own, &status, WNOHANG), 0) << "the test's own child was signalled";
  EXPECT_TRUE(daemon.Running());
  EXPECT_EQ(daemon.Log().find("sent SIGTERM"), std::string::npos);
  kill(own, SIGKILL);
  waitpid(own, &status, 0);
}

TEST_F(LauncherRequestsTest, LaunchProcessArgsSendsTheWordsAsOneCommand) {
  const char* words[] = {"/bin/sleep", "30", nullptr};
  int32_t pid = LaunchProcessArgs(words);
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(daemon.WaitForLog("started pid " + std::to_string(pid) + ": /bin/sleep 30\n")) << daemon.Log();
  EXPECT_EQ(KillProcess(pid), 0);
}

TEST(LauncherRequestsOutputTest, ProgramsBelowTheRootAreFoundAndTheirOutputGoesToTheChildOutputFile) {
  TempRoot root;
  FastRetries fast;
  root.WriteFile("/bin/greet", "#!/bin/sh\necho \"greetings $1 from below the root\"\n");
  chmod(root("/bin/greet").c_str(), 0755);
  LauncherDaemon daemon(root);
  ASSERT_TRUE(daemon.Start({"--child-output", "/var/run/children.log"})) << daemon.Log();

  EXPECT_GT(LaunchProcess("/bin/greet all"), 0);
  EXPECT_GT(LaunchProcess("echo plain"), 0);  // a name without '/' is looked up in PATH
  EXPECT_TRUE(WaitUntil([&] {
    std::string text = root.ReadFile("/var/run/children.log");
    return text.find("greetings all from below the root\n") != std::string::npos &&
           text.find("plain\n") != std::string::npos;
  })) << root.ReadFile("/var/run/children.log");
  EXPECT_EQ(daemon.Log().find("greetings"), std::string::npos);
}

}  // namespace
}  // namespace test
}  // namespace varnix

// A navigation server that dies between a request and its reply. The
// caller's reply never comes while no server runs: IsReplyReady stays 0 and
// a blocking call keeps waiting, nothing crashes. A request the dead server
// had not taken yet is answered by a server started again; one it had
// already taken is gone with it, and the caller's next call is answered.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/os.h"
#include "messaging/endpoint.h"
#include "messaging/navigator_calls.h"
#include "support/navigator_client.h"
#include "support/child_process.h"
#include "support/temp_root.h"
#include "support/wait.h"

namespace varnix {
namespace {

int ShortPause(useconds_t) { return usleep(1000); }

std::vector<std::string> RunDirectory(const test::TempRoot& root) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(root("/var/run")))
    names.push_back(entry.path().filename().string());
  return names;
}

struct NavsimPeers : ::testing::Test, test::NavigatorClient {
  void SetUp() override {
    ASSERT_NE(endpoint, nullptr);
    os::gOsCurrent.Usleep = ShortPause;
  }
  void TearDown() override { os::RestoreOsDefaults(); }
  // A server that answers, is stopped, and then killed.
  void StartAndStop(test::ChildProcess& server) {
    ASSERT_TRUE(server.Start("varnix-navsim", {}));
    TVersionInfo version{};
    int32_t error = -1;
    ASSERT_EQ(GetApplicationVersionV01(&context, &error, &version), 0);
    ASSERT_EQ(error, 0);
    ASSERT_TRUE(server.Signal(SIGSTOP));
  }
  void Kill(test::ChildProcess& server) {
    ASSERT_TRUE(server.Signal(SIGKILL));
    int status = 0;
    ASSERT_TRUE(server.Wait(&status));
  }

  test::TempRoot root;
};

TEST_F(NavsimPeers, ARequestLeftByAKilledServerIsAnsweredByTheNextOne) {
  test::ChildProcess dead;
  StartAndStop(dead);
  MVarnixSession* session = SendGetLocationInfoV01(&context, 52000000, 4000000);
  ASSERT_NE(session, nullptr);
  Kill(dead);
  EXPECT_EQ(RunDirectory(root).size(), 2u) << "the request waits in the run-time directory";
  EXPECT_EQ(endpoint->IsReplyReady(session), 0);

  // A blocking caller keeps waiting while no server runs.
  fflush(stdout);
  pid_t caller = fork();
  ASSERT_GE(caller, 0);
  if (caller == 0) {
    TLocationInfo info{};
    int32_t error = -1;
    int32_t result = ReceiveGetLocationInfoV01(&context, session, &error, &info);
    _exit(result == 0 && error == 0 && info.integer1 == 52000000 && info.integer2 == 4000000 ? 0 : 1);
  }
  delete session;  // the caller's copy waits for the reply
  int status = -1;
  EXPECT_FALSE(test::WaitUntil([&] { return waitpid(caller, &status, WNOHANG) == caller; }, 300))
      << "the caller stopped waiting without a reply";

  test::ChildProcess next;
  ASSERT_TRUE(next.Start("varnix-navsim", {}));
  EXPECT_TRUE(test::WaitUntil([&] { return waitpid(caller, &status, WNOHANG) == caller; }));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the reply did not match the request";
  EXPECT_TRUE(RunDirectory(root).empty());
  next.Signal(SIGTERM);
  EXPECT_TRUE(next.Wait(nullptr));
}

// The server took the request (its files are gone) and died before it
// answered: the reply never comes, and the caller, polling on its own
// terms, gives the call up and makes it again.
TEST_F(NavsimPeers, ARequestTakenByAServerThatDiedIsGivenUpAndMadeAgain) {
  test::ChildProcess dead;
  StartAndStop(dead);
  MVarnixSession* session = SendGetLocationInfoV01(&context, 1, 2);
  ASSERT_NE(session, nullptr);
  // What the server does first with a request: take its marker and message.
  for (const std::string& name : RunDirectory(root)) ASSERT_EQ(unlink(root("/var/run/" + name).c_str()), 0);
  Kill(dead);

  test::ChildProcess next;
  ASSERT_TRUE(next.Start("varnix-navsim", {}));
  TVersionInfo version{};
  int32_t error = -1;
  ASSERT_EQ(GetApplicationVersionV01(&context, &error, &version), 0) << "the new server serves";
  EXPECT_EQ(endpoint->IsReplyReady(session), 0) << "the lost request has no reply";
  delete session;

  TLocationInfo info{};
  EXPECT_EQ(GetLocationInfoV01(&context, &error, &info, 1, 2), 0);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(info.integer1, 1);
  EXPECT_EQ(info.integer2, 2);
  EXPECT_TRUE(RunDirectory(root).empty());
  next.Signal(SIGTERM);
  EXPECT_TRUE(next.Wait(nullptr));
}

}  // namespace
}  // namespace varnix

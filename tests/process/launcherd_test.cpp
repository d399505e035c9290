// varnix-launcherd itself: start-up beside other sockets, stopping, and
// clients that do not keep to the protocol.

#include <errno.h>
#include <signal.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process/launcher_client.h"
#include "process_support.h"
#include "support/temp_root.h"
#include "support/wait.h"

namespace varnix {
namespace test {
namespace {

const char KLaunchSocket[] = "/var/run/launchsock";
const std::string KZero(1, '\0');

bool ExitedWith(int status, int code) { return WIFEXITED(status) && WEXITSTATUS(status) == code; }

// A socket bound at path; listening or not.
int BindSocket(const std::string& path, bool listening) {
  struct sockaddr_un address;
  memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0 || bind(fd, reinterpret_cast<struct sockaddr*>(&address), sizeof address) != 0) return -1;
  if (listening && listen(fd, 4) != 0) return -1;
  return fd;
}

class LauncherdTest : public ::testing::Test {
 protected:
  std::string SocketPath() const { return root(KLaunchSocket); }

  // One whole request by hand: the bytes sent, the bytes answered.
  std::string Ask(const std::string& bytes) {
    RawConnection connection(SocketPath());
    EXPECT_TRUE(connection.Connected());
    EXPECT_TRUE(connection.Send(bytes));
    return connection.ReadToEnd();
  }

  // The launcher still does its work for a well-behaved client.
  void ExpectServing() {
    int32_t pid = LaunchProcess("/bin/sleep 30");
    EXPECT_GT(pid, 0) << daemon.Log();
    EXPECT_EQ(KillProcess(pid), 0);
  }

  TempRoot root;
  FastRetries fast;
  LauncherDaemon daemon{root};
};

// --- start and stop ----------------------------------------------------------

TEST_F(LauncherdTest, HelpTellsTheProtocolAndTheOptions) {
  EXPECT_TRUE(ExitedWith(daemon.RunToEnd({"--help"}), 0));
  std::string help = daemon.Log();
  for (const char* text : {"/var/run/launchsock", "LAUNCH <command text>", "PID <n>", "WAIT4 <pid>", "0 0",
                           "KILL <pid>", "SIGTERM", "SIGINT", "stale", "ERR", "--child-output", "--idle-timeout-ms",
                           "--grace-ms"})
    EXPECT_NE(help.find(text), std::string::npos) << text;
  EXPECT_FALSE(root.Exists(KLaunchSocket));
}

TEST_F(LauncherdTest, BadOptionsAreRefusedWithUsageStatus) {
  const std::vector<std::vector<std::string>> cases = {
      {"--bogus"}, {"--grace-ms"}, {"--grace-ms", "soon"}, {"--idle-timeout-ms", "-5"}, {"--child-output", "relative.log"},
  };
  for (const auto& options : cases) {
    int status = daemon.RunToEnd(options);
    EXPECT_TRUE(ExitedWith(status, 2)) << options[0] << ": " << DescribeStatus(status);
    EXPECT_NE(daemon.Log().find("see --help"), std::string::npos);
  }
  EXPECT_FALSE(root.Exists(KLaunchSocket));
}

TEST_F(LauncherdTest, AStaleSocketFileIsReplaced) {
  int stale = BindSocket(SocketPath(), false);
  ASSERT_GE(stale, 0);
  close(stale);  // the file stays; nobody answers on it
  ASSERT_TRUE(root.Exists(KLaunchSocket));
  ASSERT_TRUE(daemon.Start()) << daemon.Log();
  EXPECT_NE(daemon.Log().find("replacing the stale socket"), std::string::npos);
  ExpectServing();
}

TEST_F(LauncherdTest, DoesNotStartWhereAnotherLauncherAnswers) {
  ASSERT_TRUE(daemon.Start());
  LauncherDaemon second(root);
  EXPECT_TRUE(ExitedWith(second.RunToEnd({}), 1));
  EXPECT_NE(second.Log().find("another launcher runs"), std::string::npos) << second.Log();
  ExpectServing();
}

TEST_F(LauncherdTest, DoesNotStartWhereAForeignListenerAnswersOrTheNameIsNoSocket) {
  int foreign = BindSocket(SocketPath(), true);
  ASSERT_GE(foreign, 0);
  EXPECT_TRUE(ExitedWith(daemon.RunToEnd({}), 1));
  EXPECT_NE(daemon.Log().find("another launcher answers"), std::string::npos) << daemon.Log();
  EXPECT_TRUE(root.Exists(KLaunchSocket)) << "the other's socket is left alone";
  close(foreign);
  unlink(SocketPath().c_str());

  root.WriteFile(KLaunchSocket, "not a socket");
  EXPECT_TRUE(ExitedWith(daemon.RunToEnd({}), 1));
  EXPECT_NE(daemon.Log().find("is not a socket"), std::string::npos) << daemon.Log();
  EXPECT_EQ(root.ReadFile(KLaunchSocket), "not a socket");
}

TEST_F(LauncherdTest, StopsOnSigintAndSigtermEndingItsChildrenAndRemovingItsSocket) {
  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(strsignal(signal));
    ASSERT_TRUE(daemon.Start()) << daemon.Log();
    int32_t first = LaunchProcess("/bin/sleep 30");
    int32_t second = LaunchProcess("/bin/sleep 31");
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    int status = daemon.Stop(signal);
    EXPECT_TRUE(ExitedWith(status, 0)) << DescribeStatus(status) << "\n" << daemon.Log();
    EXPECT_FALSE(ProcessAlive(first));
    EXPECT_FALSE(ProcessAlive(second));
    EXPECT_FALSE(root.Exists(KLaunchSocket));
    EXPECT_NE(daemon.Log().find(std::string("stopping on ") + (signal == SIGINT ? "SIGINT" : "SIGTERM")),
              std::string::npos);
    EXPECT_NE(daemon.Log().find("stopped"), std::string::npos);
  }
}

TEST_F(LauncherdTest, AChildThatIgnoresSigtermIsKilledAfterTheGraceTime) {
  root.WriteFile("/bin/stubborn",
                 "#!/bin/sh\ntrap '' TERM\ntouch \"$VARNIX_ROOT/var/run/stubborn.ready\"\n"
                 "while :; do sleep 1; done\n");
  chmod(root("/bin/stubborn").c_str(), 0755);
  ASSERT_TRUE(daemon.Start({"--grace-ms", "100"})) << daemon.Log();
  int32_t pid = LaunchProcess("/bin/stubborn");
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(WaitUntil([&] { return root.Exists("/var/run/stubborn.ready"); }));
  EXPECT_TRUE(ExitedWith(daemon.Stop(SIGTERM), 0));
  EXPECT_NE(daemon.Log().find("killing 1 processes that did not end"), std::string::npos) << daemon.Log();
  EXPECT_NE(daemon.Log().find("pid " + std::to_string(pid) + " ended (signal 9)"), std::string::npos);
  EXPECT_FALSE(ProcessAlive(pid));
}

// --- hostile clients -----------------------------------------------------------

TEST_F(LauncherdTest, MalformedRequestsGetAShortErrorAndTheConnectionIsClosed) {
  ASSERT_TRUE(daemon.Start()) << daemon.Log();
  struct {
    std::string request;
    std::string answer;
  } cases[] = {
      {"HELLO" + KZero, "ERR unknown request"},
      {"launch /bin/true" + KZero, "ERR unknown request"},
      {KZero, "ERR unknown request"},
      {"\xff\xfe\x01\x02" + KZero, "ERR unknown request"},
      {"LAUNCH" + KZero, "ERR no command"},
      {"LAUNCH   \t " + KZero, "ERR no command"},
      {"WAIT4" + KZero, "ERR no process id"},
      {"WAIT4 " + KZero, "ERR bad process id"},
      {"WAIT4 12x" + KZero, "ERR bad process id"},
      {"WAIT4  12" + KZero, "ERR bad process id"},
      {"KILL 99999999999" + KZero, "ERR bad process id"},
      {"KILL 0x10" + KZero, "ERR bad process id"},
      {"KILL -" + KZero, "ERR bad process id"},
      {"KILL 1" + KZero + "KILL 2" + KZero, "ERR unknown pid 1"},  // one request per connection
      {std::string(5000, 'A'), "ERR request too long"},
      {"LAUNCH /bin/true " + std::string(4096, 'x') + KZero, "ERR request too long"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request.substr(0, 40));
    EXPECT_EQ(Ask(c.request), c.answer + KZero);
  }
  EXPECT_EQ(daemon.Log().find("started pid"), std::string::npos);
  ExpectServing();
}

TEST_F(LauncherdTest, ClientsThatWaitOrSendHalfARequestHoldUpNoOne) {
  ASSERT_TRUE(daemon.Start()) << daemon.Log();
  RawConnection silent(SocketPath());
  RawConnection half(SocketPath());
  ASSERT_TRUE(silent.Connected() && half.Connected());
  ASSERT_TRUE(half.Send("WAIT4 4"));
  ExpectServing();
  // The half request is finished later and answered as a whole.
  ASSERT_TRUE(half.Send("2" + KZero));
  EXPECT_EQ(half.ReadToEnd(), "ERR unknown pid 42" + KZero);
  ExpectServing();
}

TEST_F(LauncherdTest, AClientThatSendsNoCompleteRequestIsClosedAfterTheIdleTime) {
  ASSERT_TRUE(daemon.Start({"--idle-timeout-ms", "100"})) << daemon.Log();
  RawConnection silent(SocketPath());
  RawConnection half(SocketPath());
  ASSERT_TRUE(half.Send("LAUNCH /bin/sleep 30"));
  EXPECT_EQ(silent.ReadToEnd(), "ERR timeout" + KZero);
  EXPECT_EQ(half.ReadToEnd(), "ERR timeout" + KZero);
  EXPECT_EQ(daemon.Log().find("started pid"), std::string::npos);
  ExpectServing();
}

TEST_F(LauncherdTest, ClientsThatLeaveEarlyAreForgotten) {
  ASSERT_TRUE(daemon.Start()) << daemon.Log();
  {
    RawConnection nothing(SocketPath());  // connects and goes
  }
  {
    RawConnection midway(SocketPath());
    ASSERT_TRUE(midway.Send("LAUNCH /bin/sleep 3"));
  }
  {
    RawConnection noReader(SocketPath());  // its answer finds nobody
    ASSERT_TRUE(noReader.Send("WAIT4 1" + KZero));
  }
  EXPECT_TRUE(daemon.WaitForLog("a client closed without a request")) << daemon.Log();
  EXPECT_TRUE(daemon.WaitForLog("a client left in the middle of its request [LAUNCH /bin/sleep 3]"));
  EXPECT_TRUE(daemon.WaitForLog("[WAIT4 1] -> [ERR unknown pid 1]"));
  EXPECT_EQ(daemon.Log().find("started pid"), std::string::npos);
  ExpectServing();
  EXPECT_TRUE(daemon.Running());
}

TEST_F(LauncherdTest, ServesManyClientsAtOnceInAnyOrder) {
  ASSERT_TRUE(daemon.Start()) << daemon.Log();
  const int count = 40;
  std::vector<std::unique_ptr<RawConnection>> clients;
  for (int i = 0; i < count; ++i) {
    clients.emplace_back(new RawConnection(SocketPath()));
    ASSERT_TRUE(clients.back()->Send("KILL " + std::to_string(100000 + i)));
  }
  for (int i = count - 1; i >= 0; --i) {
    ASSERT_TRUE(clients[i]->Send(KZero));
    EXPECT_EQ(clients[i]->ReadToEnd(), "ERR unknown pid " + std::to_string(100000 + i) + KZero);
  }
  ExpectServing();
}

}  // namespace
}  // namespace test
}  // namespace varnix

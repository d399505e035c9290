// varnix-navsim as a program: it serves calls made through the library and
// requests written by hand, answers literally from a script, and stops on
// signals and after StopApplicationV01.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "messaging/endpoint.h"
#include "messaging/navigator_calls.h"
#include "support/navigator_client.h"
#include "support/child_process.h"
#include "support/temp_root.h"
#include "support/wait.h"

namespace varnix {
namespace {

class Navsim : public ::testing::Test, protected test::NavigatorClient {
 protected:
  void SetUp() override { ASSERT_NE(endpoint, nullptr); }
  void TearDown() override {
    if (navsim.Pid() > 0 && !navsim.Exited()) {
      navsim.Signal(SIGTERM);
      EXPECT_TRUE(navsim.Wait(nullptr));
    }
  }
  void Start(const std::vector<std::string>& arguments = {}) { ASSERT_TRUE(navsim.Start("varnix-navsim", arguments)); }
  std::string Script(const std::string& text) {
    std::string path = root("/script.txt");
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  int ExitStatus() {
    int status = -1;
    EXPECT_TRUE(navsim.Wait(&status));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // A request written by hand, as another client ("raw") would, and the
  // reply's bytes as the simulator wrote them; the reply's files are then
  // removed, as that client would.
  void Request(uint32_t id, const std::string& text) {
    Write(Name("raw", "VarnixNavigationServer", id, "message"), text + std::string(1, '\0'));
    Write(Name("raw", "VarnixNavigationServer", id, "finished"), std::string("finish\n\0", 8));
  }
  std::string ReplyBytes(uint32_t id) {
    std::string marker = Name("VarnixNavigationServer", "raw", id, "finished");
    std::string message = Name("VarnixNavigationServer", "raw", id, "message");
    EXPECT_TRUE(test::WaitUntil([&] { return access(marker.c_str(), F_OK) == 0; }));
    std::ifstream in(message, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    unlink(marker.c_str());
    unlink(message.c_str());
    return bytes;
  }
  std::string Name(const std::string& from, const std::string& to, uint32_t id, const char* kind) {
    return root("/var/run/" + from + "." + to + ".812." + std::to_string(id) + "." + kind);
  }
  static void Write(const std::string& path, const std::string& bytes) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
  }

  test::TempRoot root;
  test::ChildProcess navsim;
};

TEST_F(Navsim, ServesCallsOfTheLibrary) {
  Start();
  TVersionInfo version{};
  int32_t error = 99;
  EXPECT_EQ(GetApplicationVersionV01(&context, &error, &version), 0);
  EXPECT_EQ(error, 0);
  EXPECT_STREQ(version.text, "5.4.1");
  EXPECT_EQ(version.number, 541);

  // The car moves between two questions (about 1.4 m every 100 ms).
  TCurrentPosition first{}, second{};
  ASSERT_EQ(GetCurrentPositionV01(&context, &error, &first), 0);
  ASSERT_TRUE(test::WaitUntil([&] {
    return GetCurrentPositionV01(&context, &error, &second) == 0 && second.integer1 != first.integer1;
  }));
  EXPECT_EQ(second.integer3, 50);

  TRouteCoordinates route{};
  ASSERT_EQ(GetRouteCoordinatesV01(&context, &error, &route), 0);
  EXPECT_EQ(error, 0);
  EXPECT_GE(route.count, 2);
  FreeMemory(&context, route.items);
}

TEST_F(Navsim, WrongRequestsGetCodes) {
  Start();
  Request(1, "GetFavoriteV01|");
  EXPECT_EQ(ReplyBytes(1), std::string("-3|\0", 4));
  Request(2, "GetRouteCoordinatesV01|surplus|");
  EXPECT_EQ(ReplyBytes(2), std::string("-3|0|\0", 6));
  Request(3, "NoSuchCallV01|");
  EXPECT_EQ(ReplyBytes(3), std::string("-1|\0", 4));
  Request(4, "");
  EXPECT_EQ(ReplyBytes(4), std::string("-1|\0", 4));
}

TEST_F(Navsim, ScriptedRepliesAreWrittenLiterally) {
  std::string longReply = "0|1|" + std::string(3000, 'x') + "|";
  Start({"--script", Script("GetRouteInfoV01 0|1\n"
                            "ClearRouteV01 1|\n"
                            "ClearRouteV01 2|\n"
                            "GetCurrentPositionV01\n"
                            "GetResultFromCustomUIV01 " + longReply + "\n")});
  Request(1, "GetRouteInfoV01|");
  EXPECT_EQ(ReplyBytes(1), std::string("0|1\0", 4));
  Request(2, "GetCurrentPositionV01|");
  EXPECT_EQ(ReplyBytes(2), std::string(1, '\0'));
  Request(3, "GetResultFromCustomUIV01|");
  EXPECT_EQ(ReplyBytes(3), longReply + std::string(1, '\0'));

  // In turn, then the last one; calls the script does not name are simulated.
  int32_t error = 99;
  const int32_t codes[] = {1, 2, 2};
  for (int32_t code : codes) {
    EXPECT_EQ(ClearRouteV01(&context, &error), 0);
    EXPECT_EQ(error, code);
  }
  int32_t status = -1;
  EXPECT_EQ(GetInternetConnectionStatusV01(&context, &error, &status), 0);
  EXPECT_EQ(status, 0);
}

TEST_F(Navsim, ExitsAfterStopApplication) {
  Start();
  int32_t error = 99;
  EXPECT_EQ(ReceiveStopApplicationV01(&context, SendStopApplicationV01(&context), &error), 0);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(ExitStatus(), 0);
  EXPECT_NE(navsim.Output().find("stopped by StopApplicationV01"), std::string::npos);
}

TEST_F(Navsim, ScriptedStopApplication) {
  Start({"--script", Script("StopApplicationV01 4|\nStopApplicationV01 0|\n")});
  int32_t error = 99;
  EXPECT_EQ(ReceiveStopApplicationV01(&context, SendStopApplicationV01(&context), &error), 0);
  EXPECT_EQ(error, 4);
  EXPECT_FALSE(navsim.Exited());  // a refused stop
  EXPECT_EQ(ReceiveStopApplicationV01(&context, SendStopApplicationV01(&context), &error), 0);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(ExitStatus(), 0);
}

TEST_F(Navsim, StopsCleanlyOnSignals) {
  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    test::ChildProcess child;
    ASSERT_TRUE(child.Start("varnix-navsim", {}));
    ASSERT_TRUE(test::WaitUntil([&] { return child.Output().find("serving") != std::string::npos; }));
    ASSERT_TRUE(child.Signal(signal));
    int status = -1;
    ASSERT_TRUE(child.Wait(&status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(child.Output().find("varnix-navsim: stopped\n"), std::string::npos) << child.Output();
  }
}

struct TCommandCase {
  std::vector<std::string> arguments;
  int exit;
  const char* says;
};

TEST_F(Navsim, CommandLine) {
  std::string badScript = Script("NoSuchCallV01 0|\n");
  const TCommandCase cases[] = {
      {{"--help"}, 0, "--script FILE"},
      {{"--bogus"}, 2, "bad command line"},
      {{"--script"}, 2, "bad command line"},
      {{"--script", root("/missing.txt")}, 2, "cannot read"},
      {{"--script", badScript}, 2, "NoSuchCallV01 is no call of the catalogue"},
  };
  for (const TCommandCase& c : cases) {
    SCOPED_TRACE(c.arguments[0]);
    std::string output, errors;
    EXPECT_EQ(test::RunProgram("varnix-navsim", c.arguments, &output, &errors), c.exit);
    EXPECT_NE((output + errors).find(c.says), std::string::npos) << output << errors;
  }
  std::string help;
  test::RunProgram("varnix-navsim", {"--help"}, &help);
  for (const char* part : {"VarnixNavigationServer", "VARNIX_ROOT", "StopApplicationV01", "SIGINT", "SIGTERM",
                           "favourites", "itinerary", "custom UI", "-9"})
    EXPECT_NE(help.find(part), std::string::npos) << part;
}

}  // namespace
}  // namespace varnix

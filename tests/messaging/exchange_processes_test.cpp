// The exchange between two real processes: this test process is the client,
// a forked child the server, once written with plain POSIX calls and once
// with the runtime's own incoming-call pump.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "messaging/endpoint.h"
#include "messaging/incoming_calls.h"
#include "support/temp_root.h"
#include "support/wait.h"
#include "wire_peer.h"

namespace varnix {
namespace {

const char KServer[] = "VarnixNavigationServer";

struct TwoProcesses : ::testing::Test {
  void TearDown() override {
    delete endpoint;
    if (child > 0) {
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
    }
  }

  // Sends a request and waits for the answer; the wait is bounded by the
  // test (a server that never answers fails it) before WaitForReply runs.
  std::vector<std::string> Call(const std::vector<std::string>& fields) {
    endpoint->NewRequest();
    for (const std::string& field : fields) endpoint->AddArgument(field.c_str());
    MVarnixSession* session = endpoint->Send();
    EXPECT_NE(session, nullptr);
    if (session == nullptr) return {};
    bool ready = test::WaitUntil([&] { return endpoint->IsReplyReady(session) == 1; });
    EXPECT_TRUE(ready) << "no answer to " << fields[0];
    if (!ready) {
      delete session;
      return {};
    }
    endpoint->WaitForReply(session);
    std::vector<std::string> reply;
    for (int32_t i = 0; i < endpoint->arguments->Count(); ++i) reply.push_back(endpoint->arguments->At(i));
    return reply;
  }

  // No file addressed to the client is left.
  bool ReplyFilesGone() const {
    for (const std::string& name : peer.Names())
      if (name.rfind(std::string(KServer) + ".client.", 0) == 0) return false;
    return true;
  }

  int ChildStatus() {
    int status = -1;
    bool reaped = test::WaitUntil([&] { return waitpid(child, &status, WNOHANG) == child; });
    child = -1;
    return reaped && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  test::TempRoot root;
  test::WirePeer peer{root("/var/run/")};
  MVarnixCommunicationLayerInterface* endpoint = nullptr;
  pid_t child = -1;
};

TEST_F(TwoProcesses, ClientAndAPlainPosixServer) {
  uint32_t clientPid = static_cast<uint32_t>(getpid());
  std::string large = "0|" + std::string(4997, 'L') + "|";  // 5000 bytes, no line feed
  child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Answers whatever it got, so that the client never waits for ever; the
    // exit status tells which request was not as expected.
    int faults = 0;
    std::string request;
    if (!peer.Take("client", KServer, clientPid, 1, &request) || request != std::string("GetPositionV01|\0", 16))
      faults |= 1;
    peer.Post(KServer, "client", clientPid, 1, "0|51.5|-0.12|\nstale|");
    if (!peer.Take("client", KServer, clientPid, 2, &request) || request != std::string("GetFavouritesV01|\0", 18))
      faults |= 2;
    peer.Post(KServer, "client", clientPid, 2, large);
    if (!peer.Take("client", KServer, clientPid, 3, &request) || request != std::string("Ping|x|\0", 8))
      faults |= 4;
    peer.PostMarkerOnly(KServer, "client", clientPid, 3);
    _exit(faults);
  }

  endpoint = CreateFileLayer("client", KServer, -1);
  ASSERT_NE(endpoint, nullptr);
  EXPECT_EQ(Call({"GetPositionV01"}), (std::vector<std::string>{"0", "51.5", "-0.12"}));
  EXPECT_TRUE(ReplyFilesGone());
  EXPECT_EQ(Call({"GetFavouritesV01"}), (std::vector<std::string>{"0", std::string(4997, 'L')}));
  EXPECT_TRUE(ReplyFilesGone());
  EXPECT_EQ(Call({"Ping", "x"}), std::vector<std::string>{});  // the message file is missing
  EXPECT_STREQ(endpoint->arguments->Buffer(), "Ping|x|");
  EXPECT_TRUE(ReplyFilesGone());
  EXPECT_EQ(ChildStatus(), 0);
  EXPECT_EQ(peer.Names(), std::vector<std::string>{});
}

// The server's side with the runtime: the pump hands each call to a handler
// that answers with the number of fields and the fields in reverse.
struct ReversingHandler : MIncomingCallHandler {
  void HandleCall(MVarnixCommunicationLayerInterface* endpoint, MVarnixSession* session) override {
    MArguments* request = endpoint->arguments;
    int32_t count = request->Count();
    std::vector<std::string> fields;
    for (int32_t i = count - 1; i >= 0; --i) fields.push_back(request->At(i));
    endpoint->NewReply(session);
    endpoint->AddArgument(std::to_string(count).c_str());
    for (const std::string& field : fields) endpoint->AddArgument(field.c_str());
    endpoint->Send();
    ++handled;
  }
  int handled = 0;
};

TEST_F(TwoProcesses, ClientAndAServerRunningThePump) {
  child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ReversingHandler handler;
    bool served = test::WaitUntil([&] {
      ProcessIncomingCalls(KServer, &handler);
      return handler.handled == 2;
    });
    _exit(served ? 0 : 1);
  }

  endpoint = CreateFileLayer("client", KServer, -1);
  ASSERT_NE(endpoint, nullptr);
  EXPECT_EQ(Call({"GetRouteV01", "a", "b"}), (std::vector<std::string>{"3", "b", "a", "GetRouteV01"}));
  EXPECT_EQ(Call({"Ping"}), (std::vector<std::string>{"1", "Ping"}));
  EXPECT_EQ(ChildStatus(), 0);
  EXPECT_EQ(peer.Names(), std::vector<std::string>{});
}

}  // namespace
}  // namespace varnix

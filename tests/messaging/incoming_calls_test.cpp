#include "messaging/incoming_calls.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_root.h"
#include "support/wait.h"
#include "wire_peer.h"

namespace varnix {
namespace {

using Names = std::vector<std::string>;

// What the handler saw of each call, and whether the call's files were
// already gone when it ran.
struct TCall {
  std::string localName;
  std::string peerName;
  int32_t processId;
  uint32_t sessionId;
  std::vector<std::string> fields;
  bool filesGone;
};

struct RecordingHandler : MIncomingCallHandler {
  explicit RecordingHandler(const test::WirePeer& runDirectory) : peer(runDirectory) {}
  void HandleCall(MVarnixCommunicationLayerInterface* endpoint, MVarnixSession* session) override {
    CVarnixFileLayer* layer = static_cast<CVarnixFileLayer*>(endpoint);
    TCall call;
    call.localName = layer->LocalName();
    call.peerName = layer->PeerName();
    call.processId = layer->ProcessId();
    call.sessionId = CVarnixFileLayer::CSession::IdOf(session);
    for (int32_t i = 0; i < endpoint->arguments->Count(); ++i) call.fields.push_back(endpoint->arguments->At(i));
    std::string base = call.peerName + "." + call.localName + "." + std::to_string(static_cast<uint32_t>(call.processId)) +
                       "." + std::to_string(call.sessionId) + ".";
    call.filesGone = !peer.Exists(base + "message") && !peer.Exists(base + "finished");
    calls.push_back(call);
    if (reply) {
      endpoint->NewReply(session);
      endpoint->AddArgument("0");
      endpoint->Send();
    }
  }
  const test::WirePeer& peer;
  std::vector<TCall> calls;
  bool reply = false;
};

struct Pump : ::testing::Test {
  test::TempRoot root;
  test::WirePeer peer{root("/var/run/")};
  RecordingHandler handler{peer};
};

TEST_F(Pump, HandsACallToTheHandlerAfterRemovingItsFiles) {
  peer.Post("client", "myapp", 812, 3, std::string("GetStatusV01|a||\0", 17));
  ProcessIncomingCalls("myapp", &handler);
  ASSERT_EQ(handler.calls.size(), 1u);
  const TCall& call = handler.calls[0];
  EXPECT_EQ(call.localName, "myapp");
  EXPECT_EQ(call.peerName, "client");
  EXPECT_EQ(call.processId, 812);
  EXPECT_EQ(call.sessionId, 3u);
  EXPECT_EQ(call.fields, (std::vector<std::string>{"GetStatusV01", "a", ""}));
  EXPECT_TRUE(call.filesGone);
  EXPECT_EQ(peer.Names(), Names{});
}

TEST_F(Pump, ReceiverInOtherLetterCaseIsAcceptedAndAnsweredAsSpelled) {
  peer.Post("client", "MyApp", 812, 3, std::string("Ping|\0", 6));
  handler.reply = true;
  ProcessIncomingCalls("myapp", &handler);
  ASSERT_EQ(handler.calls.size(), 1u);
  EXPECT_EQ(handler.calls[0].localName, "MyApp");
  EXPECT_EQ(peer.Names(), (Names{"MyApp.client.812.3.finished", "MyApp.client.812.3.message"}));
}

TEST_F(Pump, HandlerThatRepliesWritesTheAnswerForTheCaller) {
  peer.Post("client", "myapp", 812, 3, std::string("Ping|\0", 6));
  handler.reply = true;
  ProcessIncomingCalls("myapp", &handler);
  EXPECT_EQ(peer.Names(), (Names{"myapp.client.812.3.finished", "myapp.client.812.3.message"}));
  EXPECT_EQ(peer.Read("myapp.client.812.3.message"), std::string("0|\0", 3));
  EXPECT_EQ(peer.Read("myapp.client.812.3.finished"), std::string("finish\n\0", 8));
}

TEST_F(Pump, MissingMessageFileStillCallsTheHandlerWithoutFields) {
  peer.PostMarkerOnly("client", "myapp", 812, 4);
  ProcessIncomingCalls("myapp", &handler);
  ASSERT_EQ(handler.calls.size(), 1u);
  EXPECT_EQ(handler.calls[0].fields, std::vector<std::string>{});
  EXPECT_EQ(handler.calls[0].sessionId, 4u);
  EXPECT_EQ(peer.Names(), Names{});
}

// Files that are no call to this application are left as they are.
TEST_F(Pump, LeavesEverythingElseAlone) {
  peer.Post("client", "otherapp", 812, 3, std::string("Ping|\0", 6));
  peer.Post("myapp", "client", 812, 3, std::string("0|\0", 3));  // our own reply to someone
  peer.WriteFile("client.myapp.812.finished", "finish");         // three dots
  peer.WriteFile("client.myapp.812.5.message", "Ping|");        // a message without marker
  peer.WriteFile("client.myapp.812.6.Finished", "finish");       // the kind in other case
  peer.WriteFile("gpsfeed", "");
  mkdir(root("/var/run/client.myapp.812.7.finished").c_str(), 0755);  // a directory named like a marker
  Names before = peer.Names();
  ProcessIncomingCalls("myapp", &handler);
  EXPECT_EQ(handler.calls.size(), 0u);
  EXPECT_EQ(peer.Names(), before);
}

TEST_F(Pump, EmptyOrMissingRunDirectoryEndsAtOnce) {
  ProcessIncomingCalls("myapp", &handler);
  EXPECT_EQ(handler.calls.size(), 0u);
  test::RemoveTree(root("/var/run"));
  ProcessIncomingCalls("myapp", &handler);
  EXPECT_EQ(handler.calls.size(), 0u);
}

// Only markers, no message files: nothing that the pass removes is still
// ahead in the listing, so one pass takes every call.
TEST_F(Pump, HandlesManyMarkersInOnePass) {
  std::set<uint32_t> posted;
  for (uint32_t id = 1; id <= 60; ++id) {
    peer.PostMarkerOnly(id % 2 ? "client" : "navigator", "myapp", 900 + id % 3, id);
    posted.insert(id);
  }
  ProcessIncomingCalls("myapp", &handler);
  ASSERT_EQ(handler.calls.size(), 60u);
  std::set<uint32_t> seen;
  for (const TCall& call : handler.calls) {
    seen.insert(call.sessionId);
    EXPECT_EQ(call.processId, static_cast<int32_t>(900 + call.sessionId % 3));
    EXPECT_EQ(call.peerName, call.sessionId % 2 ? "client" : "navigator");
    EXPECT_TRUE(call.filesGone);
  }
  EXPECT_EQ(seen, posted);
  EXPECT_EQ(peer.Names(), Names{});
}

// With message files: the pass removes each call's message file, which may
// still be ahead in the listing; the scanner skips what has vanished, so one
// pass still takes every call, each once and with its fields.
TEST_F(Pump, ManyCallsWithMessagesAreAllHandledOnceInOnePass) {
  std::set<uint32_t> posted;
  for (uint32_t id = 1; id <= 60; ++id) {
    peer.Post(id % 2 ? "client" : "navigator", "myapp", 900 + id % 3, id, "Call" + std::to_string(id) + "|");
    posted.insert(id);
  }
  ProcessIncomingCalls("myapp", &handler);
  ASSERT_EQ(handler.calls.size(), 60u);
  std::set<uint32_t> seen;
  for (const TCall& call : handler.calls) {
    EXPECT_TRUE(seen.insert(call.sessionId).second) << "call " << call.sessionId << " handled twice";
    EXPECT_EQ(call.fields, std::vector<std::string>{"Call" + std::to_string(call.sessionId)});
    EXPECT_EQ(call.processId, static_cast<int32_t>(900 + call.sessionId % 3));
    EXPECT_TRUE(call.filesGone);
  }
  EXPECT_EQ(seen, posted);
  EXPECT_EQ(peer.Names(), Names{});
}

// A marker whose name does not come out the same when formatted again from
// its fields would make the endpoint wait for a file that never appears. The
// pump runs in a child here, so that a pump that blocks fails the test
// instead of hanging it; the child's status is the number of calls handled.
TEST_F(Pump, MarkersThatDoNotReFormExactlyAreLeftAloneWithoutBlocking) {
  const char* names[] = {
      "client.myapp.812.03",    "client.myapp.0812.3",       "client.myapp.+812.3",
      "client.myapp.812.3x",    "client.myapp.812.3.extra",  "client.myapp.812.",
      "client.myapp..3",        "client.myapp.-1.3",         "client.myapp.4294967296.3",
      "client.myapp.812. 3",    "client.myapp.812.99999999999",
      // 4294967295 reads as -1, which an endpoint would take for its own
      // process id (found by fuzzing the pump).
      "client.myapp.4294967295.3",
  };
  for (const char* name : names) {
    peer.WriteFile(std::string(name) + ".message", "Ping|");
    peer.WriteFile(std::string(name) + ".finished", "finish");
  }
  peer.Post("client", "myapp", 812, 3, std::string("Ping|\0", 6));  // the one good call
  Names good = {"client.myapp.812.3.finished", "client.myapp.812.3.message"};
  Names before = peer.Names();

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ProcessIncomingCalls("myapp", &handler);
    _exit(static_cast<int>(handler.calls.size()));
  }
  int status = -1;
  bool reaped = test::ReapChild(child, &status, 5000);
  ASSERT_TRUE(reaped) << "the pump blocked on a marker";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  Names after;
  for (const std::string& name : before)
    if (name != good[0] && name != good[1]) after.push_back(name);
  EXPECT_EQ(peer.Names(), after);
}

}  // namespace
}  // namespace varnix

#include <errno.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "base/os.h"
#include "messaging/endpoint.h"
#include "support/os_fault.h"
#include "support/temp_root.h"
#include "support/wait.h"
#include "wire_peer.h"

namespace varnix {
namespace {

using test::ExchangeName;
using Names = std::vector<std::string>;

const char KServer[] = "VarnixNavigationServer";
const std::string KMarkerBytes("finish\n\0", 8);

struct Exchange : ::testing::Test {
  void SetUp() override {
    endpoint = CreateFileLayer("client", KServer, 812);
    ASSERT_NE(endpoint, nullptr);
  }
  void TearDown() override { delete endpoint; }

  MVarnixSession* SendRequest(const std::vector<std::string>& fields) {
    endpoint->NewRequest();
    for (const std::string& field : fields) endpoint->AddArgument(field.c_str());
    return endpoint->Send();
  }
  static uint32_t Id(MVarnixSession* session) { return CVarnixFileLayer::CSession::IdOf(session); }
  std::vector<std::string> Fields() const {
    std::vector<std::string> fields;
    for (int32_t i = 0; i < endpoint->arguments->Count(); ++i) fields.push_back(endpoint->arguments->At(i));
    return fields;
  }
  std::string Reply(uint32_t id, const char* kind) const { return ExchangeName(KServer, "client", 812, id, kind); }

  test::TempRoot root;
  test::WirePeer peer{root("/var/run/")};
  MVarnixCommunicationLayerInterface* endpoint = nullptr;
};

// ---- Golden bytes ---------------------------------------------------------

TEST_F(Exchange, FirstRequestIsAMessageFileAndAnEightByteMarker) {
  MVarnixSession* session = SendRequest({"GetRouteCoordinatesV01"});
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(Id(session), 1u);
  EXPECT_EQ(peer.Names(), (Names{"client.VarnixNavigationServer.812.1.finished",
                                 "client.VarnixNavigationServer.812.1.message"}));
  EXPECT_EQ(peer.Read("client.VarnixNavigationServer.812.1.message"), std::string("GetRouteCoordinatesV01|\0", 24));
  EXPECT_EQ(peer.Read("client.VarnixNavigationServer.812.1.finished"), KMarkerBytes);
  EXPECT_STREQ(endpoint->arguments->Buffer(), "GetRouteCoordinatesV01|");  // Send leaves the list alone
  delete session;
}

TEST_F(Exchange, RequestWithArgumentsAndAnEmptyField) {
  MVarnixSession* session = SendRequest({"NavigateToAddressV01", "Main Street", "", "-12"});
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(peer.Read("client.VarnixNavigationServer.812.1.message"),
            std::string("NavigateToAddressV01|Main Street||-12|\0", 39));
  delete session;
}

// Names carry the process id and the message id as unsigned decimals; a reply
// goes out with the id of the call it answers, wrapping at 2^32.
TEST(ExchangeNames, MessageIdsAndProcessIdsInFileNames) {
  struct TCase {
    int32_t processId;
    bool reply;
    uint32_t sessionId;  // for a reply: the received call's id
    const char* message;
  } cases[] = {
      {812, false, 0, "myapp.client.812.1.message"},
      {812, true, 7, "myapp.client.812.7.message"},
      {812, true, 0, "myapp.client.812.0.message"},
      {812, true, 4294967295u, "myapp.client.812.4294967295.message"},
      {-2, false, 0, "myapp.client.4294967294.1.message"},
  };
  for (const TCase& c : cases) {
    test::TempRoot root;
    test::WirePeer peer(root("/var/run/"));
    MVarnixCommunicationLayerInterface* endpoint = CreateFileLayer("myapp", "client", c.processId);
    CVarnixFileLayer::CSession received(c.sessionId);
    if (c.reply) endpoint->NewReply(&received);
    else endpoint->NewRequest();
    endpoint->AddArgument("0");
    MVarnixSession* session = endpoint->Send();
    EXPECT_EQ(session == nullptr, c.reply) << "a reply returns no session";
    std::string marker = std::string(c.message, std::string(c.message).size() - 7) + "finished";
    EXPECT_EQ(peer.Names(), (Names{marker, c.message}));
    EXPECT_EQ(peer.Read(c.message), std::string("0|\0", 3));
    EXPECT_EQ(peer.Read(marker), KMarkerBytes);
    delete session;
    delete endpoint;
  }
}

TEST_F(Exchange, MessageIdsKeepRisingAcrossRequests) {
  for (uint32_t expected = 1; expected <= 3; ++expected) {
    MVarnixSession* session = SendRequest({"Ping"});
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(Id(session), expected);
    EXPECT_TRUE(peer.Exists(ExchangeName("client", KServer, 812, expected, "finished")));
    delete session;
  }
}

TEST_F(Exchange, AReplyTakesTheCallsIdAndTheNextRequestGoesOnFromIt) {
  CVarnixFileLayer::CSession received(7);
  endpoint->NewReply(&received);
  endpoint->AddArgument("0");
  EXPECT_EQ(endpoint->Send(), nullptr);
  EXPECT_TRUE(peer.Exists("client.VarnixNavigationServer.812.7.finished"));
  MVarnixSession* session = SendRequest({"Ping"});
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(Id(session), 8u);
  EXPECT_TRUE(peer.Exists("client.VarnixNavigationServer.812.8.message"));
  delete session;
}

TEST_F(Exchange, AnExistingFileOfTheSameNameIsReplaced) {
  peer.WriteFile("client.VarnixNavigationServer.812.1.message", std::string(100, 'j'));
  delete SendRequest({"Ping"});
  EXPECT_EQ(peer.Read("client.VarnixNavigationServer.812.1.message"), std::string("Ping|\0", 6));
}

TEST_F(Exchange, TwoEndpointsWithTheSameNamesCollide) {
  MVarnixCommunicationLayerInterface* other = CreateFileLayer("client", KServer, 812);
  delete SendRequest({"First"});
  other->NewRequest();
  other->AddArgument("Second");
  delete other->Send();
  EXPECT_EQ(peer.Read("client.VarnixNavigationServer.812.1.message"), std::string("Second|\0", 8));
  delete other;
}

// ---- Reading a reply --------------------------------------------------------

TEST_F(Exchange, IsReplyReadyTestsOnlyThePeersMarkerForTheSession) {
  MVarnixSession* session = SendRequest({"Ping"});
  EXPECT_EQ(endpoint->IsReplyReady(session), 0);  // our own marker does not count
  peer.WriteFile("varnixnavigationserver.client.812.1.finished", KMarkerBytes);
  peer.WriteFile("VarnixNavigationServer.client.812.2.finished", KMarkerBytes);
  peer.WriteFile("VarnixNavigationServer.client.813.1.finished", KMarkerBytes);
  EXPECT_EQ(endpoint->IsReplyReady(session), 0);
  peer.PostMarkerOnly(KServer, "client", 812, 1);
  EXPECT_EQ(endpoint->IsReplyReady(session), 1);
  EXPECT_EQ(endpoint->IsReplyReady(session), 1);  // the test consumes nothing
  EXPECT_TRUE(peer.Exists(Reply(1, "finished")));
  delete session;
}

TEST_F(Exchange, ReplyIsReadUpToItsFirstLineFeedAndBothFilesAreRemoved) {
  struct TCase {
    std::string reply;
    std::vector<std::string> fields;
  } cases[] = {
      {std::string("0|12|abc|\0", 10), {"0", "12", "abc"}},
      {std::string("0|\n", 3), {"0"}},
      {std::string("0|1\n2|\0", 7), {"0"}},
      {std::string("-2|\0", 4), {"-2"}},
      {std::string("garbage\0", 8), {}},
  };
  for (const TCase& c : cases) {
    MVarnixSession* session = SendRequest({"Ping"});
    uint32_t id = Id(session);
    std::string request;
    ASSERT_TRUE(peer.Take("client", KServer, 812, id, &request));
    EXPECT_EQ(request, std::string("Ping|\0", 6));
    peer.Post(KServer, "client", 812, id, c.reply);
    endpoint->WaitForReply(session);
    EXPECT_EQ(Fields(), c.fields) << "reply " << c.reply;
    EXPECT_EQ(peer.Names(), Names{}) << "reply " << c.reply;
  }
}

TEST_F(Exchange, A5000ByteReplyIsReadWholeIntoAReservedBuffer) {
  MVarnixSession* session = SendRequest({"GetFavouritesV01"});
  std::string request;
  ASSERT_TRUE(peer.Take("client", KServer, 812, 1, &request));
  std::string field(4997, 'f');
  peer.Post(KServer, "client", 812, 1, "0|" + field + "|");  // 5000 bytes, no line feed
  endpoint->WaitForReply(session);
  EXPECT_EQ(Fields(), (std::vector<std::string>{"0", field}));
  EXPECT_EQ(static_cast<CCsvArguments*>(endpoint->arguments)->HeapCapacity(), 5001);
  EXPECT_EQ(peer.Names(), Names{});
}

// A message file of 1023 bytes or more is read into a buffer of its own
// size plus one; a shorter one into the inline buffer.
TEST_F(Exchange, ReplySizeDecidesBetweenInlineAndReservedBuffer) {
  struct TCase {
    size_t fileSize;
    int32_t heapCapacity;
  } cases[] = {{1022, 0}, {1023, 1024}, {1024, 1025}};
  for (const TCase& c : cases) {
    MVarnixSession* session = SendRequest({"Ping"});
    uint32_t id = Id(session);
    std::string request;
    ASSERT_TRUE(peer.Take("client", KServer, 812, id, &request));
    std::string field(c.fileSize - 4, 'r');  // "0|" + field + "|" + zero byte
    peer.Post(KServer, "client", 812, id, "0|" + field + "|" + std::string(1, '\0'));
    endpoint->WaitForReply(session);
    EXPECT_EQ(static_cast<CCsvArguments*>(endpoint->arguments)->HeapCapacity(), c.heapCapacity) << c.fileSize;
    EXPECT_EQ(Fields(), (std::vector<std::string>{"0", field})) << c.fileSize;
  }
}

// Without memory for the larger buffer the reply is read only as far as the
// inline buffer reaches, and nothing is written past it.
TEST_F(Exchange, WithoutMemoryForALargeReplyTheInlineWindowIsKept) {
  MVarnixSession* session = SendRequest({"GetFavouritesV01"});
  std::string request;
  ASSERT_TRUE(peer.Take("client", KServer, 812, 1, &request));
  std::string field(4997, 'f');
  peer.Post(KServer, "client", 812, 1, "0|" + field + "|");
  test::OsFaultGuard guard;
  test::FailCall("Malloc", 1, ENOMEM, test::EFailFromThenOn);
  endpoint->WaitForReply(session);
  EXPECT_EQ(test::FaultsFired("Malloc"), 1);
  EXPECT_EQ(static_cast<CCsvArguments*>(endpoint->arguments)->HeapCapacity(), 0);
  EXPECT_EQ(Fields(), (std::vector<std::string>{"0"}));  // the cut second field has no separator
  EXPECT_EQ(std::string(endpoint->arguments->At(0) + 2), std::string(1021, 'f'));
  EXPECT_EQ(peer.Names(), Names{});
}

TEST_F(Exchange, MissingMessageFileLeavesTheRequestUnsplitAndRemovesTheMarker) {
  MVarnixSession* session = SendRequest({"Ping", "x"});
  std::string request;
  ASSERT_TRUE(peer.Take("client", KServer, 812, 1, &request));
  peer.PostMarkerOnly(KServer, "client", 812, 1);
  endpoint->WaitForReply(session);
  EXPECT_EQ(endpoint->arguments->Count(), 0);
  EXPECT_STREQ(endpoint->arguments->Buffer(), "Ping|x|");
  EXPECT_EQ(peer.Names(), Names{});
}

// A peer that wrote its marker after failing to write the message leaves an
// empty message file: the answer has no fields, not the request's.
TEST_F(Exchange, EmptyMessageFileGivesNoFields) {
  MVarnixSession* session = SendRequest({"0", "stale"});
  std::string request;
  ASSERT_TRUE(peer.Take("client", KServer, 812, 1, &request));
  peer.Post(KServer, "client", 812, 1, "");
  endpoint->WaitForReply(session);
  EXPECT_EQ(endpoint->arguments->Count(), 0);
  EXPECT_EQ(peer.Names(), Names{});
}

TEST_F(Exchange, WaitForReplyWithoutSessionOnlyEmptiesTheList) {
  delete SendRequest({"Ping"});
  peer.Post(KServer, "client", 812, 1, std::string("0|\0", 3));
  endpoint->WaitForReply(nullptr);
  EXPECT_STREQ(endpoint->arguments->Buffer(), "");
  EXPECT_EQ(peer.Names().size(), 4u);
}

// The wait tests for the marker every 100 ms; the sleeps are counted
// through the seam instead of taken, and the peer answers during the third.
int gSleeps = 0;
useconds_t gSleepLength = 0;
std::string gRunDirectory;
int AnsweringSleep(useconds_t microseconds) {
  gSleepLength = microseconds;
  if (++gSleeps == 3) test::WirePeer(gRunDirectory).Post(KServer, "client", 812, 1, std::string("0|ok|\0", 6));
  return 0;
}

TEST_F(Exchange, WaitForReplyTestsEvery100Milliseconds) {
  MVarnixSession* session = SendRequest({"Ping"});
  gRunDirectory = root("/var/run/");
  test::OsFaultGuard guard;
  os::gOsCurrent.Usleep = &AnsweringSleep;
  endpoint->WaitForReply(session);
  EXPECT_EQ(gSleeps, 3);
  EXPECT_EQ(gSleepLength, 100000u);
  EXPECT_EQ(Fields(), (std::vector<std::string>{"0", "ok"}));
}

// ---- Send never publishes a partial message ---------------------------------

TEST_F(Exchange, FailingToWriteTheMessageLeavesNoFileAndNoMarker) {
  struct TCase {
    const char* call;
    int error;
  } cases[] = {{"Fwrite", ENOSPC}, {"Fflush", ENOSPC}, {"Fsync", EIO}, {"Fclose", ENOSPC}};
  uint32_t lastId = 0;
  for (const TCase& c : cases) {
    test::OsFaultGuard guard;
    test::FailCall(c.call, 1, c.error);
    EXPECT_EQ(SendRequest({"Ping"}), nullptr) << c.call;
    EXPECT_EQ(test::FaultsFired(c.call), 1) << c.call;
    EXPECT_EQ(peer.Names(), Names{}) << c.call;
    lastId = static_cast<CVarnixFileLayer*>(endpoint)->MessageId();
  }
  EXPECT_EQ(lastId, 4u);  // every failed message used up its id
}

TEST_F(Exchange, MessageFileThatCannotBeCreatedGivesNull) {
  test::OsFaultGuard guard;
  test::FailCall("Fopen", 1, EACCES);
  EXPECT_EQ(SendRequest({"Ping"}), nullptr);
  EXPECT_EQ(peer.Names(), Names{});
}

TEST_F(Exchange, MarkerThatCannotBeCreatedLeavesTheMessageBehind) {
  test::OsFaultGuard guard;
  test::FailCall("Fopen", 2, ENOSPC);
  EXPECT_EQ(SendRequest({"Ping"}), nullptr);
  EXPECT_EQ(peer.Names(), Names{"client.VarnixNavigationServer.812.1.message"});
}

// A file-size limit of 100 bytes, as a full card would: the first message
// does not fit and vanishes, the next small one goes out with the next id.
TEST_F(Exchange, SendUnderAFileSizeLimitPublishesNothingPartial) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {100, 100};
    setrlimit(RLIMIT_FSIZE, &limit);
    MVarnixSession* big = SendRequest({"SetNoteV01", std::string(500, 'n')});
    MVarnixSession* small = SendRequest({"Ping"});
    int status = (big == nullptr ? 0 : 1) | (small != nullptr && Id(small) == 2 ? 0 : 2);
    delete big;
    delete small;
    _exit(status);
  }
  int status = -1;
  ASSERT_TRUE(test::WaitUntil([&] { return waitpid(child, &status, WNOHANG) == child; }));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the big Send returned a session; 2: the small one failed";
  EXPECT_EQ(peer.Names(), (Names{"client.VarnixNavigationServer.812.2.finished",
                                 "client.VarnixNavigationServer.812.2.message"}));
}

}  // namespace
}  // namespace varnix

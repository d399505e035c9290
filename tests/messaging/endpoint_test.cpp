#include "messaging/endpoint.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/os_fault.h"

namespace varnix {
namespace {

CVarnixFileLayer* AsFileLayer(MVarnixCommunicationLayerInterface* endpoint) {
  return static_cast<CVarnixFileLayer*>(endpoint);
}

TEST(CreateFileLayer, ClientEndpointForTheNavigationServer) {
  MVarnixCommunicationLayerInterface* endpoint = CreateFileLayer("client", "VarnixNavigationServer", -1);
  ASSERT_NE(endpoint, nullptr);
  CVarnixFileLayer* layer = AsFileLayer(endpoint);
  EXPECT_STREQ(layer->LocalName(), "client");
  EXPECT_STREQ(layer->PeerName(), "VarnixNavigationServer");
  EXPECT_EQ(layer->ProcessId(), static_cast<int32_t>(getpid()));
  EXPECT_EQ(layer->MessageId(), 0u);
  ASSERT_NE(endpoint->arguments, nullptr);
  EXPECT_EQ(endpoint->arguments->Count(), 0);
  EXPECT_STREQ(endpoint->arguments->Buffer(), "");
  EXPECT_EQ(static_cast<CCsvArguments*>(endpoint->arguments)->Separator(), '|');
  delete endpoint;
}

TEST(CreateFileLayer, OnlyMinusOneStandsForTheOwnProcess) {
  for (int32_t id : {-2, 0, 812, 2147483647}) {
    MVarnixCommunicationLayerInterface* endpoint = CreateFileLayer("a", "b", id);
    ASSERT_NE(endpoint, nullptr);
    EXPECT_EQ(AsFileLayer(endpoint)->ProcessId(), id);
    delete endpoint;
  }
}

TEST(CreateFileLayer, NamesAreCutAt255Characters) {
  std::string longName(300, 'n');
  MVarnixCommunicationLayerInterface* endpoint = CreateFileLayer(longName.c_str(), "peer", 1);
  ASSERT_NE(endpoint, nullptr);
  EXPECT_EQ(std::string(AsFileLayer(endpoint)->LocalName()), std::string(255, 'n'));
  delete endpoint;
}

// The list is made first, then the endpoint; either failing leaves nothing
// allocated (the leak checker of the asan preset sees a stray block).
TEST(CreateFileLayer, WithoutMemoryGivesNullAndKeepsNothing) {
  for (int nth : {1, 2}) {
    test::OsFaultGuard guard;
    test::FailCall("Malloc", nth, ENOMEM);
    EXPECT_EQ(CreateFileLayer("client", "VarnixNavigationServer", -1), nullptr) << "allocation " << nth;
    EXPECT_EQ(test::FaultsFired("Malloc"), 1);
  }
}

TEST(Endpoint, NewRequestEmptiesTheListButKeepsTheMessageId) {
  MVarnixCommunicationLayerInterface* endpoint = CreateFileLayer("client", "server", 5);
  CVarnixFileLayer::CSession received(7);
  endpoint->NewReply(&received);
  EXPECT_EQ(endpoint->AddArgument("0"), 1);
  EXPECT_EQ(endpoint->AddArgument("done"), 6);
  EXPECT_STREQ(endpoint->arguments->Buffer(), "0|done|");

  endpoint->NewRequest();
  EXPECT_EQ(AsFileLayer(endpoint)->ReplyMode(), 0);
  EXPECT_EQ(AsFileLayer(endpoint)->MessageId(), 6u);
  EXPECT_STREQ(endpoint->arguments->Buffer(), "");
  delete endpoint;
}

TEST(Endpoint, NewReplyPreparesTheSessionsIdForSend) {
  struct TCase {
    uint32_t sessionId;
    uint32_t messageId;
  } cases[] = {{7, 6}, {1, 0}, {0, 4294967295u}, {4294967295u, 4294967294u}};
  for (const TCase& c : cases) {
    MVarnixCommunicationLayerInterface* endpoint = CreateFileLayer("myapp", "client", 812);
    endpoint->AddArgument("stale");
    CVarnixFileLayer::CSession session(c.sessionId);
    endpoint->NewReply(&session);
    EXPECT_EQ(AsFileLayer(endpoint)->ReplyMode(), 1);
    EXPECT_EQ(AsFileLayer(endpoint)->MessageId(), c.messageId);
    EXPECT_STREQ(endpoint->arguments->Buffer(), "");
    EXPECT_EQ(session.MessageId(), c.sessionId);  // the session stays as it was
    delete endpoint;
  }
}

struct SpyList : MArguments {
  explicit SpyList(bool* deletedFlag) : deleted(deletedFlag) {}
  ~SpyList() override { *deleted = true; }
  void Reset() override {}
  int32_t Append(const char*) override { return 0; }
  char* Buffer() override { return text; }
  void Split() override {}
  int32_t Count() const override { return 0; }
  char* At(int32_t) const override { return nullptr; }
  int Reserve(int32_t) override { return 0; }
  bool* deleted;
  char text[1] = {0};
};

TEST(Endpoint, DeletingTheEndpointDeletesItsList) {
  bool deleted = false;
  MVarnixCommunicationLayerInterface* endpoint = new CVarnixFileLayer(new SpyList(&deleted));
  ASSERT_NE(endpoint, nullptr);
  MVarnixSession* session = new CVarnixFileLayer::CSession(3);
  delete session;
  EXPECT_FALSE(deleted);
  delete endpoint;
  EXPECT_TRUE(deleted);
}

}  // namespace
}  // namespace varnix

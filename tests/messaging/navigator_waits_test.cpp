// The waits of the blocking StopApplicationV01 and of
// SendCallToCustomUIAndWait, seen through the OS seam's sleep: the sleeps are
// recorded instead of slept, and the replies are written in advance.

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "base/os.h"
#include "messaging/endpoint.h"
#include "messaging/navigator_calls.h"
#include "scripted_peer.h"
#include "support/navigator_client.h"
#include "support/os_fault.h"
#include "support/temp_root.h"

namespace varnix {
namespace {

std::vector<useconds_t> gSleeps;

int RecordSleep(useconds_t microseconds) {
  gSleeps.push_back(microseconds);
  // A reply that never comes would make the exchange poll forever.
  if (gSleeps.size() > 1000) {
    fprintf(stderr, "more than 1000 sleeps: a reply is missing\n");
    abort();
  }
  return 0;
}

class NavigatorWaits : public ::testing::Test, protected test::NavigatorClient {
 protected:
  void SetUp() override {
    gSleeps.clear();
    os::gOsCurrent.Usleep = &RecordSleep;
    ASSERT_NE(endpoint, nullptr);
  }
  void TearDown() override { os::RestoreOsDefaults(); }

  void AnswerRange(uint32_t from, uint32_t to, const std::string& reply) {
    for (uint32_t id = from; id <= to; ++id) peer.Answer(id, reply);
  }

  test::TempRoot root;
  test::ScriptedPeer peer{root, "client", 812};
};

TEST_F(NavigatorWaits, StopApplicationAcceptedWaitsElevenSeconds) {
  peer.Answer(1, "0|");
  int32_t error = 99;
  EXPECT_EQ(StopApplicationV01(&context, &error), 0);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(gSleeps, std::vector<useconds_t>(11, 1000000));
  EXPECT_EQ(peer.Request(1), std::string("StopApplicationV01|\0", 20));
}

struct TStopCase {
  const char* reply;
  int32_t result;
  int32_t error;
};

TEST_F(NavigatorWaits, StopApplicationOtherwiseReturnsAtOnce) {
  const TStopCase cases[] = {{"3|", 0, 3}, {"-1|", 0, -1}, {"0|1|", -2, -2}, {"", -2, -2}};
  uint32_t id = 0;
  for (const TStopCase& c : cases) {
    SCOPED_TRACE(c.reply);
    peer.Answer(++id, c.reply);
    int32_t error = 99;
    EXPECT_EQ(StopApplicationV01(&context, &error), c.result);
    EXPECT_EQ(error, c.error);
    EXPECT_TRUE(gSleeps.empty());
  }
}

TEST_F(NavigatorWaits, StopApplicationHalvesDoNotWait) {
  peer.Answer(1, "0|");
  int32_t error = 99;
  EXPECT_EQ(ReceiveStopApplicationV01(&context, SendStopApplicationV01(&context), &error), 0);
  EXPECT_EQ(error, 0);
  EXPECT_TRUE(gSleeps.empty());
}

TEST_F(NavigatorWaits, StopApplicationNotSent) {
  ASSERT_EQ(::rmdir(root("/var/run").c_str()), 0);
  int32_t error = 99;
  EXPECT_EQ(StopApplicationV01(&context, &error), -1);
  EXPECT_EQ(error, -1);
  EXPECT_TRUE(gSleeps.empty());
}

const std::string KGetResult("GetResultFromCustomUIV01|\0", 26);

TEST_F(NavigatorWaits, CustomUIResultThatStaysPendingRunsOut) {
  peer.Answer(1, "0|");
  AnswerRange(2, 21, "-9|");
  TCustomUIResult list{99, nullptr};
  int32_t error = 99;
  EXPECT_EQ(SendCallToCustomUIAndWait(&context, &error, &list, 5, "hello", 2), -2);
  EXPECT_EQ(error, -9);
  EXPECT_EQ(list.count, -1);
  EXPECT_EQ(list.items, nullptr);
  EXPECT_EQ(gSleeps, std::vector<useconds_t>(20, 100000));
  EXPECT_EQ(peer.Request(1), std::string("SendCallToCustomUIV01|5|hello|\0", 31));
  for (uint32_t id = 2; id <= 21; ++id) EXPECT_EQ(peer.Request(id), KGetResult) << id;
  EXPECT_FALSE(peer.RequestSent(22));
}

TEST_F(NavigatorWaits, CustomUIOneSecondIsTenPolls) {
  peer.Answer(1, "0|");
  AnswerRange(2, 11, "-9|");
  TCustomUIResult list{};
  int32_t error = 99;
  EXPECT_EQ(SendCallToCustomUIAndWait(&context, &error, &list, 0, "", 1), -2);
  EXPECT_EQ(error, -9);
  EXPECT_EQ(gSleeps.size(), 10u);
  EXPECT_FALSE(peer.RequestSent(12));
}

TEST_F(NavigatorWaits, CustomUIResultArrivesAfterTwoPendingPolls) {
  peer.Answer(1, "0|");
  AnswerRange(2, 3, "-9|");
  peer.Answer(4, "0|2|yes|no|");
  TCustomUIResult list{};
  int32_t error = 99;
  EXPECT_EQ(SendCallToCustomUIAndWait(&context, &error, &list, 1, "ask", 5), 0);
  EXPECT_EQ(error, 0);
  ASSERT_EQ(list.count, 2);
  EXPECT_STREQ(list.items[0], "yes");
  EXPECT_STREQ(list.items[1], "no");
  EXPECT_EQ(gSleeps, std::vector<useconds_t>(3, 100000));
  EXPECT_FALSE(peer.RequestSent(5));
  FreeMemory(&context, list.items[0]);
  FreeMemory(&context, list.items[1]);
  FreeMemory(&context, list.items);
}

TEST_F(NavigatorWaits, CustomUIPollWithAnotherCodeEndsTheWait) {
  peer.Answer(1, "0|");
  peer.Answer(2, "-4|");
  TCustomUIResult list{};
  int32_t error = 99;
  EXPECT_EQ(SendCallToCustomUIAndWait(&context, &error, &list, 1, "ask", 3), 0);
  EXPECT_EQ(error, -4);
  EXPECT_EQ(list.count, -1);
  EXPECT_EQ(gSleeps.size(), 1u);
}

TEST_F(NavigatorWaits, CustomUISendRefusedIsNotPolled) {
  peer.Answer(1, "-7|");
  TCustomUIResult list{};
  int32_t error = 99;
  EXPECT_EQ(SendCallToCustomUIAndWait(&context, &error, &list, 1, "ask", 3), 0);
  EXPECT_EQ(error, -7);
  EXPECT_TRUE(gSleeps.empty());
  EXPECT_FALSE(peer.RequestSent(2));
}

// No time to wait: the call is sent, the result is not asked for, and the
// outcome is that of a wait that ran out.
TEST_F(NavigatorWaits, CustomUIWithoutTimeoutDoesNotPoll) {
  uint32_t id = 0;
  for (int32_t timeout : {0, -1, -2147483647 - 1}) {
    SCOPED_TRACE(timeout);
    peer.Answer(++id, "0|");
    TCustomUIResult list{99, nullptr};
    int32_t error = 99;
    EXPECT_EQ(SendCallToCustomUIAndWait(&context, &error, &list, 2, "now", timeout), -2);
    EXPECT_EQ(error, -9);
    EXPECT_EQ(list.count, 99);
    EXPECT_TRUE(gSleeps.empty());
    EXPECT_EQ(peer.Request(id), std::string("SendCallToCustomUIV01|2|now|\0", 29));
    EXPECT_FALSE(peer.RequestSent(id + 1));
  }
}

// Ten polls per second of a very long timeout would not fit in 32 bits.
TEST_F(NavigatorWaits, CustomUIHugeTimeoutStillPolls) {
  peer.Answer(1, "0|");
  peer.Answer(2, "0|1|done|");
  TCustomUIResult list{};
  int32_t error = 99;
  EXPECT_EQ(SendCallToCustomUIAndWait(&context, &error, &list, 1, "x", 2147483647), 0);
  EXPECT_EQ(error, 0);
  ASSERT_EQ(list.count, 1);
  EXPECT_STREQ(list.items[0], "done");
  EXPECT_EQ(gSleeps.size(), 1u);
  FreeMemory(&context, list.items[0]);
  FreeMemory(&context, list.items);
}

TEST_F(NavigatorWaits, CustomUINotSent) {
  ASSERT_EQ(::rmdir(root("/var/run").c_str()), 0);
  TCustomUIResult list{99, nullptr};
  int32_t error = 99;
  EXPECT_EQ(SendCallToCustomUIAndWait(&context, &error, &list, 1, "x", 1), 0);
  EXPECT_EQ(error, -1);
  EXPECT_EQ(list.count, 99);
  EXPECT_TRUE(gSleeps.empty());
}

}  // namespace
}  // namespace varnix

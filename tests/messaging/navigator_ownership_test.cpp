// Blocks of list replies belong to the caller, who releases them with
// FreeMemory; nothing else of a call stays allocated. Under the asan preset
// the leak checker runs at the end of each test, after the failing replies
// too; in every build the blocks that a receive half allocates are compared
// with the blocks its result hands over.

#include <errno.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "base/os.h"
#include "messaging/endpoint.h"
#include "messaging/navigator_calls.h"
#include "scripted_peer.h"
#include "support/navigator_client.h"
#include "support/os_fault.h"
#include "support/temp_root.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define VARNIX_TEST_LEAK_CHECK 1
#endif

namespace varnix {
namespace {

std::set<void*> gAllocated;

void* TrackingMalloc(size_t size) {
  void* block = os::gOsDefaults.Malloc(size);
  if (block != nullptr) gAllocated.insert(block);
  return block;
}

class NavigatorOwnership : public ::testing::Test, protected test::NavigatorClient {
 protected:
  void SetUp() override { ASSERT_NE(endpoint, nullptr); }
  void TearDown() override {
    delete endpoint;  // before the leak check
    endpoint = nullptr;
    os::RestoreOsDefaults();
#ifdef VARNIX_TEST_LEAK_CHECK
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "blocks were left behind";
#endif
  }

  // The blocks that the receive half of the next call allocates; the send
  // half and the reply are made before.
  void Track() {
    gAllocated.clear();
    os::gOsCurrent.Malloc = &TrackingMalloc;
  }
  std::set<void*> Tracked() {
    os::gOsCurrent.Malloc = os::gOsDefaults.Malloc;
    return gAllocated;
  }

  test::TempRoot root;
  test::ScriptedPeer peer{root, "client", 812};
  uint32_t nextId = 0;
};

TEST_F(NavigatorOwnership, TextListHandsOverTheArrayAndEachText) {
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    peer.Answer(++nextId, "0|3|a|bb|" + std::string(static_cast<size_t>(round) * 100, 'c') + "|");
    MVarnixSession* session = SendGetResultFromCustomUIV01(&context);
    ASSERT_NE(session, nullptr);
    TCustomUIResult list{};
    int32_t error = 99;
    Track();
    ASSERT_EQ(ReceiveGetResultFromCustomUIV01(&context, session, &error, &list), 0);
    std::set<void*> allocated = Tracked();
    ASSERT_EQ(error, 0);
    ASSERT_EQ(list.count, 3);
    std::set<void*> handedOver{list.items, list.items[0], list.items[1], list.items[2]};
    EXPECT_EQ(handedOver.size(), 4u);  // every text a block of its own
    EXPECT_TRUE(std::includes(allocated.begin(), allocated.end(), handedOver.begin(), handedOver.end()));
    for (int32_t i = 0; i < list.count; ++i) FreeMemory(&context, list.items[i]);
    FreeMemory(&context, list.items);
  }
}

TEST_F(NavigatorOwnership, CoordinateListHandsOverOneArray) {
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    std::string reply = "0|" + std::to_string(round + 1) + "|";
    for (int i = 0; i <= round; ++i) reply += std::to_string(i) + "|" + std::to_string(-i) + "|";
    peer.Answer(++nextId, reply);
    MVarnixSession* session = SendGetRouteCoordinatesV01(&context);
    ASSERT_NE(session, nullptr);
    TRouteCoordinates route{};
    int32_t error = 99;
    Track();
    ASSERT_EQ(ReceiveGetRouteCoordinatesV01(&context, session, &error, &route), 0);
    std::set<void*> allocated = Tracked();
    ASSERT_EQ(route.count, round + 1);
    EXPECT_EQ(allocated.count(route.items), 1u);
    FreeMemory(&context, route.items);
  }
}

// Replies that give nothing to the caller: nothing may stay allocated.
TEST_F(NavigatorOwnership, RefusedListsKeepNothing) {
  for (const char* reply : {"0|3|a|b|", "0|5|one|two|three|four|", "0|0|", "0|-2|x|", "-9|2|a|b|", "0|"}) {
    SCOPED_TRACE(reply);
    peer.Answer(++nextId, reply);
    TCustomUIResult list{};
    int32_t error = 99;
    EXPECT_EQ(GetResultFromCustomUIV01(&context, &error, &list), 0);
    EXPECT_EQ(list.items, nullptr);
  }
  for (const char* reply : {"0|0|", "0|-3|1|2|", "0|2|", "4|1|1|2|", "0|"}) {
    SCOPED_TRACE(reply);
    peer.Answer(++nextId, reply);
    TRouteCoordinates route{};
    int32_t error = 99;
    int32_t result = GetRouteCoordinatesV01(&context, &error, &route);
    EXPECT_FALSE(result == 0 && error == 0);
    EXPECT_EQ(route.items, nullptr);
  }
}

TEST_F(NavigatorOwnership, TextCopyThatFailsReleasesTheOthers) {
  for (int failing = 2; failing <= 5; ++failing) {
    SCOPED_TRACE(failing);
    peer.Answer(++nextId, "0|4|one|two|three|four|");
    MVarnixSession* session = SendGetResultFromCustomUIV01(&context);
    ASSERT_NE(session, nullptr);
    test::OsFaultGuard guard;
    test::FailCall("Malloc", failing, ENOMEM);
    TCustomUIResult list{};
    int32_t error = 99;
    EXPECT_EQ(ReceiveGetResultFromCustomUIV01(&context, session, &error, &list), 0);
    EXPECT_EQ(error, -5);
    EXPECT_EQ(list.items, nullptr);
  }
}

TEST(NavigatorFreeMemory, NullIsIgnored) {
  FreeMemory(nullptr, nullptr);
  void* block = os::Malloc(16);
  ASSERT_NE(block, nullptr);
  FreeMemory(nullptr, block);
#ifdef VARNIX_TEST_LEAK_CHECK
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#endif
}

}  // namespace
}  // namespace varnix

// Send under every OS failure it can meet: each call it makes fails in turn,
// with the errnos a full card, a failing medium or a signal give.
#include <gtest/gtest.h>

#include <string>

#include "messaging/endpoint.h"
#include "support/fault_table.h"
#include "support/temp_root.h"
#include "wire_peer.h"

namespace varnix {
namespace {

const char KServer[] = "VarnixNavigationServer";

TEST(SendFaults, AFailedSendPublishesNothingAndTheNextOneGoesOut) {
  test::TempRoot root;
  test::WirePeer peer(root("/var/run/"));
  MVarnixCommunicationLayerInterface* endpoint = CreateFileLayer("client", KServer, 812);
  ASSERT_NE(endpoint, nullptr);
  // Large enough for the heap buffer of the argument list.
  const std::string note(5000, 'n');
  const std::string bytes = "SetNoteV01|" + note + "|" + std::string(1, '\0');
  uint32_t id = 0;
  auto name = [&](const char* kind) { return test::ExchangeName("client", KServer, 812, id, kind); };

  test::TFaultScenario scenario;
  scenario.prepare = [&] {
    for (const std::string& file : peer.Names()) unlink(root("/var/run/" + file).c_str());
    endpoint->NewRequest();
    endpoint->AddArgument("SetNoteV01");
    endpoint->AddArgument(note.c_str());
  };
  scenario.run = [&] {
    MVarnixSession* session = endpoint->Send();
    id = static_cast<CVarnixFileLayer*>(endpoint)->MessageId();
    int result = session != nullptr ? 0 : -1;
    delete session;
    return result;
  };
  scenario.checkSuccess = [&](int result) {
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(peer.Exists(name("finished")));
    EXPECT_EQ(peer.Read(name("message")), bytes);
  };
  scenario.checkFault = [&](int result, bool fired, const test::TFaultCase&) {
    EXPECT_TRUE(fired);
    if (result == 0) {
      // The fault hit the marker after it was created: the message is
      // whole, and only the marker's existence counts for the reader.
      EXPECT_TRUE(peer.Exists(name("finished")));
      EXPECT_EQ(peer.Read(name("message")), bytes);
    } else {
      EXPECT_FALSE(peer.Exists(name("finished"))) << "a failed Send published its call";
    }
  };
  std::vector<std::string> log = test::RunFaultTable(scenario);
  EXPECT_GE(log.size(), 20u);
  delete endpoint;
}

}  // namespace
}  // namespace varnix

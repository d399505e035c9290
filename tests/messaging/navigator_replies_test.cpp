// The five reply shapes against replies written by an independent peer, in
// the blocking form and in the two halves, which must agree.

#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "messaging/endpoint.h"
#include "messaging/navigator_calls.h"
#include "scripted_peer.h"
#include "support/navigator_client.h"
#include "support/os_fault.h"
#include "support/temp_root.h"

namespace varnix {
namespace {

const uint32_t KProcessId = 812;

class NavigatorReplies : public ::testing::Test, protected test::NavigatorClient {
 protected:
  NavigatorReplies() : NavigatorClient(KProcessId) {}
  void SetUp() override { ASSERT_NE(endpoint, nullptr); }

  // Runs the call in both forms against the same reply: blocking as the
  // next message, send half and receive half as the one after. `call` gets
  // the form and checks result and output.
  enum TForm { EBlocking, EHalves };
  void BothForms(const std::string& reply, const std::function<void(TForm)>& call) {
    peer.Answer(lastId + 1, reply);
    peer.Answer(lastId + 2, reply);
    call(EBlocking);
    call(EHalves);
    lastId += 2;
    EXPECT_FALSE(peer.ReplyPending(lastId - 1));
    EXPECT_FALSE(peer.ReplyPending(lastId));
  }

  test::TempRoot root;
  test::ScriptedPeer peer{root, "client", KProcessId};
  uint32_t lastId = 0;
};

const char* FormName(int form) { return form == 0 ? "blocking" : "halves"; }

struct TCodeCase {
  const char* reply;
  int32_t result;
  int32_t error;
};

TEST_F(NavigatorReplies, CodeOnly) {
  const TCodeCase cases[] = {
      {"0|", 0, 0},         {"7|", 0, 7},           {"-12|", 0, -12},
      {"x|", 0, 0},         // a code that is no number reads as 0
      {"3|\n4|", 0, 3},     // only up to the first line feed
      {"0|1|", -2, -2},     {"", -2, -2},           {"0", -2, -2},  // no separator: no field
  };
  for (const TCodeCase& c : cases) {
    SCOPED_TRACE(c.reply);
    BothForms(c.reply, [&](TForm form) {
      int32_t error = 99;
      int32_t result = form == EBlocking ? ClearRouteV01(&context, &error)
                                         : ReceiveClearRouteV01(&context, SendClearRouteV01(&context), &error);
      EXPECT_EQ(result, c.result) << FormName(form);
      EXPECT_EQ(error, c.error) << FormName(form);
    });
  }
}

struct TIntegerCase {
  const char* reply;
  int32_t result;
  int32_t error;
  int32_t output;
};

TEST_F(NavigatorReplies, Integer) {
  const int32_t untouched = 1234;
  const TIntegerCase cases[] = {
      {"0|42|", 0, 0, 42},      {"3|-17|", 0, 3, -17},          {"5|", 0, 5, untouched},
      {"0|1|2|", -2, -2, untouched}, {"", -2, -2, untouched},
  };
  for (const TIntegerCase& c : cases) {
    SCOPED_TRACE(c.reply);
    BothForms(c.reply, [&](TForm form) {
      int32_t error = 99;
      int32_t output = untouched;
      int32_t result = form == EBlocking
                           ? GetCurrentStopoverV01(&context, &error, &output)
                           : ReceiveGetCurrentStopoverV01(&context, SendGetCurrentStopoverV01(&context), &error, &output);
      EXPECT_EQ(result, c.result) << FormName(form);
      EXPECT_EQ(error, c.error) << FormName(form);
      EXPECT_EQ(output, c.output) << FormName(form);
    });
  }
}

// A record pre-filled with a pattern, so that "untouched" can be checked
// byte for byte, and guard bytes behind it.
struct TGuardedGeocode {
  TGeocodeResult record;
  unsigned char guard[32];
};

TGuardedGeocode Patterned() {
  TGuardedGeocode g;
  memset(&g, 0x5A, sizeof g);
  return g;
}

bool GuardIntact(const TGuardedGeocode& g) {
  for (unsigned char b : g.guard)
    if (b != 0x5A) return false;
  return true;
}

struct TGeocodeCase {
  std::string reply;
  int32_t result;
  int32_t error;
  bool filled;
};

TEST_F(NavigatorReplies, RecordFilledOnlyByAFullReply) {
  const TGeocodeCase cases[] = {
      {"0|1|-2|3|Main Street 5|1000 Springfield|", 0, 0, true},
      {"3|1|-2|3|Main Street 5|1000 Springfield|", 0, 3, true},  // filled whatever the code
      {"4|", 0, 4, false},
      {"0|1|-2|3|Main Street 5|", -2, -2, false},
      {"0|1|-2|3|Main Street 5|1000 Springfield|extra|", -2, -2, false},
      {"", -2, -2, false},
  };
  for (const TGeocodeCase& c : cases) {
    SCOPED_TRACE(c.reply);
    BothForms(c.reply, [&](TForm form) {
      int32_t error = 99;
      TGuardedGeocode g = Patterned();
      const TGuardedGeocode before = g;
      int32_t result =
          form == EBlocking
              ? GeocodeV01(&context, &error, &g.record, "Springfield", "Main Street", "5")
              : ReceiveGeocodeV01(&context, SendGeocodeV01(&context, "Springfield", "Main Street", "5"), &error,
                                  &g.record);
      EXPECT_EQ(result, c.result) << FormName(form);
      EXPECT_EQ(error, c.error) << FormName(form);
      if (c.filled) {
        EXPECT_EQ(g.record.integer1, 1);
        EXPECT_EQ(g.record.integer2, -2);
        EXPECT_EQ(g.record.integer3, 3);
        EXPECT_STREQ(g.record.text1, "Main Street 5");
        EXPECT_STREQ(g.record.text2, "1000 Springfield");
      } else {
        EXPECT_EQ(memcmp(&g, &before, sizeof g), 0) << FormName(form) << ": record touched";
      }
      EXPECT_TRUE(GuardIntact(g));
    });
  }
}

TEST_F(NavigatorReplies, RouteInfoNeedsAllFourteenFields) {
  std::string full = "0|";
  for (int i = 1; i <= 13; ++i) full += std::to_string(i * 100 - 700) + "|";
  peer.Answer(1, full);
  TRouteInfo info;
  int32_t error = 99;
  ASSERT_EQ(GetRouteInfoV01(&context, &error, &info), 0);
  EXPECT_EQ(error, 0);
  const int32_t* values = &info.integer1;
  for (int i = 0; i < 13; ++i) EXPECT_EQ(values[i], (i + 1) * 100 - 700) << "integer " << i + 1;

  std::string shortReply = full.substr(0, full.rfind('|', full.size() - 2) + 1);  // 13 fields
  peer.Answer(2, shortReply);
  EXPECT_EQ(GetRouteInfoV01(&context, &error, &info), -2);
  EXPECT_EQ(error, -2);
}

// Texts are cut to their field and terminated; nothing after a field moves.
TEST_F(NavigatorReplies, OverlongTextsAreCutToTheirField) {
  struct TLengthCase {
    size_t length;
    size_t kept;
  };
  const TLengthCase lengths[] = {{126, 126}, {127, 127}, {128, 127}, {300, 127}, {5000, 127}};
  for (const TLengthCase& l : lengths) {
    SCOPED_TRACE(l.length);
    std::string text1(l.length, 'a'), text2(l.length, 'b');
    BothForms("0|7|8|9|" + text1 + "|" + text2 + "|", [&](TForm form) {
      int32_t error = 99;
      TGuardedGeocode g = Patterned();
      int32_t result = form == EBlocking
                           ? GeocodeV01(&context, &error, &g.record, "", "", "")
                           : ReceiveGeocodeV01(&context, SendGeocodeV01(&context, "", "", ""), &error, &g.record);
      EXPECT_EQ(result, 0);
      EXPECT_EQ(error, 0);
      EXPECT_EQ(g.record.integer1, 7);
      EXPECT_EQ(g.record.integer3, 9);
      EXPECT_EQ(std::string(g.record.text1), std::string(l.kept, 'a'));
      EXPECT_EQ(std::string(g.record.text2), std::string(l.kept, 'b'));
      EXPECT_TRUE(GuardIntact(g));
    });
  }
}

TEST_F(NavigatorReplies, VersionTextIsCutToSixteenBytes) {
  peer.Answer(1, "0|12345678901234567890|9|");
  TVersionInfo version;
  memset(&version, 0x5A, sizeof version);
  int32_t error = 99;
  ASSERT_EQ(GetApplicationVersionV01(&context, &error, &version), 0);
  EXPECT_STREQ(version.text, "123456789012345");
  EXPECT_EQ(version.number, 9);
}

TCoordinatePair* const KStale = reinterpret_cast<TCoordinatePair*>(0x10);

struct TCoordinateCase {
  const char* reply;
  int32_t result;
  int32_t error;
  int32_t count;
  std::vector<std::pair<int32_t, int32_t>> pairs;
};

TEST_F(NavigatorReplies, CoordinateList) {
  const TCoordinateCase cases[] = {
      {"0|2|10|20|-30|40|", 0, 0, 2, {{10, 20}, {-30, 40}}},
      {"0|3|1|2|3|4|", 0, 0, 2, {{1, 2}, {3, 4}}},        // cut to the pairs present
      {"0|3|1|2|3|4|5|", 0, 0, 2, {{1, 2}, {3, 4}}},      // a lone last field is no pair
      {"0|1|7|8|9|10|", 0, 0, 1, {{7, 8}}},               // only as many as counted
      {"0|2147483647|1|2|", 0, 0, 1, {{1, 2}}},           // twice the count does not wrap
      {"0|0|", -5, -5, 0, {}},
      {"0|0|1|2|", -5, -5, 0, {}},
      {"0|-4|1|2|", -5, -5, 0, {}},
      {"0|2|", -5, -5, 0, {}},
      {"6|1|1|2|", 0, 6, -1, {}},
      {"0|", -2, -2, -1, {}},  // the code alone is not a coordinate list
      {"6|", -2, -2, -1, {}},
      {"", -2, -2, -1, {}},
  };
  for (const TCoordinateCase& c : cases) {
    SCOPED_TRACE(c.reply);
    BothForms(c.reply, [&](TForm form) {
      int32_t error = 99;
      TRouteCoordinates route{99, KStale};
      int32_t result = form == EBlocking ? GetRouteCoordinatesV01(&context, &error, &route)
                                         : ReceiveGetRouteCoordinatesV01(
                                               &context, SendGetRouteCoordinatesV01(&context), &error, &route);
      EXPECT_EQ(result, c.result) << FormName(form);
      EXPECT_EQ(error, c.error) << FormName(form);
      EXPECT_EQ(route.count, c.count) << FormName(form);
      if (c.pairs.empty()) {
        EXPECT_EQ(route.items, nullptr) << FormName(form);
      } else {
        ASSERT_NE(route.items, nullptr);
        for (size_t i = 0; i < c.pairs.size(); ++i) {
          EXPECT_EQ(route.items[i].first, c.pairs[i].first) << i;
          EXPECT_EQ(route.items[i].second, c.pairs[i].second) << i;
        }
      }
      FreeMemory(&context, route.items);
    });
  }
}

char** const KStaleTexts = reinterpret_cast<char**>(0x10);

struct TTextCase {
  const char* reply;
  int32_t result;
  int32_t error;
  int32_t count;
  std::vector<std::string> texts;
};

void ReleaseTexts(TCallContext* context, TCustomUIResult& list) {
  for (int32_t i = 0; list.items != nullptr && i < list.count; ++i) FreeMemory(context, list.items[i]);
  FreeMemory(context, list.items);
}

TEST_F(NavigatorReplies, TextList) {
  const TTextCase cases[] = {
      {"0|2|alpha|beta|", 0, 0, 2, {"alpha", "beta"}},
      {"0|2|a||", 0, 0, 2, {"a", ""}},
      {"0|1|x|y|", 0, 0, 1, {"x"}},
      {"0|", 0, 0, -1, {}},  // the code alone is accepted
      {"-9|", 0, -9, -1, {}},
      {"-9|2|a|b|", 0, -9, -1, {}},
      {"0|0|", 0, -5, 0, {}},
      {"0|-1|a|", 0, -5, 0, {}},
      {"0|3|a|b|", 0, -5, 0, {}},           // too few texts: nothing kept
      {"0|2147483647|a|", 0, -5, 0, {}},    // a count no array could hold
      {"0|536870912|a|", 0, -5, 0, {}},     // 2^29 pointers: more than 32 bits of bytes
      {"", -2, -2, -1, {}},
  };
  for (const TTextCase& c : cases) {
    SCOPED_TRACE(c.reply);
    BothForms(c.reply, [&](TForm form) {
      int32_t error = 99;
      TCustomUIResult list{99, KStaleTexts};
      int32_t result = form == EBlocking ? GetResultFromCustomUIV01(&context, &error, &list)
                                         : ReceiveGetResultFromCustomUIV01(
                                               &context, SendGetResultFromCustomUIV01(&context), &error, &list);
      EXPECT_EQ(result, c.result) << FormName(form);
      EXPECT_EQ(error, c.error) << FormName(form);
      EXPECT_EQ(list.count, c.count) << FormName(form);
      if (c.texts.empty()) {
        EXPECT_EQ(list.items, nullptr) << FormName(form);
      } else {
        ASSERT_NE(list.items, nullptr);
        for (size_t i = 0; i < c.texts.size(); ++i) EXPECT_EQ(std::string(list.items[i]), c.texts[i]) << i;
        ReleaseTexts(&context, list);
      }
    });
  }
}

// The send fails (no run-time directory): the blocking form leaves a list
// record as it was; a receive half given no session clears it.
TEST_F(NavigatorReplies, FailedSendAndNullSession) {
  ASSERT_EQ(::rmdir(root("/var/run").c_str()), 0);
  int32_t error = 99;
  TRouteCoordinates route{99, KStale};
  EXPECT_EQ(GetRouteCoordinatesV01(&context, &error, &route), -1);
  EXPECT_EQ(error, -1);
  EXPECT_EQ(route.count, 99);
  EXPECT_EQ(route.items, KStale);

  TCustomUIResult list{99, KStaleTexts};
  error = 99;
  EXPECT_EQ(GetResultFromCustomUIV01(&context, &error, &list), -1);
  EXPECT_EQ(error, -1);
  EXPECT_EQ(list.count, 99);

  EXPECT_EQ(SendGetRouteCoordinatesV01(&context), nullptr);
  error = 99;
  EXPECT_EQ(ReceiveGetRouteCoordinatesV01(&context, nullptr, &error, &route), -1);
  EXPECT_EQ(error, -1);
  EXPECT_EQ(route.count, -1);
  EXPECT_EQ(route.items, nullptr);
  error = 99;
  EXPECT_EQ(ReceiveGetResultFromCustomUIV01(&context, nullptr, &error, &list), -1);
  EXPECT_EQ(list.count, -1);
  EXPECT_EQ(list.items, nullptr);
  error = 99;
  EXPECT_EQ(ReceiveClearRouteV01(&context, nullptr, &error), -1);
  EXPECT_EQ(error, -1);
  int32_t stopover = 5;
  error = 99;
  EXPECT_EQ(GetCurrentStopoverV01(&context, &error, &stopover), -1);
  EXPECT_EQ(error, -1);
  EXPECT_EQ(stopover, 5);
}

TEST_F(NavigatorReplies, NoEndpointSendsNothing) {
  TCallContext empty{};
  int32_t error = 99;
  EXPECT_EQ(SendClearRouteV01(&empty), nullptr);
  EXPECT_EQ(FlashMessageV01(&empty, &error, "hello", 3), -1);
  EXPECT_EQ(error, -1);
  EXPECT_EQ(SendClearRouteV01(nullptr), nullptr);
}

// A null text is sent as an empty field rather than read through.
TEST_F(NavigatorReplies, NullTextTravelsAsEmptyField) {
  peer.Answer(1, "0|");
  int32_t error = 99;
  EXPECT_EQ(FlashMessageV01(&context, &error, nullptr, 5), 0);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(peer.Request(1), std::string("FlashMessageV01||5|\0", 20));
}

// A field that cannot be added (no memory for a larger buffer) spoils the
// request: nothing is written, rather than a request with a field missing.
TEST_F(NavigatorReplies, RequestWithoutMemoryIsNotSent) {
  std::string longText(3000, 'm');
  test::OsFaultGuard guard;
  test::FailCall("Malloc", 1, ENOMEM, test::EFailFromThenOn);
  test::FailCall("Realloc", 1, ENOMEM, test::EFailFromThenOn);
  int32_t error = 99;
  EXPECT_EQ(FlashMessageV01(&context, &error, longText.c_str(), 1), -1);
  EXPECT_EQ(error, -1);
  EXPECT_GE(test::FaultsFired("Malloc") + test::FaultsFired("Realloc"), 1);
  EXPECT_FALSE(peer.RequestSent(1));
  EXPECT_EQ(peer.Request(1), "");
}

struct TAllocationCase {
  int failingMalloc;  // counted from the start of the receive half
  int32_t count;
};

// The array of a text list cannot be had: count kept, items null, -5. A
// text cannot be copied: like a missing text, everything released.
TEST_F(NavigatorReplies, TextListWithoutMemory) {
  const TAllocationCase cases[] = {{1, 3}, {2, 0}, {3, 0}, {4, 0}};
  uint32_t id = 0;
  for (const TAllocationCase& c : cases) {
    SCOPED_TRACE(c.failingMalloc);
    peer.Answer(++id, "0|3|one|two|three|");
    MVarnixSession* session = SendGetResultFromCustomUIV01(&context);
    ASSERT_NE(session, nullptr);
    test::OsFaultGuard guard;
    test::FailCall("Malloc", c.failingMalloc, ENOMEM);
    TCustomUIResult list{99, KStaleTexts};
    int32_t error = 99;
    EXPECT_EQ(ReceiveGetResultFromCustomUIV01(&context, session, &error, &list), 0);
    EXPECT_EQ(test::FaultsFired("Malloc"), 1);
    EXPECT_EQ(error, -5);
    EXPECT_EQ(list.count, c.count);
    EXPECT_EQ(list.items, nullptr);
  }
}

TEST_F(NavigatorReplies, CoordinateListWithoutMemory) {
  peer.Answer(1, "0|2|1|2|3|4|");
  MVarnixSession* session = SendGetRouteCoordinatesV01(&context);
  ASSERT_NE(session, nullptr);
  test::OsFaultGuard guard;
  test::FailCall("Malloc", 1, ENOMEM);
  TRouteCoordinates route{99, KStale};
  int32_t error = 99;
  EXPECT_EQ(ReceiveGetRouteCoordinatesV01(&context, session, &error, &route), 0);
  EXPECT_EQ(test::FaultsFired("Malloc"), 1);
  EXPECT_EQ(error, -5);
  EXPECT_EQ(route.count, 2);
  EXPECT_EQ(route.items, nullptr);
}

// Several calls outstanding on one endpoint, received in another order.
TEST_F(NavigatorReplies, HalvesReceivedOutOfOrder) {
  peer.Answer(1, "0|11|");
  peer.Answer(2, "0|1|5|6|");
  MVarnixSession* first = SendGetCurrentStopoverV01(&context);
  MVarnixSession* second = SendGetRouteCoordinatesV01(&context);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  TRouteCoordinates route{};
  int32_t error = 99;
  EXPECT_EQ(ReceiveGetRouteCoordinatesV01(&context, second, &error, &route), 0);
  ASSERT_EQ(route.count, 1);
  EXPECT_EQ(route.items[0].second, 6);
  FreeMemory(&context, route.items);
  int32_t stopover = 0;
  EXPECT_EQ(ReceiveGetCurrentStopoverV01(&context, first, &error, &stopover), 0);
  EXPECT_EQ(stopover, 11);
}

TEST(NavigatorLibrary, SdkVersion) {
  TVersionInfo version;
  memset(&version, 0x5A, sizeof version);
  int32_t error = 99;
  EXPECT_EQ(GetSdkVersion(nullptr, &error, &version), 0);
  EXPECT_EQ(error, 0);
  EXPECT_STREQ(version.text, "6.0");
  EXPECT_EQ(version.number, 206);
}

TEST(NavigatorLibrary, NavigatorCountsAsRunning) {
  int32_t error = 99;
  EXPECT_EQ(IsNavigatorRunning(nullptr, &error), 1);
  EXPECT_EQ(error, 0);
}

}  // namespace
}  // namespace varnix

// Every call of the catalogue: its name, request fields and reply shape as
// the library has them, checked against a list written out here; then each
// call's request bytes, in the blocking form and in the halves, and its
// acceptance of a full reply.

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/os.h"
#include "messaging/call_table.h"
#include "messaging/endpoint.h"
#include "messaging/navigator_calls.h"
#include "scripted_peer.h"
#include "support/navigator_client.h"
#include "support/temp_root.h"

namespace varnix {
namespace {

// The catalogue, written out independently of the library's table. Reply:
// "code", "integer", "coordinates", "texts", or "record:" and the record's
// field types in order.
struct TExpectedCall {
  const char* name;
  const char* request;
  const char* reply;
};

const TExpectedCall KExpected[] = {
    {"GetRouteCoordinatesV01", "", "coordinates"},
    {"StopApplicationV01", "", "code"},
    {"GetResultFromCustomUIV01", "", "texts"},
    {"GetApplicationVersionV01", "", "record:ti"},
    {"FlashMessageV01", "ti", "code"},
    {"GetDataSetInfoV01", "", "record:ttii"},
    {"GetUniqueDeviceIdV01", "", "record:ti"},
    {"NavigateToCoordinatesV01", "iit", "code"},
    {"NavigateToFavoriteV01", "i", "code"},
    {"NavigateToAddressV01", "tttt", "code"},
    {"NavigateToPostalCodeV01", "ttt", "code"},
    {"ShowAddressOnMapV01", "tttt", "code"},
    {"ShowPostalCodeOnMapV01", "ttt", "code"},
    {"ShowCoordinatesOnMapV01", "ii", "code"},
    {"ShowRectangleOnMapV01", "iiii", "code"},
    {"GetLocationInfoV01", "ii", "record:iiitii"},
    {"GetLocationInfoExV01", "ii", "record:iiitiit"},
    {"GetRouteInfoV01", "", "record:iiiiiiiiiiiii"},
    {"ChangeSettingV01", "i", "code"},
    {"SwitchMapV01", "t", "code"},
    {"SetNavigatorPropertyV01", "ii", "code"},
    {"GetCurrentPositionV01", "", "record:iiiii"},
    {"GeocodeV01", "ttt", "record:iiitt"},
    {"GeocodeExtendedV01", "tttt", "record:iiitt"},
    {"GeocodeByPostalCode", "ttt", "record:iiitt"},
    {"ClearFavoriteV01", "i", "code"},
    {"SetFavoriteV01", "ittii", "code"},
    {"GetFavoriteV01", "i", "record:ttii"},
    {"MakePoiVisibleV01", "ii", "code"},
    {"AddPoiV01", "tiitt", "code"},
    {"DeleteClosestPoiV01", "tii", "code"},
    {"DeleteAllPoiV01", "t", "code"},
    {"MakeUserPoiVisibleV01", "ti", "code"},
    {"MoveClosestPoiV01", "tiiii", "code"},
    {"BringNavigatorToForegroundV01", "", "code"},
    {"SwitchToNavigatorViewV01", "", "code"},
    {"EnableExternalGPSInputV01", "", "integer"},
    {"DisableExternalGPSInputV01", "", "code"},
    {"SetRouteSummaryVisibleV01", "i", "code"},
    {"ClearRouteV01", "", "code"},
    {"EnableRawGPSOutputV01", "t", "code"},
    {"DisableRawGPSOutputV01", "", "code"},
    {"StartCustomUIV01", "itt", "code"},
    {"StopCustomUIV01", "", "code"},
    {"SendCallToCustomUIV01", "it", "code"},
    {"SaveItineraryV01", "t", "code"},
    {"LoadItineraryV01", "t", "code"},
    {"ClearItineraryV01", "", "code"},
    {"NavigateToNextStopoverV01", "", "code"},
    {"AbortItineraryLegV01", "", "code"},
    {"GetCurrentStopoverV01", "", "integer"},
    {"UseGFFileV01", "t", "code"},
    {"EnableGFRecordV01", "ii", "code"},
    {"ShowExactDestinationV01", "i", "code"},
    {"OpenInternetConnectionV01", "", "code"},
    {"CloseInternetConnectionV01", "", "code"},
    {"GetInternetConnectionStatusV01", "", "integer"},
    {"PlaySoundFileV01", "ti", "code"},
};
const int KExpectedCount = sizeof KExpected / sizeof KExpected[0];

// Request values by position: integer field n gets KIntegers[n - 1], text
// field n KTexts[n - 1].
const int32_t KIntegers[] = {-12, 0, 2147483647, -2147483647 - 1, 7};
const char* const KTexts[] = {"alpha", "", "b c", "d|e", "\xc3\xa9t\xc3\xa9"};

// One member for every output the calls fill.
union TOutputs {
#define VARNIX_RECORD(type, fields) type as##type;
#include "messaging/navigator_records.inc"
#undef VARNIX_RECORD
  int32_t asint32_t;
  TRouteCoordinates asTRouteCoordinates;
  TCustomUIResult asTCustomUIResult;
};

// Every call's three operations, reached through their own names.
struct TInvoker {
  const char* name;
  int32_t (*blocking)(TCallContext*, int32_t*, TOutputs&);
  MVarnixSession* (*send)(TCallContext*);
  int32_t (*receive)(TCallContext*, MVarnixSession*, int32_t*, TOutputs&);
};

#define TEST_ARGUMENT(type, n) TEST_ARGUMENT_##type(n)
#define TEST_ARGUMENT_None(n)
#define TEST_ARGUMENT_Text(n) , KTexts[n - 1]
#define TEST_ARGUMENT_Integer(n) , KIntegers[n - 1]
#define TEST_OUTPUT_Code(type)
#define TEST_OUTPUT_Integer(type) , &out.as##type
#define TEST_OUTPUT_Record(type) , &out.as##type
#define TEST_OUTPUT_CoordinateList(type) , &out.as##type
#define TEST_OUTPUT_TextList(type) , &out.as##type
#define VARNIX_NAVIGATOR_CALL(name, request, shape, type, form)                                          \
  {#name,                                                                                                \
   [](TCallContext* c, int32_t* e, [[maybe_unused]] TOutputs& out) {                                     \
     return name(c, e TEST_OUTPUT_##shape(type) VARNIX_REQUEST_FIELDS(TEST_ARGUMENT, request));          \
   },                                                                                                    \
   [](TCallContext* c) { return Send##name(c VARNIX_REQUEST_FIELDS(TEST_ARGUMENT, request)); },          \
   [](TCallContext* c, MVarnixSession* s, int32_t* e, [[maybe_unused]] TOutputs& out) {                  \
     return Receive##name(c, s, e TEST_OUTPUT_##shape(type));                                            \
   }},
const TInvoker KInvokers[] = {
#include "messaging/navigator_calls.inc"
};
#undef VARNIX_NAVIGATOR_CALL

std::string FieldTypes(const TRecordLayout* layout) {
  std::string types;
  for (int32_t i = 0; layout != nullptr && i < layout->count; ++i)
    types += layout->fields[i].type == EFieldInteger ? 'i' : 't';
  return types;
}

std::string ShapeOf(const TNavigatorCall& call) {
  switch (call.shape) {
    case EReplyCode:
      return "code";
    case EReplyInteger:
      return "integer";
    case EReplyCoordinateList:
      return "coordinates";
    case EReplyTextList:
      return "texts";
    case EReplyRecord:
      return "record:" + FieldTypes(call.layout);
  }
  return "?";
}

TEST(NavigatorCatalogue, HoldsEveryCallInOrder) {
  ASSERT_EQ(KNavigatorCallCount, 58);
  ASSERT_EQ(KExpectedCount, 58);
  for (int i = 0; i < KNavigatorCallCount; ++i) {
    const TNavigatorCall& call = KNavigatorCalls[i];
    SCOPED_TRACE(KExpected[i].name);
    EXPECT_STREQ(call.name, KExpected[i].name);
    EXPECT_STREQ(call.request, KExpected[i].request);
    EXPECT_EQ(ShapeOf(call), KExpected[i].reply);
    EXPECT_STREQ(KInvokers[i].name, call.name);
    EXPECT_EQ(FindNavigatorCall(KExpected[i].name), &call);
  }
  EXPECT_EQ(FindNavigatorCall("GeocodeByPostalCodeV01"), nullptr);
  EXPECT_EQ(FindNavigatorCall("getroutecoordinatesv01"), nullptr);
  EXPECT_EQ(FindNavigatorCall(""), nullptr);
}

struct TTextField {
  const TRecordLayout* layout;
  const char* field;
  uint32_t capacity;
};

TEST(NavigatorCatalogue, TextCapacities) {
  const TTextField fields[] = {
      {&TRecordTraits<TVersionInfo>::KLayout, "text", 16},
      {&TRecordTraits<TDataSetInfo>::KLayout, "text1", 128},
      {&TRecordTraits<TDataSetInfo>::KLayout, "text2", 128},
      {&TRecordTraits<TUniqueDeviceId>::KLayout, "text", 32},
      {&TRecordTraits<TLocationInfo>::KLayout, "text1", 128},
      {&TRecordTraits<TLocationInfoEx>::KLayout, "text1", 128},
      {&TRecordTraits<TLocationInfoEx>::KLayout, "text2", 128},
      {&TRecordTraits<TGeocodeResult>::KLayout, "text1", 128},
      {&TRecordTraits<TGeocodeResult>::KLayout, "text2", 128},
      {&TRecordTraits<TFavorite>::KLayout, "text1", 64},
      {&TRecordTraits<TFavorite>::KLayout, "text2", 128},
  };
  for (const TTextField& f : fields) {
    SCOPED_TRACE(std::string(f.layout->name) + "." + f.field);
    bool found = false;
    for (int32_t i = 0; i < f.layout->count; ++i) {
      const TRecordField& field = f.layout->fields[i];
      if (strcmp(field.name, f.field) != 0) continue;
      found = true;
      EXPECT_EQ(field.type, EFieldText);
      EXPECT_EQ(field.capacity, f.capacity);
    }
    EXPECT_TRUE(found);
  }
  EXPECT_EQ(sizeof(TVersionInfo::text), 16u);
  EXPECT_EQ(sizeof(TFavorite::text1), 64u);
  EXPECT_EQ(offsetof(TLocationInfo, text1), 12u);
  EXPECT_EQ(offsetof(TLocationInfo, integer4), 140u);
}

int RecordSleep(useconds_t) { return 0; }

class EveryCall : public ::testing::TestWithParam<int>, protected test::NavigatorClient {
 protected:
  void SetUp() override {
    os::gOsCurrent.Usleep = &RecordSleep;  // the blocking StopApplicationV01 waits
    ASSERT_NE(endpoint, nullptr);
  }
  void TearDown() override { os::RestoreOsDefaults(); }

  test::TempRoot root;
  test::ScriptedPeer peer{root, "client", 812};
};

std::string ExpectedRequest(const TExpectedCall& call) {
  std::string bytes = std::string(call.name) + "|";
  for (size_t i = 0; call.request[i] != 0; ++i)
    bytes += (call.request[i] == 'i' ? std::to_string(KIntegers[i]) : std::string(KTexts[i])) + "|";
  return bytes + std::string(1, '\0');
}

// A full reply with code 0, and the values it carries in record order.
std::string RecordValue(char type, size_t j) {
  return type == 'i' ? std::to_string(j % 2 == 1 ? -1000 * static_cast<int>(j) - 1 : 1000 * static_cast<int>(j) + 1)
                     : "field " + std::to_string(j);
}

std::string FullReply(const std::string& shape) {
  if (shape == "code") return "0|";
  if (shape == "integer") return "0|-77|";
  if (shape == "coordinates") return "0|2|10|-20|2147483647|-2147483648|";
  if (shape == "texts") return "0|2|first text||";
  std::string reply = "0|";
  std::string types = shape.substr(7);
  for (size_t j = 0; j < types.size(); ++j) reply += RecordValue(types[j], j + 1) + "|";
  return reply;
}

void ExpectFilled(const std::string& shape, const TNavigatorCall& call, TOutputs& out, TCallContext* context) {
  if (shape == "code") return;
  if (shape == "integer") {
    EXPECT_EQ(out.asint32_t, -77);
  } else if (shape == "coordinates") {
    ASSERT_EQ(out.asTRouteCoordinates.count, 2);
    const TCoordinatePair* items = out.asTRouteCoordinates.items;
    EXPECT_EQ(items[0].first, 10);
    EXPECT_EQ(items[0].second, -20);
    EXPECT_EQ(items[1].first, 2147483647);
    EXPECT_EQ(items[1].second, -2147483647 - 1);
    FreeMemory(context, out.asTRouteCoordinates.items);
  } else if (shape == "texts") {
    ASSERT_EQ(out.asTCustomUIResult.count, 2);
    EXPECT_STREQ(out.asTCustomUIResult.items[0], "first text");
    EXPECT_STREQ(out.asTCustomUIResult.items[1], "");
    FreeMemory(context, out.asTCustomUIResult.items[0]);
    FreeMemory(context, out.asTCustomUIResult.items[1]);
    FreeMemory(context, out.asTCustomUIResult.items);
  } else {
    const unsigned char* record = reinterpret_cast<const unsigned char*>(&out);
    for (int32_t j = 0; j < call.layout->count; ++j) {
      const TRecordField& field = call.layout->fields[j];
      SCOPED_TRACE(field.name);
      std::string expected = RecordValue(field.type == EFieldInteger ? 'i' : 't', static_cast<size_t>(j) + 1);
      if (field.type == EFieldInteger) {
        int32_t value;
        memcpy(&value, record + field.offset, sizeof value);
        EXPECT_EQ(std::to_string(value), expected);
      } else {
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(record + field.offset)), expected);
      }
    }
  }
}

TEST_P(EveryCall, SendsItsRequestAndAcceptsItsFullReply) {
  const int i = GetParam();
  const TExpectedCall& expected = KExpected[i];
  const TNavigatorCall& call = KNavigatorCalls[i];
  const TInvoker& invoker = KInvokers[i];
  ASSERT_STREQ(call.name, expected.name);
  const std::string reply = FullReply(expected.reply);

  peer.Answer(1, reply);
  TOutputs out;
  memset(&out, 0, sizeof out);
  int32_t error = 99;
  EXPECT_EQ(invoker.blocking(&context, &error, out), 0);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(peer.Request(1), ExpectedRequest(expected));
  EXPECT_FALSE(peer.ReplyPending(1));
  ExpectFilled(expected.reply, call, out, &context);

  MVarnixSession* session = invoker.send(&context);
  ASSERT_NE(session, nullptr);
  EXPECT_TRUE(peer.RequestSent(2));
  EXPECT_EQ(peer.Request(2), ExpectedRequest(expected));
  peer.Answer(2, reply);
  memset(&out, 0, sizeof out);
  error = 99;
  EXPECT_EQ(invoker.receive(&context, session, &error, out), 0);
  EXPECT_EQ(error, 0);
  EXPECT_FALSE(peer.ReplyPending(2));
  ExpectFilled(expected.reply, call, out, &context);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, EveryCall, ::testing::Range(0, KExpectedCount),
                         [](const ::testing::TestParamInfo<int>& param) { return KExpected[param.param].name; });

}  // namespace
}  // namespace varnix

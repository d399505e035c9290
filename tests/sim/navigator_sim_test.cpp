// The simulated navigator and the reply script of varnix-navsim, without
// files or processes.

#include "navigator_sim.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/format.h"
#include "messaging/call_table.h"
#include "reply_script.h"

namespace varnix {
namespace sim {
namespace {

typedef std::vector<std::string> TFields;

class NavigatorSim : public ::testing::Test {
 protected:
  TFields Ask(const TFields& request, double now = 0) {
    bool stop = false;
    TFields reply = navigator.Answer(request, now, &stop);
    EXPECT_FALSE(stop) << request[0];
    return reply;
  }
  int32_t CodeOf(const TFields& request, double now = 0) { return TextToInt(Ask(request, now)[0].c_str()); }
  TGeoPoint PositionAt(double now) {
    TFields reply = Ask({"GetCurrentPositionV01"}, now);
    return {FromMicrodegrees(TextToInt(reply[1].c_str())), FromMicrodegrees(TextToInt(reply[2].c_str()))};
  }

  CNavigatorSim navigator{"SIM-TEST"};
};

// Request fields the simulation accepts, by type.
TFields RequestFor(const TNavigatorCall& call) {
  const char* integers[] = {"52090000", "5120000", "52100000", "5130000", "1"};
  const char* texts[] = {"Simcity", "Main Street", "5", "NL", "note"};
  TFields request{call.name};
  for (size_t n = 0; call.request[n] != 0; ++n) request.push_back(call.request[n] == 'i' ? integers[n] : texts[n]);
  return request;
}

bool IsInteger(const std::string& text) {
  size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
  return text.size() > start && text.find_first_not_of("0123456789", start) == std::string::npos;
}

TEST_F(NavigatorSim, EveryCallIsAnsweredInItsShape) {
  for (int i = 0; i < KNavigatorCallCount; ++i) {
    const TNavigatorCall& call = KNavigatorCalls[i];
    SCOPED_TRACE(call.name);
    bool stop = false;
    TFields reply = navigator.Answer(RequestFor(call), 1.0, &stop);
    EXPECT_EQ(stop, std::string(call.name) == "StopApplicationV01");
    ASSERT_FALSE(reply.empty());
    EXPECT_TRUE(IsInteger(reply[0])) << reply[0];
    for (const std::string& field : reply) EXPECT_EQ(field.find_first_of("|\n"), std::string::npos) << field;
    size_t n = reply.size();
    switch (call.shape) {
      case EReplyCode:
        EXPECT_EQ(n, 1u);
        break;
      case EReplyInteger:
        EXPECT_TRUE(n == 1 || n == 2) << n;
        if (n == 2) {
          EXPECT_TRUE(IsInteger(reply[1]));
        }
        break;
      case EReplyRecord:
        EXPECT_TRUE(n == 1 || n == static_cast<size_t>(call.layout->count) + 1) << n;
        for (int32_t f = 0; n > 1 && f < call.layout->count; ++f) {
          const TRecordField& field = call.layout->fields[f];
          const std::string& value = reply[static_cast<size_t>(f) + 1];
          if (field.type == EFieldInteger) {
            EXPECT_TRUE(IsInteger(value)) << field.name << " " << value;
          } else {
            EXPECT_LT(value.size(), field.capacity) << field.name;
          }
        }
        break;
      case EReplyCoordinateList:
        ASSERT_GE(n, 2u);
        EXPECT_EQ(n, 2 + 2 * static_cast<size_t>(TextToInt(reply[1].c_str())));
        break;
      case EReplyTextList:
        EXPECT_TRUE(n == 1 || n == 2 + static_cast<size_t>(TextToInt(reply[1].c_str()))) << n;
        break;
    }
  }
}

TEST_F(NavigatorSim, RequestsThatDoNotFit) {
  EXPECT_EQ(Ask({"GetFavoriteV01"}), (TFields{"-3"}));
  EXPECT_EQ(Ask({"GetFavoriteV01", "1", "2"}), (TFields{"-3"}));
  EXPECT_EQ(Ask({"GetRouteCoordinatesV01", "extra"}), (TFields{"-3", "0"}));
  EXPECT_EQ(Ask({"GeocodeByPostalCodeV01", "a", "b", "c"}), (TFields{"-1"}));
  EXPECT_EQ(Ask({"getcurrentpositionv01"}), (TFields{"-1"}));
  EXPECT_EQ(Ask({}), (TFields{"-1"}));
  EXPECT_EQ(Ask({"SetFavoriteV01", "100", "a", "b", "1", "2"}), (TFields{"-3"}));
  EXPECT_EQ(Ask({"GetFavoriteV01", "-1"}), (TFields{"-3"}));
}

TEST_F(NavigatorSim, TheCarDrivesItsLoopAt50KmH) {
  TGeoPoint start = PositionAt(0);
  TGeoPoint later = PositionAt(10);
  EXPECT_NEAR(DistanceMetres(start, later), 10 * 50 / 3.6, 1.0);
  TFields position = Ask({"GetCurrentPositionV01"}, 10);
  EXPECT_EQ(position[3], "50");  // km/h
  EXPECT_EQ(position[4], "0");   // the first leg runs north
  TFields before = Ask({"GetRouteInfoV01"}, 0);
  TFields after = Ask({"GetRouteInfoV01"}, 10);
  EXPECT_NEAR(TextToInt(before[1].c_str()) - TextToInt(after[1].c_str()), 139, 1);
  EXPECT_EQ(after[13], "1");  // the loop
  // The route ahead starts where the car is.
  TFields route = Ask({"GetRouteCoordinatesV01"}, 10);
  EXPECT_EQ(route[2], position[1]);
  EXPECT_EQ(route[3], position[2]);
  // Round and round.
  double lap = TextToInt(before[1].c_str()) / (50 / 3.6);
  EXPECT_NEAR(DistanceMetres(PositionAt(0), PositionAt(lap)), 0, 2.0);
}

TEST_F(NavigatorSim, NavigateToCoordinatesAndArrive) {
  EXPECT_EQ(CodeOf({"NavigateToCoordinatesV01", "52100000", "5130000", "Office"}, 5), 0);
  TFields info = Ask({"GetRouteInfoV01"}, 5);
  EXPECT_EQ(info[5], "52100000");
  EXPECT_EQ(info[6], "5130000");
  EXPECT_EQ(info[13], "2");
  EXPECT_EQ(Ask({"GetCurrentStopoverV01"}, 5), (TFields{"0", "1"}));
  TFields arrived = Ask({"GetCurrentPositionV01"}, 100000);
  EXPECT_EQ(arrived[1], "52100000");
  EXPECT_EQ(arrived[2], "5130000");
  EXPECT_EQ(arrived[3], "0");
  EXPECT_EQ(Ask({"GetRouteInfoV01"}, 100000)[1], "0");
}

TEST_F(NavigatorSim, ClearRouteStopsTheCar) {
  EXPECT_EQ(CodeOf({"ClearRouteV01"}, 20), 0);
  TGeoPoint stopped = PositionAt(20);
  EXPECT_NEAR(DistanceMetres(stopped, PositionAt(500)), 0, 0.01);
  EXPECT_EQ(Ask({"GetCurrentPositionV01"}, 500)[3], "0");
  EXPECT_EQ(Ask({"GetRouteInfoV01"}, 500), (TFields{"-4"}));
  EXPECT_EQ(Ask({"GetRouteCoordinatesV01"}, 500), (TFields{"-4", "0"}));
}

TEST_F(NavigatorSim, Favourites) {
  EXPECT_EQ(Ask({"GetFavoriteV01", "7"}), (TFields{"-4"}));
  EXPECT_EQ(CodeOf({"SetFavoriteV01", "7", "Home", "Main Street 1", "52100000", "-5130000"}), 0);
  EXPECT_EQ(Ask({"GetFavoriteV01", "7"}), (TFields{"0", "Home", "Main Street 1", "52100000", "-5130000"}));
  EXPECT_EQ(CodeOf({"NavigateToFavoriteV01", "7"}), 0);
  EXPECT_EQ(Ask({"GetRouteInfoV01"})[5], "52100000");
  EXPECT_EQ(CodeOf({"ClearFavoriteV01", "7"}), 0);
  EXPECT_EQ(CodeOf({"ClearFavoriteV01", "7"}), -4);
  EXPECT_EQ(Ask({"GetFavoriteV01", "7"}), (TFields{"-4"}));
  EXPECT_EQ(CodeOf({"NavigateToFavoriteV01", "7"}), -4);
}

TEST_F(NavigatorSim, UserPointsOfInterest) {
  EXPECT_EQ(CodeOf({"DeleteClosestPoiV01", "fuel", "0", "0"}), -4);
  EXPECT_EQ(CodeOf({"MakeUserPoiVisibleV01", "fuel", "0"}), -4);
  EXPECT_EQ(CodeOf({"AddPoiV01", "", "1", "1", "x", "y"}), -3);
  EXPECT_EQ(CodeOf({"AddPoiV01", "fuel", "52000000", "5000000", "North", ""}), 0);
  EXPECT_EQ(CodeOf({"AddPoiV01", "fuel", "52100000", "5100000", "South", ""}), 0);
  EXPECT_EQ(CodeOf({"AddPoiV01", "food", "52100000", "5100000", "Cafe", ""}), 0);
  EXPECT_EQ(CodeOf({"MakeUserPoiVisibleV01", "fuel", "0"}), 0);
  EXPECT_EQ(CodeOf({"MoveClosestPoiV01", "fuel", "52000100", "5000100", "52300000", "5300000"}), 0);
  EXPECT_EQ(CodeOf({"DeleteClosestPoiV01", "fuel", "52290000", "5290000"}), 0);  // the moved one
  EXPECT_EQ(CodeOf({"DeleteClosestPoiV01", "fuel", "52290000", "5290000"}), 0);  // then the other
  EXPECT_EQ(CodeOf({"DeleteClosestPoiV01", "fuel", "52290000", "5290000"}), -4);
  EXPECT_EQ(CodeOf({"DeleteAllPoiV01", "food"}), 0);
  EXPECT_EQ(CodeOf({"DeleteAllPoiV01", "food"}), -4);
  EXPECT_EQ(CodeOf({"MoveClosestPoiV01", "food", "0", "0", "1", "1"}), -4);
}

TEST_F(NavigatorSim, Itinerary) {
  EXPECT_EQ(Ask({"GetCurrentStopoverV01"}), (TFields{"-4"}));
  EXPECT_EQ(CodeOf({"SaveItineraryV01", "trip"}), -4);  // nothing to save
  EXPECT_EQ(CodeOf({"NavigateToNextStopoverV01"}), -4);
  EXPECT_EQ(CodeOf({"LoadItineraryV01", "nowhere"}), -4);
  EXPECT_EQ(CodeOf({"LoadItineraryV01", "demo"}), 0);
  EXPECT_EQ(Ask({"GetCurrentStopoverV01"}), (TFields{"0", "1"}));
  EXPECT_EQ(Ask({"GetRouteInfoV01"})[9], "3");  // stopovers
  EXPECT_EQ(CodeOf({"NavigateToNextStopoverV01"}), 0);
  EXPECT_EQ(Ask({"GetCurrentStopoverV01"}), (TFields{"0", "2"}));
  EXPECT_EQ(CodeOf({"SaveItineraryV01", "mine"}), 0);
  EXPECT_EQ(CodeOf({"AbortItineraryLegV01"}), 0);  // on to the third
  EXPECT_EQ(Ask({"GetCurrentStopoverV01"}), (TFields{"0", "3"}));
  EXPECT_EQ(CodeOf({"NavigateToNextStopoverV01"}), -4);
  EXPECT_EQ(CodeOf({"AbortItineraryLegV01"}), 0);  // the last leg: the trip ends
  EXPECT_EQ(Ask({"GetCurrentStopoverV01"}), (TFields{"-4"}));
  EXPECT_EQ(CodeOf({"LoadItineraryV01", "mine"}), 0);
  EXPECT_EQ(Ask({"GetRouteInfoV01"})[9], "3");
  EXPECT_EQ(CodeOf({"ClearItineraryV01"}), 0);
  EXPECT_EQ(Ask({"GetCurrentStopoverV01"}), (TFields{"-4"}));
  EXPECT_EQ(CodeOf({"SaveItineraryV01", ""}), -3);
}

TEST_F(NavigatorSim, CustomUIAnswersAfterTwoBusyPolls) {
  EXPECT_EQ(CodeOf({"SendCallToCustomUIV01", "5", "hi"}), -4);  // not started
  EXPECT_EQ(Ask({"GetResultFromCustomUIV01"}), (TFields{"-4"}));
  EXPECT_EQ(CodeOf({"StartCustomUIV01", "1", "app", "x"}), 0);
  EXPECT_EQ(CodeOf({"SendCallToCustomUIV01", "5", "hi"}), 0);
  EXPECT_EQ(Ask({"GetResultFromCustomUIV01"}), (TFields{"-9"}));
  EXPECT_EQ(Ask({"GetResultFromCustomUIV01"}), (TFields{"-9"}));
  EXPECT_EQ(Ask({"GetResultFromCustomUIV01"}), (TFields{"0", "3", "5", "hi", "done"}));
  EXPECT_EQ(Ask({"GetResultFromCustomUIV01"}), (TFields{"-4"}));
  EXPECT_EQ(CodeOf({"StopCustomUIV01"}), 0);
  EXPECT_EQ(CodeOf({"SendCallToCustomUIV01", "6", "again"}), -4);
}

TEST_F(NavigatorSim, TextsFitTheClientsRecords) {
  std::string longText(300, 'x');
  TFields found = Ask({"GeocodeExtendedV01", longText, longText, "a", "b"});
  ASSERT_EQ(found.size(), 6u);
  EXPECT_EQ(found[4].size(), 127u);
  EXPECT_LT(found[5].size(), 128u);
  EXPECT_EQ(Ask({"GeocodeV01", "", "", ""}), (TFields{"-4"}));
  TFields place = Ask({"GetLocationInfoExV01", "52090000", "5120000"});
  ASSERT_EQ(place.size(), 8u);
  EXPECT_EQ(place, Ask({"GetLocationInfoExV01", "52090000", "5120000"}));  // the same place, the same answer
  EXPECT_NE(place[7].find("Simcity"), std::string::npos);
  TFields id = Ask({"GetUniqueDeviceIdV01"});
  EXPECT_EQ(id, (TFields{"0", "SIM-TEST", "1"}));
}

TEST_F(NavigatorSim, InternetConnectionAndGps) {
  EXPECT_EQ(Ask({"GetInternetConnectionStatusV01"}), (TFields{"0", "0"}));
  EXPECT_EQ(CodeOf({"OpenInternetConnectionV01"}), 0);
  EXPECT_EQ(Ask({"GetInternetConnectionStatusV01"}), (TFields{"0", "1"}));
  EXPECT_EQ(CodeOf({"CloseInternetConnectionV01"}), 0);
  EXPECT_EQ(Ask({"GetInternetConnectionStatusV01"}), (TFields{"0", "0"}));
  EXPECT_EQ(Ask({"EnableExternalGPSInputV01"}), (TFields{"0", "1"}));
  EXPECT_EQ(CodeOf({"SwitchMapV01", ""}), -3);
  EXPECT_EQ(CodeOf({"PlaySoundFileV01", "beep.wav", "80"}), 0);
}

TEST_F(NavigatorSim, StopApplicationEndsTheNavigator) {
  bool stop = false;
  EXPECT_EQ(navigator.Answer({"StopApplicationV01"}, 0, &stop), (TFields{"0"}));
  EXPECT_TRUE(stop);
}

TEST(ReplyScript, RepliesInTurnThenTheLast) {
  CReplyScript script;
  std::string problem;
  ASSERT_TRUE(script.Parse("# replies\n"
                           "ClearRouteV01 1|\n"
                           "\n"
                           "GetRouteInfoV01\t0|1\r\n"
                           "ClearRouteV01 2| with blanks |\n"
                           "GetCurrentPositionV01\n"
                           "StopApplicationV01 \n",
                           &problem))
      << problem;
  std::string reply;
  ASSERT_TRUE(script.Next("ClearRouteV01", &reply));
  EXPECT_EQ(reply, "1|");
  ASSERT_TRUE(script.Next("ClearRouteV01", &reply));
  EXPECT_EQ(reply, "2| with blanks |");
  ASSERT_TRUE(script.Next("ClearRouteV01", &reply));
  EXPECT_EQ(reply, "2| with blanks |");
  ASSERT_TRUE(script.Next("GetRouteInfoV01", &reply));
  EXPECT_EQ(reply, "0|1");
  ASSERT_TRUE(script.Next("GetCurrentPositionV01", &reply));
  EXPECT_EQ(reply, "");
  ASSERT_TRUE(script.Next("StopApplicationV01", &reply));
  EXPECT_EQ(reply, "");
  EXPECT_FALSE(script.Next("GetFavoriteV01", &reply));
}

TEST(ReplyScript, NamesOutsideTheCatalogueAreRefused) {
  for (const char* text : {"GeocodeByPostalCodeV01 0|\n", "ClearRouteV01 0|\nclearroutev01 0|\n", " ClearRouteV01 0|\n"}) {
    CReplyScript script;
    std::string problem;
    EXPECT_FALSE(script.Parse(text, &problem)) << text;
    EXPECT_NE(problem.find("line "), std::string::npos) << problem;
  }
  CReplyScript script;
  std::string problem;
  EXPECT_FALSE(script.Load("/nonexistent/script", &problem));
  EXPECT_NE(problem.find("cannot read"), std::string::npos);
}

}  // namespace
}  // namespace sim
}  // namespace varnix

#include <gtest/gtest.h>

#include "device/system_status.h"
#include "device_fakes.h"

namespace varnix {
namespace {

using test::FakeClock;
using test::FakeDevice;

const int64_t KStart = 1000000;

// A reading that converts to exactly these millivolts and milliamperes: with
// the reference at 2450 the voltage reading is the millivolts; the current
// reading is the smallest one that gives the milliamperes.
TBatteryReading ReadingFor(int millivolts, int milliamps = 0) {
  TBatteryReading reading = {static_cast<uint16_t>(millivolts), 2450, 0};
  int current = 0;
  while (942 * current / 2450 < milliamps) ++current;
  reading.current = static_cast<uint16_t>(current);
  return reading;
}

void Report(FakeDevice& device, const TBatteryReading& reading, int charging = 0) {
  device.Answers().batteryAnswer = 1;
  device.Answers().battery = reading;
  device.Answers().charging = charging;
}

TEST(Battery, FixedDeviceKeepsTheStartingEstimate) {
  FakeClock clock(KStart);
  EXPECT_EQ(GetBatteryLevel(), 40);
  EXPECT_FALSE(IsCharging());
  clock.Advance(10000);
  EXPECT_EQ(GetBatteryLevel(), 40);
  EXPECT_FALSE(IsCharging());
}

TEST(Battery, RefreshedAtMostOncePer3000Ms) {
  FakeClock clock(KStart);
  FakeDevice device;
  Report(device, ReadingFor(3800));
  GetBatteryLevel();
  EXPECT_EQ(device.Calls().batteryReads, 1);
  clock.Set(KStart + 3000);
  GetBatteryLevel();
  IsCharging();
  EXPECT_EQ(device.Calls().batteryReads, 1);
  clock.Set(KStart + 3001);
  IsCharging();
  EXPECT_EQ(device.Calls().batteryReads, 2);
}

TEST(Battery, ClockSetBackRestartsTheWindow) {
  FakeClock clock(KStart);
  FakeDevice device;
  Report(device, ReadingFor(3800));
  GetBatteryLevel();
  clock.Set(KStart - 60000);
  GetBatteryLevel();
  EXPECT_EQ(device.Calls().batteryReads, 1);
  clock.Set(KStart - 60000 + 3000);
  GetBatteryLevel();
  EXPECT_EQ(device.Calls().batteryReads, 1);
  clock.Set(KStart - 60000 + 3001);
  GetBatteryLevel();
  EXPECT_EQ(device.Calls().batteryReads, 2);
}

TEST(Battery, FirstReadingSetsTheSmoothedValueLaterOnesWeighAThird) {
  FakeClock clock(KStart);
  FakeDevice device;
  Report(device, ReadingFor(3900));
  EXPECT_EQ(GetBatteryLevel(), 78);  // 3900 mV directly
  Report(device, ReadingFor(3600));
  clock.Advance(3001);
  EXPECT_EQ(GetBatteryLevel(), 57);  // smoothed 3800 mV, not 3600 (18)
  clock.Advance(3001);
  EXPECT_EQ(GetBatteryLevel(), 42);  // smoothed 3733 mV
}

TEST(Battery, LowReferenceReadsAs350) {
  FakeClock clock(KStart);
  FakeDevice device;
  Report(device, TBatteryReading{560, 100, 0});  // 2450 * 560 / 350 = 3920 mV
  EXPECT_EQ(GetBatteryLevel(), 82);
}

TEST(Battery, ChargingStateFollowsTheLowByte) {
  FakeClock clock(KStart);
  FakeDevice device;
  device.Answers().charging = 1;
  EXPECT_TRUE(IsCharging());
  EXPECT_EQ(GetBatteryLevel(), 40) << "no reading, the level stays";
  device.Answers().charging = 0x100;
  clock.Advance(3001);
  EXPECT_FALSE(IsCharging());
  device.Answers().charging = 0x101;
  clock.Advance(3001);
  EXPECT_TRUE(IsCharging());
}

TEST(Battery, ReadingAnswerCountsByItsLowByte) {
  FakeClock clock(KStart);
  FakeDevice device;
  Report(device, ReadingFor(4000));
  device.Answers().batteryAnswer = 0x200;
  EXPECT_EQ(GetBatteryLevel(), 40);
  device.Answers().batteryAnswer = 0x201;
  clock.Advance(3001);
  EXPECT_EQ(GetBatteryLevel(), 100);
}

// Each case starts from a fresh process, so its reading is the first and
// sets the smoothed values directly.
struct TLevelCase {
  const char* name;
  int millivolts;
  int milliamps;
  bool charging;
  int level;
};

class BatteryLevel : public testing::TestWithParam<TLevelCase> {};

TEST_P(BatteryLevel, FromOneReading) {
  const TLevelCase& c = GetParam();
  FakeClock clock(KStart);
  FakeDevice device;
  Report(device, ReadingFor(c.millivolts, c.milliamps), c.charging ? 1 : 0);
  EXPECT_EQ(GetBatteryLevel(), c.level);
  EXPECT_EQ(IsCharging(), c.charging);
}

const TLevelCase KLevelCases[] = {
    // On battery: two straight pieces meeting at 3650 mV.
    {"Empty2000", 2000, 0, false, 2},  // computed -181
    {"ComputedMinus56", 3002, 0, false, 2},
    {"Floor3450", 3450, 0, false, 2},  // computed 0
    {"ComputedOne", 3458, 0, false, 2},
    {"ComputedTwo", 3466, 0, false, 2},
    {"Low3530", 3530, 0, false, 10},
    {"EndOfLowerPiece3649", 3649, 0, false, 24},
    {"Quarter3650", 3650, 0, false, 25},
    {"Upper3825", 3825, 0, false, 62},
    {"Full4000", 4000, 0, false, 100},
    {"Computed120", 4094, 0, false, 100},
    {"Above4500", 4500, 0, false, 100},
    // Charging: the current decides below 900 mA, the voltage above.
    {"Current900", 3000, 900, true, 75},
    {"Current500", 3000, 500, true, 87},
    {"Current100", 3000, 100, true, 100},
    {"CurrentZero", 3000, 0, true, 100},
    {"HighCurrentMidVoltage", 4000, 1000, true, 17},
    {"HighCurrentCappedAt75", 5000, 1000, true, 75},
    {"HighCurrentLowVoltage", 3000, 1000, true, 2},
};

INSTANTIATE_TEST_SUITE_P(Readings, BatteryLevel, testing::ValuesIn(KLevelCases),
                         [](const testing::TestParamInfo<TLevelCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace varnix

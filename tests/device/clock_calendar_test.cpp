#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/time.h>
#include <time.h>

#include "device/system_status.h"
#include "device_fakes.h"
#include "support/os_fault.h"

namespace varnix {
namespace {

using test::FakeClock;

TEST(GetTimeMs, SecondsAndMicrosecondsOfTheClock) {
  FakeClock clock(1700000000123LL);
  EXPECT_EQ(GetTimeMs(), 1700000000123LL);
  clock.Set(999);
  EXPECT_EQ(GetTimeMs(), 999);
}

TEST(GetTimeMs, FollowsTheRealClock) {
  struct timeval before;
  gettimeofday(&before, nullptr);
  int64_t ms = GetTimeMs();
  struct timeval after;
  gettimeofday(&after, nullptr);
  EXPECT_GE(ms, static_cast<int64_t>(before.tv_sec) * 1000 + before.tv_usec / 1000);
  EXPECT_LE(ms, static_cast<int64_t>(after.tv_sec) * 1000 + after.tv_usec / 1000);
}

TEST(HasTimeElapsed, LaterThanTheEndOrEarlierThanTheStart) {
  FakeClock clock(5000000);
  const int64_t now = clock.Now();
  struct {
    int64_t start, duration;
    bool elapsed;
  } cases[] = {
      {now - 10, 5, true},        {now - 10, 60000, false}, {now + 1000, 0, true},
      {now - 10, 10, false},      {now - 11, 10, true},     {now, 0, false},
      {INT64_MIN, INT64_MAX, true}, {now - 1, -5, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(HasTimeElapsed(c.start, c.duration), c.elapsed) << c.start << " + " << c.duration;
}

TEST(RandomNumber, SeedPlusClockDrivesTheGenerator) {
  FakeClock clock(0x1234567890LL);
  uint32_t low = static_cast<uint32_t>(clock.Now());
  srand(7u + low);
  int expected = rand();
  EXPECT_EQ(RandomNumber(7), expected);
  EXPECT_EQ(RandomNumber(7), expected);
  clock.Advance(1);
  srand(7u + low + 1u);
  expected = rand();
  EXPECT_EQ(RandomNumber(7), expected);
}

TEST(GetDayOfWeek, ExamplesOfTheCalendar) {
  struct {
    TDate date;
    int day;
  } cases[] = {
      {{2024, 0, 0}, 1},    // 1 January 2024, Monday
      {{2000, 1, 28}, 2},   // 29 February 2000, Tuesday
      {{1999, 11, 30}, 5},  // 31 December 1999, Friday
      {{1900, 0, 0}, 1},    // 1 January 1900, Monday
      {{2100, 11, 30}, 5},  // 31 December 2100, Friday
  };
  for (const auto& c : cases)
    EXPECT_EQ(GetDayOfWeek(c.date), c.day) << c.date.year << "-" << c.date.month << "-" << c.date.day;
}

// A 32-bit time_t (the device's own C library) reaches only 1902 to 2037;
// there the sweep covers what the reference can tell.
TEST(GetDayOfWeek, AgreesWithTheCLibraryFor1900To2100) {
  const bool wideTime = sizeof(time_t) >= 8;
  struct tm first = {};
  first.tm_year = wideTime ? 0 : 2;
  first.tm_mday = 1;
  time_t t = timegm(&first);
  const int lastYear = wideTime ? 2100 : 2037;
  int days = 0;
  for (;; t += 86400) {
    struct tm day;
    ASSERT_NE(gmtime_r(&t, &day), nullptr);
    if (day.tm_year + 1900 > lastYear) break;
    TDate date = {day.tm_year + 1900, day.tm_mon, day.tm_mday - 1};
    ASSERT_EQ(GetDayOfWeek(date), day.tm_wday) << date.year << "-" << date.month + 1 << "-" << date.day + 1;
    ++days;
  }
  EXPECT_EQ(days, wideTime ? 73414 : 49674);  // 1900-2100, or 1902-2037
}

}  // namespace
}  // namespace varnix

#include "nmea.h"

#include <gtest/gtest.h>

#include <string>

#include "drive.h"

namespace varnix {
namespace sim {
namespace {

TEST(Nmea, ChecksumOfWellKnownSentences) {
  struct TCase {
    const char* body;
    unsigned checksum;
  } cases[] = {
      {"GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", 0x47},
      {"GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W", 0x6A},
      {"", 0x00},
      {"A", 0x41},
  };
  for (const TCase& c : cases) EXPECT_EQ(NmeaChecksum(c.body), c.checksum) << c.body;
  EXPECT_EQ(NmeaSentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"),
            "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
}

TEST(Nmea, SentencesOfAFix) {
  TFix fix = {1704067200.25 + 3 * 3600 + 4 * 60 + 5, 52.5, -0.125, 27.0, 90.0, 12.0};  // 2024-01-01 03:04:05.25
  EXPECT_EQ(RmcSentence(fix), NmeaSentence("GPRMC,030405.25,A,5230.0000,N,00007.5000,W,27.0,90.0,010124,,,A"));
  EXPECT_EQ(GgaSentence(fix), NmeaSentence("GPGGA,030405.25,5230.0000,N,00007.5000,W,1,08,0.9,12.0,M,46.9,M,,"));
  fix.latitude = -33.999999999;  // minutes that would round up to 60
  EXPECT_NE(RmcSentence(fix).find(",3400.0000,S,"), std::string::npos) << RmcSentence(fix);
}

TEST(Nmea, ParseChecksTheFrameAndTheChecksum) {
  std::string body;
  EXPECT_TRUE(ParseNmeaSentence("$A*41\r\n", &body));
  EXPECT_EQ(body, "A");
  EXPECT_TRUE(ParseNmeaSentence("$A*41", &body));
  for (const char* bad : {"$A*42\r\n", "A*41\r\n", "$A41\r\n", "$A*4\r\n", "", "$*00x"})
    EXPECT_FALSE(ParseNmeaSentence(bad, &body)) << bad;
}

TEST(Drive, StaysOnTheLoopAtASteadySpeed) {
  TBounds box = DriveBounds();
  for (int second = 0; second < 2000; second += 7) {
    TFix fix = DriveAt(second, 0);
    EXPECT_GE(fix.latitude, box.south);
    EXPECT_LE(fix.latitude, box.north);
    EXPECT_GE(fix.longitude, box.west);
    EXPECT_LE(fix.longitude, box.east);
    EXPECT_GE(fix.courseDegrees, 0.0);
    EXPECT_LT(fix.courseDegrees, 360.0);
    EXPECT_EQ(fix.speedKnots, KDriveSpeedKnots);
  }
  TFix start = DriveAt(0, 0);
  TFix later = DriveAt(10, 0);  // 139 m east along the first street
  EXPECT_DOUBLE_EQ(later.latitude, start.latitude);
  EXPECT_NEAR((later.longitude - start.longitude) * 111320.0 * 0.6144, 138.9, 1.0);
  EXPECT_DOUBLE_EQ(later.courseDegrees, 90.0);
}

}  // namespace
}  // namespace sim
}  // namespace varnix

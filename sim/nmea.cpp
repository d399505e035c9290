#include "nmea.h"

#include <math.h>
#include <stdio.h>
#include <time.h>

namespace varnix {
namespace sim {
namespace {

// "hhmmss.ss" and "ddmmyy" of a UTC time.
void UtcFields(double utcSeconds, std::string* time, std::string* date) {
  double whole = floor(utcSeconds);
  time_t seconds = static_cast<time_t>(whole);
  int centis = static_cast<int>((utcSeconds - whole) * 100.0);
  if (centis > 99) centis = 99;
  struct tm utc;
  gmtime_r(&seconds, &utc);
  char buffer[32];
  snprintf(buffer, sizeof buffer, "%02d%02d%02d.%02d", utc.tm_hour, utc.tm_min, utc.tm_sec, centis);
  *time = buffer;
  snprintf(buffer, sizeof buffer, "%02d%02d%02d", utc.tm_mday, utc.tm_mon + 1, utc.tm_year % 100);
  *date = buffer;
}

// "ddmm.mmmm,N" or "dddmm.mmmm,E": degrees and decimal minutes, hemisphere.
std::string Angle(double degrees, int degreeDigits, char positive, char negative) {
  char hemisphere = degrees < 0 ? negative : positive;
  double magnitude = fabs(degrees);
  int whole = static_cast<int>(magnitude);
  double minutes = (magnitude - whole) * 60.0;
  if (minutes >= 59.99995) {  // would print as 60.0000
    ++whole;
    minutes = 0.0;
  }
  char buffer[32];
  snprintf(buffer, sizeof buffer, "%0*d%07.4f,%c", degreeDigits, whole, minutes, hemisphere);
  return buffer;
}

}  // namespace

unsigned NmeaChecksum(const std::string& body) {
  unsigned sum = 0;
  for (unsigned char ch : body) sum ^= ch;
  return sum;
}

std::string NmeaSentence(const std::string& body) {
  char checksum[8];
  snprintf(checksum, sizeof checksum, "*%02X\r\n", NmeaChecksum(body));
  return "$" + body + checksum;
}

std::string RmcSentence(const TFix& fix) {
  std::string time, date;
  UtcFields(fix.utcSeconds, &time, &date);
  char motion[32];
  snprintf(motion, sizeof motion, "%.1f,%.1f", fix.speedKnots, fix.courseDegrees);
  return NmeaSentence("GPRMC," + time + ",A," + Angle(fix.latitude, 2, 'N', 'S') + "," +
                      Angle(fix.longitude, 3, 'E', 'W') + "," + motion + "," + date + ",,,A");
}

std::string GgaSentence(const TFix& fix) {
  std::string time, date;
  UtcFields(fix.utcSeconds, &time, &date);
  char altitude[32];
  snprintf(altitude, sizeof altitude, "%.1f", fix.altitudeMetres);
  return NmeaSentence("GPGGA," + time + "," + Angle(fix.latitude, 2, 'N', 'S') + "," +
                      Angle(fix.longitude, 3, 'E', 'W') + ",1,08,0.9," + altitude + ",M,46.9,M,,");
}

bool ParseNmeaSentence(const std::string& sentence, std::string* body) {
  std::string text = sentence;
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
  if (text.size() < 4 || text[0] != '$') return false;
  size_t star = text.size() - 3;
  if (text[star] != '*') return false;
  unsigned given = 0;
  if (sscanf(text.c_str() + star + 1, "%2X", &given) != 1) return false;
  std::string inner = text.substr(1, star - 1);
  if (inner.find_first_of("$*\r\n") != std::string::npos) return false;
  if (NmeaChecksum(inner) != given) return false;
  *body = inner;
  return true;
}

}  // namespace sim
}  // namespace varnix

#ifndef VARNIX_SIM_NMEA_H
#define VARNIX_SIM_NMEA_H

// NMEA 0183 sentences for the GPS feed simulator: "$" + body + "*" + the
// checksum (XOR of the body's bytes, two upper-case hex digits) + CR LF.

#include <string>

namespace varnix {
namespace sim {

// One position of the simulated receiver.
struct TFix {
  double utcSeconds;   // since 1970-01-01, with fraction
  double latitude;     // degrees, north positive
  double longitude;    // degrees, east positive
  double speedKnots;
  double courseDegrees;
  double altitudeMetres;
};

// XOR of every byte of body (the text between "$" and "*").
unsigned NmeaChecksum(const std::string& body);

// "$body*HH\r\n".
std::string NmeaSentence(const std::string& body);

// The recommended minimum sentence and the fix data sentence of a fix.
std::string RmcSentence(const TFix& fix);
std::string GgaSentence(const TFix& fix);

// Checks "$body*HH" (a trailing CR LF is allowed); on success body gets the
// text between "$" and "*".
bool ParseNmeaSentence(const std::string& sentence, std::string* body);

}  // namespace sim
}  // namespace varnix

#endif

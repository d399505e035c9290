#include "drive.h"

#include <math.h>

namespace varnix {
namespace sim {
namespace {

struct TPoint {
  double latitude, longitude;
};

// A loop of about 4.6 km; the first point is repeated at the end.
const TPoint KRoute[] = {
    {52.0900, 5.1100}, {52.0900, 5.1250}, {52.0990, 5.1250}, {52.1010, 5.1180},
    {52.0990, 5.1100}, {52.0900, 5.1100},
};
const int KRoutePoints = sizeof KRoute / sizeof KRoute[0];
const double KMetresPerDegree = 111320.0;
const double KMetresPerKnotSecond = 1852.0 / 3600.0;
const double KPi = 3.14159265358979323846;

// Local flat-earth metres east and north between two nearby points.
void Offset(const TPoint& from, const TPoint& to, double* east, double* north) {
  *north = (to.latitude - from.latitude) * KMetresPerDegree;
  *east = (to.longitude - from.longitude) * KMetresPerDegree * cos(from.latitude * KPi / 180.0);
}

double Length(const TPoint& from, const TPoint& to) {
  double east, north;
  Offset(from, to, &east, &north);
  return sqrt(east * east + north * north);
}

}  // namespace

TFix DriveAt(double elapsedSeconds, double utcSeconds) {
  double loop = 0.0;
  for (int i = 0; i + 1 < KRoutePoints; ++i) loop += Length(KRoute[i], KRoute[i + 1]);
  double travelled = fmod(elapsedSeconds * KDriveSpeedKnots * KMetresPerKnotSecond, loop);

  int leg = 0;
  while (leg + 2 < KRoutePoints && travelled > Length(KRoute[leg], KRoute[leg + 1])) {
    travelled -= Length(KRoute[leg], KRoute[leg + 1]);
    ++leg;
  }
  const TPoint& from = KRoute[leg];
  const TPoint& to = KRoute[leg + 1];
  double share = travelled / Length(from, to);
  if (share > 1.0) share = 1.0;
  double east, north;
  Offset(from, to, &east, &north);
  double course = atan2(east, north) * 180.0 / KPi;
  if (course < 0) course += 360.0;

  TFix fix;
  fix.utcSeconds = utcSeconds;
  fix.latitude = from.latitude + (to.latitude - from.latitude) * share;
  fix.longitude = from.longitude + (to.longitude - from.longitude) * share;
  fix.speedKnots = KDriveSpeedKnots;
  fix.courseDegrees = course;
  fix.altitudeMetres = 12.0;
  return fix;
}

TBounds DriveBounds() {
  TBounds box = {KRoute[0].latitude, KRoute[0].latitude, KRoute[0].longitude, KRoute[0].longitude};
  for (const TPoint& p : KRoute) {
    box.south = fmin(box.south, p.latitude);
    box.north = fmax(box.north, p.latitude);
    box.west = fmin(box.west, p.longitude);
    box.east = fmax(box.east, p.longitude);
  }
  return box;
}

}  // namespace sim
}  // namespace varnix

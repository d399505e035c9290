#ifndef VARNIX_SIM_DRIVE_H
#define VARNIX_SIM_DRIVE_H

// The simulated drive: a car going round a closed loop of streets at a
// steady speed.

#include "nmea.h"

namespace varnix {
namespace sim {

const double KDriveSpeedKnots = 27.0;  // 50 km/h

// The fix after elapsedSeconds of driving, stamped with utcSeconds.
TFix DriveAt(double elapsedSeconds, double utcSeconds);

// The box that the loop stays inside, for checks.
struct TBounds {
  double south, north, west, east;
};
TBounds DriveBounds();

}  // namespace sim
}  // namespace varnix

#endif

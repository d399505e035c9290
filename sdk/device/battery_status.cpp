#include "device/device_layer.h"
#include "device/system_status.h"

namespace varnix {
namespace {

// The estimate and its smoothing; constant data, so nothing runs before main.
int32_t gLevel = 40;
int32_t gChargingState = -1;  // 1 charging, -1 not
int64_t gLastRefreshMs = 0;
int32_t gSmoothedMillivolts = 0;  // 0: no reading yet
int32_t gSmoothedMilliamps = 0;

// A new reading weighs one third against the history.
void Smooth(int32_t* smoothed, int32_t reading) {
  *smoothed = *smoothed == 0 ? reading : (reading + 2 * *smoothed) / 3;
}

int32_t LevelWhileCharging() {
  if (gSmoothedMilliamps <= 900) return (900 - gSmoothedMilliamps) / 32 + 75;
  int32_t level = (75 * gSmoothedMillivolts - 296250) / 220;
  return level > 75 ? 75 : level;
}

// Two straight pieces: 3450 mV and below empty, 3650 mV a quarter, 4000 mV full.
int32_t LevelOnBattery() {
  if (gSmoothedMillivolts <= 3649) return (25 * gSmoothedMillivolts - 86250) / 200;
  return (75 * gSmoothedMillivolts - 273750) / 350 + 25;
}

void TakeReading(const TBatteryReading& reading, bool charging) {
  int32_t reference = reading.reference <= 349 ? 350 : reading.reference;
  Smooth(&gSmoothedMillivolts, 2450 * reading.voltage / reference);
  int32_t level;
  if (charging) {
    Smooth(&gSmoothedMilliamps, 942 * reading.current / reference);
    level = LevelWhileCharging();
  } else {
    level = LevelOnBattery();
  }
  if (level > 100) level = 100;
  if (level <= 1) level = 2;
  gLevel = level;
}

}  // namespace

int GetBatteryLevel() {
  int64_t now = GetTimeMs();
  if (now < gLastRefreshMs) gLastRefreshMs = now;
  if (now - gLastRefreshMs <= KBatteryRefreshMs) return gLevel;
  gLastRefreshMs = now;
  bool charging = (DeviceIsCharging() & 0xFF) != 0;
  TBatteryReading reading = {0, 0, 0};
  if ((DeviceReadBattery(&reading) & 0xFF) != 0) TakeReading(reading, charging);
  gChargingState = charging ? 1 : -1;
  return gLevel;
}

bool IsCharging() {
  GetBatteryLevel();
  return gChargingState == 1;
}

}  // namespace varnix

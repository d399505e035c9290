#include "device/device_layer.h"

// The fixed answers of a device without a driver for these queries. A port
// to hardware that has one replaces this file.

namespace varnix {
namespace device {
namespace {

int FixedHasFeature(const char*) { return 0; }
int FixedReadLevel() { return 0; }
int FixedReadState() { return 0; }
int FixedIsCharging() { return 0; }
int FixedReadBattery(TBatteryReading*) { return 0; }

int FixedReadDiskSerial(char*, int* length) {
  *length = 0;
  return 0;
}

int FixedReadSdSerial(char*) { return 1; }
int FixedReadValue() { return 0; }
int FixedApplySetting(int) { return 1; }

}  // namespace

const TDeviceTable gDeviceDefaults = {
    &FixedHasFeature, &FixedReadLevel,      &FixedReadState,    &FixedIsCharging, &FixedReadBattery,
    &FixedReadDiskSerial, &FixedReadSdSerial, &FixedReadValue, &FixedApplySetting,
};

TDeviceTable gDeviceCurrent = {
    &FixedHasFeature, &FixedReadLevel,      &FixedReadState,    &FixedIsCharging, &FixedReadBattery,
    &FixedReadDiskSerial, &FixedReadSdSerial, &FixedReadValue, &FixedApplySetting,
};

void RestoreDeviceDefaults() { gDeviceCurrent = gDeviceDefaults; }

}  // namespace device
}  // namespace varnix

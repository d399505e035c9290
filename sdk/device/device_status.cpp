#include <stdio.h>
#include <string.h>

#include "device/device_layer.h"
#include "device/platform_properties.h"
#include "device/system_status.h"

namespace varnix {
namespace {

bool gDeviceValueRead;
int gDeviceValue;
int32_t gDeviceSetting = -1;

}  // namespace

int GetSdCardSerial(char* buffer, int32_t& length) {
  length = KDeviceSerialLength;
  if (HasHardDisk()) {
    char work[KDeviceSerialLength];
    memset(work, '0', sizeof work);
    int workLength = KDeviceSerialLength;
    int answer = DeviceReadDiskSerial(work, &workLength);
    memcpy(buffer, work, sizeof work);
    return answer == 0 ? 1 : 0;
  }
  if (DeviceReadSdSerial(buffer) != 0) return 0;
  puts("Failed to read SD card serial number");
  return -1;
}

int GetDeviceValue() {
  if (!gDeviceValueRead) {
    gDeviceValueRead = true;
    gDeviceValue = DeviceReadValue();
  }
  return gDeviceValue;
}

int GetDeviceSetting() { return gDeviceSetting; }

int StoreDeviceSetting(int value) {
  gDeviceSetting = value;
  return value;
}

int SetDeviceSetting(int value) {
  if (value == gDeviceSetting) return value;
  gDeviceSetting = value;
  return DeviceApplySetting(value);
}

}  // namespace varnix

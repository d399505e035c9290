#ifndef VARNIX_DEVICE_DEVICE_LAYER_H
#define VARNIX_DEVICE_DEVICE_LAYER_H

#include <stdint.h>

namespace varnix {

/// @file
/// The device layer: the hardware queries that the device information
/// operations ask. On this system every query gives a fixed answer (see
/// device_layer.cpp); a port to hardware with a driver replaces exactly that
/// file. The queries go through one table, like the OS seam, so that tests
/// can stand in for the hardware (a battery that reports readings, a device
/// that has a Bluetooth server) and put the fixed answers back afterwards.

/// Filled by DeviceReadBattery: raw converter readings.
struct TBatteryReading {
  uint16_t voltage;    ///< voltage reading
  uint16_t reference;  ///< reference reading
  uint16_t current;    ///< charge current reading
};

/// Sizes of the serial number buffers.
const int KDeviceSerialLength = 16;

namespace device {

struct TDeviceTable {
  int (*HasFeature)(const char* feature);
  int (*ReadLevel)();
  int (*ReadState)();
  int (*IsCharging)();
  int (*ReadBattery)(TBatteryReading* reading);
  int (*ReadDiskSerial)(char* buffer, int* length);
  int (*ReadSdSerial)(char* buffer);
  int (*ReadValue)();
  int (*ApplySetting)(int setting);
};

/// The table in force and the fixed answers; both constant-initialised.
///@{
extern TDeviceTable gDeviceCurrent;
extern const TDeviceTable gDeviceDefaults;
///@}

/// Puts the fixed answers back.
void RestoreDeviceDefaults();

}  // namespace device

/// Non-zero when the device has the named feature ("btserver"). Fixed: 0.
inline int DeviceHasFeature(const char* feature) { return device::gDeviceCurrent.HasFeature(feature); }
/// A raw level reading, scaled by GetLevelPercent. Fixed: 0.
inline int DeviceReadLevel() { return device::gDeviceCurrent.ReadLevel(); }
/// A raw state reading, checked by GetStateCode. Fixed: 0.
inline int DeviceReadState() { return device::gDeviceCurrent.ReadState(); }
/// Non-zero in its low byte while the battery charges. Fixed: 0.
inline int DeviceIsCharging() { return device::gDeviceCurrent.IsCharging(); }
/// Non-zero in its low byte when reading was filled. Fixed: 0, reading untouched.
inline int DeviceReadBattery(TBatteryReading* reading) { return device::gDeviceCurrent.ReadBattery(reading); }
/// Fills up to *length (16) bytes of buffer and sets *length; 0 on success.
/// Fixed: 0, *length = 0, buffer untouched.
inline int DeviceReadDiskSerial(char* buffer, int* length) {
  return device::gDeviceCurrent.ReadDiskSerial(buffer, length);
}
/// Fills the 16-byte buffer; non-zero on success. Fixed: 1, buffer untouched.
inline int DeviceReadSdSerial(char* buffer) { return device::gDeviceCurrent.ReadSdSerial(buffer); }
/// A device value read once by GetDeviceValue. Fixed: 0.
inline int DeviceReadValue() { return device::gDeviceCurrent.ReadValue(); }
/// Hands a new device setting to the hardware. Fixed: 1.
inline int DeviceApplySetting(int setting) { return device::gDeviceCurrent.ApplySetting(setting); }

}  // namespace varnix

#endif

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "device/system_status.h"
#include "device_fakes.h"
#include "support/temp_root.h"

namespace varnix {
namespace {

using test::FakeDevice;
using test::StdoutCapture;
using test::TempRoot;

std::string Serial(const char* buffer) { return std::string(buffer, KDeviceSerialLength); }

TEST(GetSdCardSerial, CardDeviceLeavesTheBufferAndReportsRead) {
  TempRoot root;  // no harddisk file: no hard disk
  char buffer[KDeviceSerialLength];
  memset(buffer, 'k', sizeof buffer);
  int32_t length = 0;
  StdoutCapture out;
  EXPECT_EQ(GetSdCardSerial(buffer, length), 0);
  EXPECT_EQ(length, 16);
  EXPECT_EQ(Serial(buffer), std::string(16, 'k'));
  out.Take();
}

TEST(GetSdCardSerial, CardSerialFromTheDevice) {
  TempRoot root;
  root.WriteFile("/proc/morvantis/harddisk", "0\n");
  FakeDevice device;
  device.Answers().sdSerial = "0123456789ABCDEF";
  char buffer[KDeviceSerialLength] = {};
  int32_t length = 0;
  EXPECT_EQ(GetSdCardSerial(buffer, length), 0);
  EXPECT_EQ(Serial(buffer), "0123456789ABCDEF");
}

TEST(GetSdCardSerial, CardSerialFailurePrintsAndGivesMinusOne) {
  TempRoot root;
  root.WriteFile("/proc/morvantis/harddisk", "0\n");
  FakeDevice device;
  device.Answers().sdAnswer = 0;
  char buffer[KDeviceSerialLength] = {};
  int32_t length = 0;
  StdoutCapture out;
  EXPECT_EQ(GetSdCardSerial(buffer, length), -1);
  EXPECT_EQ(length, 16);
  EXPECT_EQ(out.Take(), "Failed to read SD card serial number\n");
}

TEST(GetSdCardSerial, HardDiskDeviceGetsZerosAndStatusOne) {
  TempRoot root;
  root.WriteFile("/proc/morvantis/harddisk", "1\n");
  char buffer[KDeviceSerialLength];
  memset(buffer, 'k', sizeof buffer);
  int32_t length = 0;
  EXPECT_EQ(GetSdCardSerial(buffer, length), 1);
  EXPECT_EQ(length, 16);
  EXPECT_EQ(Serial(buffer), std::string(16, '0'));
}

TEST(GetSdCardSerial, HardDiskSerialFromTheDevice) {
  TempRoot root;
  root.WriteFile("/proc/morvantis/harddisk", "1\n");
  FakeDevice device;
  device.Answers().diskSerial = "WD12";
  device.Answers().diskAnswer = 5;
  char buffer[KDeviceSerialLength] = {};
  int32_t length = 0;
  EXPECT_EQ(GetSdCardSerial(buffer, length), 0) << "the device did not answer 0";
  EXPECT_EQ(Serial(buffer), "WD12" + std::string(12, '0'));
}

TEST(GetDeviceValue, ReadOnce) {
  FakeDevice device;
  device.Answers().value = 5;
  EXPECT_EQ(GetDeviceValue(), 5);
  device.Answers().value = 9;
  EXPECT_EQ(GetDeviceValue(), 5);
  EXPECT_EQ(device.Calls().valueReads, 1);
}

TEST(GetDeviceValue, FixedAnswerIsZero) { EXPECT_EQ(GetDeviceValue(), 0); }

TEST(DeviceSetting, SetTellsTheDeviceOnlyOfAChange) {
  FakeDevice device;
  EXPECT_EQ(GetDeviceSetting(), -1);
  EXPECT_EQ(SetDeviceSetting(3), 1);
  EXPECT_EQ(SetDeviceSetting(3), 3);
  EXPECT_EQ(GetDeviceSetting(), 3);
  EXPECT_EQ(device.Calls().applied, 1);
  EXPECT_EQ(device.Calls().lastSetting, 3);
  device.Answers().applyAnswer = 0;
  EXPECT_EQ(SetDeviceSetting(4), 0);
  EXPECT_EQ(GetDeviceSetting(), 4);
}

TEST(DeviceSetting, StoreDoesNotTellTheDevice) {
  FakeDevice device;
  EXPECT_EQ(StoreDeviceSetting(6), 6);
  EXPECT_EQ(GetDeviceSetting(), 6);
  EXPECT_EQ(SetDeviceSetting(6), 6);
  EXPECT_EQ(device.Calls().applied, 0);
}

TEST(DeviceSetting, FixedDeviceAnswersOne) {
  EXPECT_EQ(SetDeviceSetting(3), 1);
  EXPECT_EQ(SetDeviceSetting(3), 3);
}

}  // namespace
}  // namespace varnix

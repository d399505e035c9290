#include "device_fakes.h"

#include <gtest/gtest.h>
#include <string.h>

#include "base/os.h"

namespace varnix {
namespace test {
namespace {

int64_t gNowMs;
FakeDevice::TAnswers gAnswers;
FakeDevice::TCalls gCalls;

int FakeGettimeofday(struct timeval* now, void*) {
  now->tv_sec = static_cast<time_t>(gNowMs / 1000);
  now->tv_usec = static_cast<suseconds_t>((gNowMs % 1000) * 1000);
  return 0;
}

int FakeHasFeature(const char* feature) {
  gCalls.lastFeature = feature;
  return gAnswers.feature;
}
int FakeReadLevel() { return gAnswers.level; }
int FakeReadState() { return gAnswers.state; }
int FakeIsCharging() { return gAnswers.charging; }

int FakeReadBattery(TBatteryReading* reading) {
  ++gCalls.batteryReads;
  if (gAnswers.batteryAnswer != 0) *reading = gAnswers.battery;
  return gAnswers.batteryAnswer;
}

int FakeReadDiskSerial(char* buffer, int* length) {
  size_t n = gAnswers.diskSerial.size();
  if (n > static_cast<size_t>(*length)) n = static_cast<size_t>(*length);
  memcpy(buffer, gAnswers.diskSerial.data(), n);
  *length = static_cast<int>(n);
  return gAnswers.diskAnswer;
}

int FakeReadSdSerial(char* buffer) {
  size_t n = gAnswers.sdSerial.size();
  if (n > static_cast<size_t>(KDeviceSerialLength)) n = KDeviceSerialLength;
  memcpy(buffer, gAnswers.sdSerial.data(), n);
  return gAnswers.sdAnswer;
}

int FakeReadValue() {
  ++gCalls.valueReads;
  return gAnswers.value;
}

int FakeApplySetting(int setting) {
  ++gCalls.applied;
  gCalls.lastSetting = setting;
  return gAnswers.applyAnswer;
}

}  // namespace

FakeClock::FakeClock(int64_t ms) {
  gNowMs = ms;
  os::gOsCurrent.Gettimeofday = &FakeGettimeofday;
}

FakeClock::~FakeClock() { os::gOsCurrent.Gettimeofday = os::gOsDefaults.Gettimeofday; }

void FakeClock::Set(int64_t ms) { gNowMs = ms; }
int64_t FakeClock::Now() const { return gNowMs; }

FakeDevice::FakeDevice() {
  gAnswers = TAnswers();
  gCalls = TCalls();
  device::gDeviceCurrent = device::TDeviceTable{
      &FakeHasFeature,     &FakeReadLevel,    &FakeReadState, &FakeIsCharging,   &FakeReadBattery,
      &FakeReadDiskSerial, &FakeReadSdSerial, &FakeReadValue, &FakeApplySetting,
  };
}

FakeDevice::~FakeDevice() { device::RestoreDeviceDefaults(); }

FakeDevice::TAnswers& FakeDevice::Answers() { return gAnswers; }
const FakeDevice::TCalls& FakeDevice::Calls() const { return gCalls; }

StdoutCapture::StdoutCapture() { testing::internal::CaptureStdout(); }

StdoutCapture::~StdoutCapture() { testing::internal::GetCapturedStdout(); }

std::string StdoutCapture::Take() {
  std::string text = testing::internal::GetCapturedStdout();
  testing::internal::CaptureStdout();
  return text;
}

}  // namespace test
}  // namespace varnix

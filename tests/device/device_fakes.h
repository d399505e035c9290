#ifndef VARNIX_TESTS_DEVICE_DEVICE_FAKES_H
#define VARNIX_TESTS_DEVICE_DEVICE_FAKES_H

#include <stdint.h>

#include <string>

#include "device/device_layer.h"

namespace varnix {
namespace test {

// The wall clock of the OS seam, set by the test instead of passing.
class FakeClock {
 public:
  explicit FakeClock(int64_t ms);
  ~FakeClock();
  void Set(int64_t ms);
  void Advance(int64_t ms) { Set(Now() + ms); }
  int64_t Now() const;
};

// Stands in for the device layer while it lives; every answer starts as the
// fixed answer of this system, and the test changes the ones it needs.
class FakeDevice {
 public:
  FakeDevice();
  ~FakeDevice();

  struct TAnswers {
    int feature = 0;
    int level = 0;
    int state = 0;
    int charging = 0;
    int batteryAnswer = 0;
    TBatteryReading battery = {0, 0, 0};
    int diskAnswer = 0;
    std::string diskSerial;  // copied over the buffer when not empty
    int sdAnswer = 1;
    std::string sdSerial;    // copied over the buffer when not empty
    int value = 0;
    int applyAnswer = 1;
  };

  struct TCalls {
    std::string lastFeature;
    int batteryReads = 0;
    int valueReads = 0;
    int applied = 0;
    int lastSetting = 0;
  };

  TAnswers& Answers();
  const TCalls& Calls() const;
};

// Captures what the code under test prints on standard output.
class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture();
  std::string Take();  // what was printed since the start or the last Take
};

}  // namespace test
}  // namespace varnix

#endif

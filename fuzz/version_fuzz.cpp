// GetSystemVersion over an "/etc/version" of any content: the digits of
// its first line (at most 31 characters) in order, no further digit once
// the value is above 9999999.
#include <string>

#include "device/system_status.h"
#include "device_models.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  varnix::fuzz::PrepareTarget();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  varnix::fuzz::WriteDeviceFile("/etc/version", data, size);
  int32_t expected = 0;
  if (!bytes.empty()) {
    std::string line = varnix::fuzz::Lines(bytes, 32).front();
    for (char c : line) {
      if (expected > 9999999) break;
      if (varnix::fuzz::IsDigit(c)) expected = expected * 10 + (c - '0');
    }
  }
  FUZZ_CHECK(varnix::GetSystemVersion() == expected);
  return 0;
}

// The boot loader version file of any length and content: exactly 16 bytes
// (or the first 16 of a longer file) reduce to digits with two implied
// decimals; anything shorter gives 0.
#include <string>

#include "device/boot_version.h"
#include "device_models.h"
#include "fuzz_support.h"

namespace {

int32_t ModelReduce(const std::string& text) {
  int64_t version = 0;
  bool fraction = false;
  int fractionDigits = 0;
  for (size_t i = 0; i < 16 && static_cast<unsigned char>(text[i]) >= 32; ++i) {
    if (text[i] == '.') {
      fraction = true;
    } else if (varnix::fuzz::IsDigit(text[i])) {
      version = version * 10 + (text[i] - '0');
      if (fraction && ++fractionDigits == 2) break;
    }
  }
  for (; fractionDigits < 2; ++fractionDigits) version *= 10;
  return varnix::fuzz::Clamp32(version);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  varnix::fuzz::PrepareTarget();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  varnix::fuzz::WriteDeviceFile("/mnt/flash/sysfile/bootver", data, size);
  int32_t expected = bytes.size() >= 16 ? ModelReduce(bytes.substr(0, 16)) : 0;
  FUZZ_CHECK(varnix::ReadBootLoaderVersionFile() == expected);
  return 0;
}

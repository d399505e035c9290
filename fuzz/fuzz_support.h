#ifndef VARNIX_FUZZ_FUZZ_SUPPORT_H
#define VARNIX_FUZZ_FUZZ_SUPPORT_H

// Helpers shared by the fuzz targets.

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace varnix {
namespace fuzz {

// A property that must hold for every input; a violation aborts, which
// libFuzzer reports as a finding and the replay driver as a failed test.
#define FUZZ_CHECK(condition)                                                             \
  do {                                                                                    \
    if (!(condition)) ::varnix::fuzz::Fail(__FILE__, __LINE__, #condition);               \
  } while (0)

[[noreturn]] void Fail(const char* file, int line, const char* condition);

// A device root of the program's own (var/run, mnt/sdcard, mnt/flash/sysfile,
// proc/morvantis, etc), made at the first call and removed when the program
// ends; the host root points at it. Returns its path.
const std::string& FuzzRoot();

// Removes every entry of a directory of the root ("/var/run"), keeping the
// directory itself.
void EmptyDirectory(const std::string& devicePath);

// Writes bytes to a device path below the root (created or emptied).
void WriteDeviceFile(const std::string& devicePath, const uint8_t* data, size_t size);

// The runtime's diagnostics go to standard output; sent to /dev/null they do
// not slow the fuzzer down.
void SilenceStdout();

// What every target's LLVMFuzzerInitialize does first: the device root of
// the program's own, and standard output silenced.
void PrepareTarget();

// Number of open file descriptors of the process (probed, not listed).
int OpenDescriptors();

// Reads the input from its front: fixed-size values and byte runs. Reading
// past the end gives zeros and empty runs.
class CInput {
 public:
  CInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return size_ > 0 ? (--size_, *data_++) : 0; }
  uint32_t Word() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | Byte();
    return value;
  }
  // Up to max bytes, as many as the next byte says (modulo max + 1).
  std::string Run(size_t max) {
    size_t n = Byte() % (max + 1);
    return Take(n);
  }
  std::string Take(size_t n) {
    if (n > size_) n = size_;
    std::string bytes(reinterpret_cast<const char*>(data_), n);
    data_ += n;
    size_ -= n;
    return bytes;
  }
  std::string Rest() { return Take(size_); }
  size_t Left() const { return size_; }

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace fuzz
}  // namespace varnix

#endif

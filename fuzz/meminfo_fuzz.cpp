// GetTotalMemory and GetFreeMemory over a "/proc/meminfo" of any content.
// The allocator's own free space is taken as 0 (through the OS seam), so
// both figures follow from the file alone: MemTotal read at its column,
// CommitLimit - Committed_AS when the three lines are there, in bytes,
// never negative, saturating at the 32-bit limit.
#include <string.h>

#include <string>

#include "base/os.h"
#include "device/system_status.h"
#include "device_models.h"
#include "fuzz_support.h"

namespace {

using namespace varnix::fuzz;

int32_t ToBytes(int64_t kilobytes) { return kilobytes <= 0 ? 0 : Clamp32(kilobytes * 1024); }

size_t SkipSpace(const std::string& s, size_t at) {
  while (at < s.size() && IsSpace(static_cast<unsigned char>(s[at]))) ++at;
  return at;
}

void Key(const std::string& line, const char* key, int64_t* value) {
  size_t n = strlen(key);
  int64_t v;
  if (line.compare(0, n, key) == 0 && Decimal(line, SkipSpace(line, n), &v)) *value = v;
}

struct VARNIX_MALLINFO NothingHeld() { return {}; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  PrepareTarget();
  varnix::os::gOsCurrent.Mallinfo = NothingHeld;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  WriteDeviceFile("/proc/meminfo", data, size);

  int64_t total = 0, limit = 0, committed = 0, cached = 0;
  for (const std::string& line : Lines(bytes, 128)) {
    if (line.compare(0, 9, "MemTotal:") == 0) {
      int64_t v = 0;
      Decimal(line, SkipSpace(line, std::min<size_t>(line.size(), 13)), &v);
      total = v;
    }
    Key(line, "CommitLimit:", &limit);
    Key(line, "Committed_AS:", &committed);
    Key(line, "Cached:", &cached);
  }
  int64_t free = limit != 0 && committed != 0 && cached != 0 ? std::max<int64_t>(limit - committed, 0) : 0;
  FUZZ_CHECK(varnix::GetTotalMemory() == ToBytes(total));
  FUZZ_CHECK(varnix::GetFreeMemory() == ToBytes(free));
  return 0;
}

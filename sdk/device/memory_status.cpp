#include <string.h>

#include "base/host_root.h"
#include "base/os.h"
#include "device/decimal_scan.h"
#include "device/system_status.h"

namespace varnix {
namespace {

// Lines of "/proc/meminfo" are read up to 127 characters; the rest of a
// longer line comes as the next line.
typedef char TMeminfoLine[128];

FILE* OpenMeminfo() {
  CPathString path;
  LocationPath(path, ELocationMeminfo);
  return os::Fopen(path.Text(), "r");
}

const char* SkipSpace(const char* text) {
  while (*text != 0 && IsScanSpace(static_cast<unsigned char>(*text))) ++text;
  return text;
}

// Matches "<key> %ld": the key at the start of the line, then a number
// after any white space. Stores the number and returns true on a match.
bool MatchKeyNumber(const char* line, const char* key, int64_t* value) {
  size_t n = strlen(key);
  if (strncmp(line, key, n) != 0) return false;
  return ScanDecimal(SkipSpace(line + n), value) > 0;
}

// Kilobytes to a 32-bit byte count that saturates instead of wrapping.
int32_t KilobytesToBytes(int64_t kilobytes) {
  if (kilobytes <= 0) return 0;
  return ClampToInt32(kilobytes * 1024);
}

int64_t AllocatorFreeBytes() {
  struct VARNIX_MALLINFO info = os::Mallinfo();
  return static_cast<int64_t>(info.fordblks);
}

}  // namespace

int32_t GetTotalMemory() {
  FILE* stream = OpenMeminfo();
  if (stream == nullptr) return 0;
  TMeminfoLine line;
  int64_t kilobytes = 0;
  while (os::Fgets(line, sizeof line, stream) != nullptr) {
    if (strncmp(line, "MemTotal:", 9) != 0) continue;
    // The number stands in a fixed column; a shorter line has none.
    size_t length = strlen(line);
    const char* number = SkipSpace(line + (length < 13 ? length : 13));
    int64_t value = 0;
    ScanDecimal(number, &value);
    kilobytes = value;
  }
  os::Fclose(stream);
  return KilobytesToBytes(kilobytes);
}

int32_t GetFreeMemory() {
  int64_t kilobytes = 0;
  FILE* stream = OpenMeminfo();
  if (stream != nullptr) {
    int64_t commitLimit = 0;
    int64_t committed = 0;
    int64_t cached = 0;
    TMeminfoLine line;
    while (os::Fgets(line, sizeof line, stream) != nullptr) {
      MatchKeyNumber(line, "CommitLimit:", &commitLimit);
      MatchKeyNumber(line, "Committed_AS:", &committed);
      MatchKeyNumber(line, "Cached:", &cached);
    }
    if (commitLimit != 0 && committed != 0 && cached != 0) {
      kilobytes = commitLimit - committed;
      if (kilobytes < 0) kilobytes = 0;
    } else {
      puts("CommitLimit, Committed_AS or Cached not filled in!");
    }
    os::Fclose(stream);
  }
  int64_t held = AllocatorFreeBytes();
  if (held > 0) kilobytes += held / 1024;
  return KilobytesToBytes(kilobytes);
}

}  // namespace varnix

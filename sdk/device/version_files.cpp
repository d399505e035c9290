#include <errno.h>
#include <fcntl.h>
#include <string.h>

#include "base/host_root.h"
#include "base/os.h"
#include "device/boot_version.h"
#include "device/decimal_scan.h"
#include "device/system_status.h"

namespace varnix {
namespace {

const int32_t KSystemVersionLimit = 9999999;  // beyond it, no further digit
const int KBootVersionSize = 16;

bool gBootVersionRead;
int32_t gBootVersion;

// Digits in order, dot starting the fraction; the walk ends at a control
// character, after the second fraction digit or after 16 characters. Bytes
// above 127 are ordinary characters, skipped like letters.
int32_t ReduceBootVersion(const unsigned char* text) {
  int64_t version = 0;
  bool inFraction = false;
  int fractionDigits = 0;
  for (int i = 0; i < KBootVersionSize && text[i] >= 32; ++i) {
    if (text[i] == '.') {
      inFraction = true;
    } else if (text[i] >= '0' && text[i] <= '9') {
      version = version * 10 + (text[i] - '0');
      if (inFraction && ++fractionDigits == 2) break;
    }
  }
  for (; fractionDigits < 2; ++fractionDigits) version *= 10;
  return ClampToInt32(version);
}

}  // namespace

int32_t ReadBootLoaderVersionFile() {
  const char* name = "GetBootLoaderVersion";
  CPathString path;
  const char* file = LocationPath(path, ELocationBootVersion);
  int fd = os::Open(file, O_RDONLY, 0);
  if (fd < 0) {
    printf("%s: Unable to open %s: %s\n", name, file, strerror(errno));
    return 0;
  }
  unsigned char text[KBootVersionSize];
  int32_t version = 0;
  ssize_t got = os::Read(fd, text, sizeof text);
  if (got < 0) {
    printf("%s: Unable to read %s: %s\n", name, file, strerror(errno));
  } else if (got != KBootVersionSize) {
    printf("%s: Read %zd bytes from %s, should be %zu!\n", name, got, file, sizeof text);
  } else {
    version = ReduceBootVersion(text);
    printf("Boot loader version \"%.*s\"\n", KBootVersionSize, reinterpret_cast<const char*>(text));
  }
  os::Close(fd);
  return version;
}

int32_t GetSystemVersion() {
  CPathString path;
  FILE* stream = os::Fopen(LocationPath(path, ELocationVersion), "rb");
  if (stream == nullptr) return 0;
  char line[32];
  bool read = os::Fgets(line, sizeof line, stream) != nullptr;
  os::Fclose(stream);
  if (!read) return 0;
  int32_t value = 0;
  for (const char* p = line; *p != 0 && value <= KSystemVersionLimit; ++p)
    if (*p >= '0' && *p <= '9') value = value * 10 + (*p - '0');
  return value;
}

int32_t GetBootLoaderVersion() {
  if (gBootVersionRead) return gBootVersion;
  gBootVersionRead = true;
  gBootVersion = ReadBootLoaderVersionFile();
  printf("Boot loader version reduced to integer %d\n", gBootVersion);
  return gBootVersion;
}

}  // namespace varnix

// ReadCurrentMap over a "CurrentMap.dat" of any content: the text exactly
// when the record is whole (a length n of 1 to 256, then n bytes ending in
// a zero byte), null otherwise; the file is closed and out of the registry
// afterwards. A record that was read writes back and reads again the same.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "storage/file_manager.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  varnix::fuzz::PrepareTarget();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  varnix::fuzz::WriteDeviceFile("/mnt/sdcard/CurrentMap.dat", data, size);
  int64_t n = -1;
  if (size >= 4) n = static_cast<int32_t>(data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24);
  bool whole = n >= 1 && n <= 256 && size >= static_cast<size_t>(4 + n) && data[4 + n - 1] == 0;

  int descriptors = varnix::fuzz::OpenDescriptors();
  varnix::CFileManager manager;
  char* text = manager.ReadCurrentMap();
  FUZZ_CHECK(varnix::fuzz::OpenDescriptors() == descriptors);
  FUZZ_CHECK(manager.Registry().Count() == 0);
  FUZZ_CHECK((text != nullptr) == whole);
  if (text == nullptr) return 0;
  FUZZ_CHECK(memcmp(text, data + 4, static_cast<size_t>(n)) == 0);

  std::string asText(text);  // up to its first zero byte
  free(text);
  manager.WriteCurrentMap(varnix::CDynString::WrapChars(asText.data(), static_cast<int>(asText.size())));
  char* again = manager.ReadCurrentMap();
  FUZZ_CHECK(again != nullptr && asText == again);
  free(again);
  FUZZ_CHECK(manager.Registry().Count() == 0);
  return 0;
}

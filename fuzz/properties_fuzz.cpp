// The property readers over a property file of any content: GetProcInt
// takes one "%d" number or leaves the value alone, GetProcString the first
// line of at most size - 1 characters without its line end, and neither
// writes beyond the caller's buffer.
//
// Input: the string buffer's size, then the file's bytes.
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "device/platform_properties.h"
#include "device_models.h"
#include "fuzz_support.h"

namespace {

using namespace varnix::fuzz;

bool ModelInt(const std::string& bytes, int32_t* value) {
  size_t at = 0;
  while (at < bytes.size() && IsSpace(static_cast<unsigned char>(bytes[at]))) ++at;
  int64_t v;
  if (!Decimal(bytes, at, &v)) return false;
  *value = Clamp32(v);
  return true;
}

std::string ModelString(const std::string& bytes, int size) {
  std::string line = Lines(bytes, static_cast<size_t>(size)).front();
  size_t start = line.find_first_not_of("\n\r");
  if (start == std::string::npos) return line;
  size_t end = line.find_first_of("\n\r", start);
  return end == std::string::npos ? line : line.substr(0, end);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  PrepareTarget();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CInput in(data, size);
  int bufferSize = 2 + in.Byte() % 200;
  std::string bytes = in.Rest();
  WriteDeviceFile("/proc/morvantis/fuzzed", reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());

  int32_t value = -77, expected = -77;
  bool read = varnix::GetProcInt("fuzzed", value);
  FUZZ_CHECK(read == ModelInt(bytes, &expected));
  FUZZ_CHECK(value == expected);

  char* buffer = static_cast<char*>(malloc(bufferSize));  // exactly its size
  bool got = varnix::GetProcString("fuzzed", buffer, bufferSize);
  FUZZ_CHECK(got == !bytes.empty());
  if (got) FUZZ_CHECK(strcmp(buffer, ModelString(bytes, bufferSize).c_str()) == 0);
  free(buffer);
  return 0;
}

// The receive halves of the five reply shapes fed raw reply files: code
// only, integer, record (three records with texts of different capacities),
// coordinate list and text list. Each must consume the reply's files and
// give exactly what the shape's rules make of the reply's fields: the error
// value, the result, the output (texts cut to their fields), -2 for a
// number of fields that does not fit and -5 for a list that cannot be
// stored; a record is untouched by a reply of the code alone.
//
// Input: the call, then the reply file's bytes.
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fuzz_support.h"
#include "messaging/endpoint.h"
#include "messaging/navigator_calls.h"

namespace {

using namespace varnix;

MVarnixCommunicationLayerInterface* gEndpoint;
uint32_t gId;

int32_t Int(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  return static_cast<int32_t>(negative ? 0u - value : value);
}

// The fields a reply file gives: its text up to the first zero byte, read
// up to and with its first line feed, split at the separators.
std::vector<std::string> Fields(std::string bytes) {
  bytes = bytes.substr(0, bytes.find('\0'));
  size_t lineFeed = bytes.find('\n');
  if (lineFeed != std::string::npos) bytes.resize(lineFeed + 1);
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t bar; (bar = bytes.find('|', start)) != std::string::npos; start = bar + 1)
    fields.push_back(bytes.substr(start, bar - start));
  return fields;
}

std::string Cut(const std::string& text, size_t capacity) { return text.substr(0, capacity - 1); }

std::string Path(const char* kind) {
  return fuzz::FuzzRoot() + "/var/run/VarnixNavigationServer.client.812." + std::to_string(gId) + "." + kind;
}

// A record filled with a pattern, to see whether it was touched.
template <typename T>
void Mark(T* record) {
  memset(record, 0x5A, sizeof *record);
}
template <typename T>
bool Untouched(const T& record) {
  T marked;
  Mark(&marked);
  return memcmp(&record, &marked, sizeof record) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::PrepareTarget();
  gEndpoint = CreateFileLayer("client", "VarnixNavigationServer", 812);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::CInput in(data, size);
  int call = in.Byte() % 8;
  std::string bytes = in.Rest();
  ++gId;
  fuzz::WriteDeviceFile("/var/run/VarnixNavigationServer.client.812." + std::to_string(gId) + ".message",
                        reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  const char marker[8] = {'f', 'i', 'n', 'i', 's', 'h', '\n', 0};
  fuzz::WriteDeviceFile("/var/run/VarnixNavigationServer.client.812." + std::to_string(gId) + ".finished",
                        reinterpret_cast<const uint8_t*>(marker), sizeof marker);

  TCallContext context{};
  context.endpoint = gEndpoint;
  gEndpoint->NewRequest();  // as the send half leaves it
  gEndpoint->AddArgument("Request");
  MVarnixSession* session = new CVarnixFileLayer::CSession(gId);

  std::vector<std::string> f = Fields(bytes);
  int32_t n = static_cast<int32_t>(f.size());
  int32_t error = 12345;
  int32_t result = 0;
  auto rejected = [&] { return result == -2 && error == -2; };

  switch (call) {
    case 0:
      result = ReceiveStopApplicationV01(&context, session, &error);
      if (n != 1) FUZZ_CHECK(rejected());
      else FUZZ_CHECK(result == 0 && error == Int(f[0]));
      break;
    case 1: {
      int32_t value = 777;
      result = ReceiveGetCurrentStopoverV01(&context, session, &error, &value);
      if (n != 1 && n != 2) FUZZ_CHECK(rejected() && value == 777);
      else FUZZ_CHECK(result == 0 && error == Int(f[0]) && value == (n == 2 ? Int(f[1]) : 777));
      break;
    }
    case 2: {
      TLocationInfoEx r;
      Mark(&r);
      result = ReceiveGetLocationInfoExV01(&context, session, &error, &r);
      if (n != 1 && n != 8) {
        FUZZ_CHECK(rejected() && Untouched(r));
      } else if (n == 1) {
        FUZZ_CHECK(result == 0 && error == Int(f[0]) && Untouched(r));
      } else {
        FUZZ_CHECK(result == 0 && error == Int(f[0]));
        FUZZ_CHECK(r.integer1 == Int(f[1]) && r.integer2 == Int(f[2]) && r.integer3 == Int(f[3]));
        FUZZ_CHECK(r.text1 == Cut(f[4], sizeof r.text1) && r.integer4 == Int(f[5]) && r.integer5 == Int(f[6]));
        FUZZ_CHECK(r.text2 == Cut(f[7], sizeof r.text2));
      }
      break;
    }
    case 3: {
      TVersionInfo r;
      Mark(&r);
      result = ReceiveGetApplicationVersionV01(&context, session, &error, &r);
      if (n == 3) FUZZ_CHECK(result == 0 && r.text == Cut(f[1], sizeof r.text) && r.number == Int(f[2]));
      else if (n == 1) FUZZ_CHECK(result == 0 && error == Int(f[0]) && Untouched(r));
      else FUZZ_CHECK(rejected() && Untouched(r));
      break;
    }
    case 4: {
      TFavorite r;
      Mark(&r);
      result = ReceiveGetFavoriteV01(&context, session, &error, &r);
      if (n == 5) {
        FUZZ_CHECK(result == 0 && r.text1 == Cut(f[1], sizeof r.text1) && r.text2 == Cut(f[2], sizeof r.text2));
        FUZZ_CHECK(r.integer1 == Int(f[3]) && r.integer2 == Int(f[4]));
      } else if (n == 1) {
        FUZZ_CHECK(result == 0 && Untouched(r));
      } else {
        FUZZ_CHECK(rejected() && Untouched(r));
      }
      break;
    }
    case 5: {
      TRouteCoordinates list{7, nullptr};
      result = ReceiveGetRouteCoordinatesV01(&context, session, &error, &list);
      if (n <= 1) {
        FUZZ_CHECK(rejected() && list.count == -1 && list.items == nullptr);
        break;
      }
      FUZZ_CHECK(error == Int(f[0]) || error == -5);
      if (Int(f[0]) != 0) {
        FUZZ_CHECK(result == 0 && error == Int(f[0]) && list.count == -1 && list.items == nullptr);
        break;
      }
      int64_t count = Int(f[1]);
      if (n - 2 < 2 * count) count = (n - 2) / 2;
      if (count <= 0) {
        FUZZ_CHECK(result == -5 && error == -5 && list.count == 0 && list.items == nullptr);
        break;
      }
      FUZZ_CHECK(result == 0 && error == 0 && list.count == count && list.items != nullptr);
      for (int64_t i = 0; i < count; ++i)
        FUZZ_CHECK(list.items[i].first == Int(f[2 + 2 * i]) && list.items[i].second == Int(f[3 + 2 * i]));
      FreeMemory(&context, list.items);
      break;
    }
    default: {
      TCustomUIResult list{7, nullptr};
      result = ReceiveGetResultFromCustomUIV01(&context, session, &error, &list);
      if (n <= 0) {
        FUZZ_CHECK(rejected() && list.count == -1 && list.items == nullptr);
        break;
      }
      if (n == 1 || Int(f[0]) != 0) {
        FUZZ_CHECK(result == 0 && error == Int(f[0]) && list.count == -1 && list.items == nullptr);
        break;
      }
      int64_t count = Int(f[1]);
      if (count <= 0 || count > n - 2) {
        FUZZ_CHECK(result == 0 && error == -5 && list.count == 0 && list.items == nullptr);
        break;
      }
      FUZZ_CHECK(result == 0 && error == 0 && list.count == count && list.items != nullptr);
      for (int64_t i = 0; i < count; ++i) {
        FUZZ_CHECK(f[2 + i] == list.items[i]);
        FreeMemory(&context, list.items[i]);
      }
      FreeMemory(&context, list.items);
      break;
    }
  }
  // The reply's files are consumed whatever they held.
  FUZZ_CHECK(access(Path("finished").c_str(), F_OK) != 0 && access(Path("message").c_str(), F_OK) != 0);
  return 0;
}

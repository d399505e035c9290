#include <gtest/gtest.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "base/os.h"
#include "device/system_status.h"
#include "device_fakes.h"
#include "support/os_fault.h"
#include "support/temp_root.h"

namespace varnix {
namespace {

using test::StdoutCapture;
using test::TempRoot;

// The allocator's free space, as the test sets it.
size_t gAllocatorFree;

struct VARNIX_MALLINFO FakeMallinfo() {
  struct VARNIX_MALLINFO info = {};
  info.fordblks = static_cast<decltype(info.fordblks)>(gAllocatorFree);
  return info;
}

class FakeAllocator {
 public:
  explicit FakeAllocator(size_t freeBytes) {
    gAllocatorFree = freeBytes;
    os::gOsCurrent.Mallinfo = &FakeMallinfo;
  }
  ~FakeAllocator() { os::gOsCurrent.Mallinfo = os::gOsDefaults.Mallinfo; }
};

const char* const KMissingMessage = "CommitLimit, Committed_AS or Cached not filled in!\n";

std::string Meminfo(const std::string& total, const std::string& commitLimit, const std::string& committed,
                    const std::string& cached) {
  std::string text = "MemTotal:       " + total + " kB\nMemFree:          123456 kB\n";
  if (!cached.empty()) text += "Cached:           " + cached + " kB\nSwapCached:            7 kB\n";
  if (!commitLimit.empty()) text += "CommitLimit:     " + commitLimit + " kB\n";
  if (!committed.empty()) text += "Committed_AS:    " + committed + " kB\n";
  return text;
}

struct TTotalCase {
  const char* name;
  std::string meminfo;
  int32_t bytes;
};

TEST(GetTotalMemory, MemTotalInBytesSaturatingAt32Bits) {
  TempRoot root;
  const std::vector<TTotalCase> cases = {
      {"device", Meminfo("62224", "1", "1", "1"), 62224 * 1024},
      {"justFits", "MemTotal:    2097151 kB\n", 2097151 * 1024},
      {"twoGiB", "MemTotal:    2097152 kB\n", INT32_MAX},
      {"desktop", Meminfo("16318256", "1", "1", "1"), INT32_MAX},
      {"hugeNumber", "MemTotal:    99999999999999999999999999999 kB\n", INT32_MAX},
      {"lastLineWins", "MemTotal:    1000 kB\nMemTotal:    2000 kB\n", 2000 * 1024},
      {"noLineEnd", "MemTotal:    3000", 3000 * 1024},
      {"noMemTotal", "MemFree:    3000 kB\n", 0},
      {"shortLine", "MemTotal:\n", 0},
      {"shortLineThenText", std::string("MemTotal:12\0" "45678 kB\n", 21), 0},
      {"negative", "MemTotal:    -5 kB\n", 0},
      {"notANumber", "MemTotal:    lots\n", 0},
      {"empty", "", 0},
      {"binary", std::string("\0\xff\x01MemTotal:  5\n", 16), 0},
      {"overLongLine", "MemTotal:    " + std::string(500, '7') + "\n", INT32_MAX},
      {"overLongLineBefore", std::string(300, 'x') + "MemTotal:    8 kB\n" + "MemTotal:    9 kB\n", 9 * 1024},
  };
  for (const TTotalCase& c : cases) {
    SCOPED_TRACE(c.name);
    root.WriteFile("/proc/meminfo", c.meminfo);
    EXPECT_EQ(GetTotalMemory(), c.bytes);
  }
}

TEST(GetTotalMemory, MissingMeminfoGivesZero) {
  TempRoot root;
  EXPECT_EQ(GetTotalMemory(), 0);
}

struct TFreeCase {
  const char* name;
  std::string meminfo;
  size_t allocatorFree;
  int32_t bytes;
  bool message;
};

TEST(GetFreeMemory, CommitRoomPlusAllocatorFreeSpace) {
  TempRoot root;
  const std::vector<TFreeCase> cases = {
      {"overcommitted", Meminfo("1", "60000", "70000", "1000"), 0, 0, false},
      {"overcommittedPlusAllocator", Meminfo("1", "60000", "70000", "1000"), 8 * 1024 * 1024, 8192 * 1024, false},
      {"room", Meminfo("1", "100000", "40000", "1"), 0, 60000 * 1024, false},
      {"roomPlusAllocator", Meminfo("1", "100000", "40000", "1"), 2048 + 1023, (60000 + 2) * 1024, false},
      {"allocatorBelowOneKb", Meminfo("1", "100000", "40000", "1"), 1023, 60000 * 1024, false},
      {"noCached", Meminfo("1", "100000", "40000", ""), 4096, 4 * 1024, true},
      {"cachedZero", Meminfo("1", "100000", "40000", "0"), 0, 0, true},
      {"noCommitLimit", Meminfo("1", "", "40000", "5"), 0, 0, true},
      {"swapCachedIsNotCached", "CommitLimit: 9 kB\nCommitted_AS: 1 kB\nSwapCached: 5 kB\n", 0, 0, true},
      {"desktop", Meminfo("1", "40000000", "9000000", "5"), 0, INT32_MAX, false},
      {"desktopAllocator", Meminfo("1", "60000", "70000", "1000"), size_t(3) << 30, INT32_MAX, false},
      {"hugeNumbers", Meminfo("1", std::string(40, '9'), "1", "1"), SIZE_MAX, INT32_MAX, false},
      {"garbage", std::string("\x01\0\xfe CommitLimit: 5\n", 19) + std::string(400, 'C'), 0, 0, true},
      {"patternsWithoutBlank", "CommitLimit:5 kB\nCommitted_AS:2 kB\nCached:1", 0, 3 * 1024, false},
  };
  for (const TFreeCase& c : cases) {
    SCOPED_TRACE(c.name);
    root.WriteFile("/proc/meminfo", c.meminfo);
    FakeAllocator allocator(c.allocatorFree);
    StdoutCapture out;
    EXPECT_EQ(GetFreeMemory(), c.bytes);
    EXPECT_EQ(out.Take(), c.message ? KMissingMessage : "");
  }
}

TEST(GetFreeMemory, MissingMeminfoGivesAllocatorFreeSpaceWithoutMessage) {
  TempRoot root;
  FakeAllocator allocator(5 * 1024 + 10);
  StdoutCapture out;
  EXPECT_EQ(GetFreeMemory(), 5 * 1024);
  EXPECT_EQ(out.Take(), "");
}

TEST(GetFreeMemory, AsksTheRealAllocator) {
  TempRoot root;
  root.WriteFile("/proc/meminfo", Meminfo("1", "100", "40", "1"));
  test::OsFaultGuard guard;
  test::CountCall("Mallinfo");
  int32_t bytes = GetFreeMemory();
  EXPECT_EQ(test::CallCount("Mallinfo"), 1);
  EXPECT_GE(bytes, 60 * 1024);
  EXPECT_EQ(bytes % 1024, 0);
}

}  // namespace
}  // namespace varnix

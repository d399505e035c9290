#include "messaging/text_helpers.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "base/os.h"
#include "support/os_fault.h"

namespace varnix {
namespace {

TEST(TextHelpers, LengthCopyAndAppend) {
  EXPECT_EQ(TextLength(""), 0);
  EXPECT_EQ(TextLength("GetRouteCoordinatesV01|"), 23);

  char buffer[16];
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(TextCopy(buffer, "abc"), buffer);
  EXPECT_EQ(std::string(buffer, 5), std::string("abc\0x", 5));

  char* appended = TextAppend(buffer, "de");
  EXPECT_EQ(appended, buffer + 3);
  EXPECT_STREQ(buffer, "abcde");
  EXPECT_EQ(TextAppend(buffer, ""), buffer + 5);
  EXPECT_STREQ(buffer, "abcde");
}

TEST(TextHelpers, CompareGivesTheByteDifferenceAsUnsigned) {
  struct TCase {
    const char* a;
    const char* b;
    int32_t expected;
  } cases[] = {
      {"abc", "abc", 0},
      {"", "", 0},
      {"abc", "abd", 'c' - 'd'},
      {"abd", "abc", 'd' - 'c'},
      {"ab", "abc", -'c'},
      {"abc", "ab", 'c'},
      {"\xff", "a", 0xff - 'a'},  // bytes are unsigned: 0xff is large
      {"a", "\xe9", 'a' - 0xe9},
  };
  for (const TCase& c : cases) EXPECT_EQ(TextCompare(c.a, c.b), c.expected) << c.a << " vs " << c.b;
}

TEST(TextHelpers, EndsWith) {
  struct TCase {
    const char* text;
    const char* suffix;
    int expected;
  } cases[] = {
      {"x.finished", ".finished", 1},
      {".finished", ".finished", 1},
      {"finished", ".finished", 0},  // shorter than the suffix
      {"x.Finished", ".finished", 0},
      {"x.finished.tmp", ".finished", 0},
      {"abc", "", 1},
      {"", "", 1},
      {"", "a", 0},
  };
  for (const TCase& c : cases) EXPECT_EQ(TextEndsWith(c.text, c.suffix), c.expected) << c.text << " / " << c.suffix;
}

// The destination holds n + 1 bytes; a guard byte after them must survive.
TEST(TextHelpers, CopyBoundedStaysWithinNPlusOneBytes) {
  struct TCase {
    const char* text;
    int32_t n;
    std::string expected;  // the first n + 1 bytes of the destination
  } cases[] = {
      {"abcdef", 3, std::string("abc\0", 4)},
      {"abc", 3, std::string("abc\0", 4)},
      {"ab", 5, std::string("ab\0\0\x5a\x5a", 6)},  // zero byte copied, one written after it
      {"", 2, std::string("\0\0\x5a", 3)},
      {"abc", 0, std::string("\0", 1)},
  };
  for (const TCase& c : cases) {
    char buffer[16];
    memset(buffer, 0x5a, sizeof buffer);
    EXPECT_EQ(TextCopyBounded(buffer, c.text, c.n), buffer);
    EXPECT_EQ(std::string(buffer, c.n + 1), c.expected) << c.text << " n=" << c.n;
    EXPECT_EQ(buffer[c.n + 1], 0x5a) << "wrote past n + 1 bytes for " << c.text;
  }
}

TEST(TextHelpers, DuplicateAndAllocZeroed) {
  const char* original = "myapp";
  char* copy = TextDuplicate(original);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, original);
  EXPECT_STREQ(copy, "myapp");
  os::Free(copy);

  unsigned char* block = static_cast<unsigned char*>(AllocZeroed(300));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(block[i], 0) << i;
  os::Free(block);
}

TEST(TextHelpers, AllocationFailuresGiveNull) {
  test::OsFaultGuard guard;
  test::FailCall("Malloc", 1, ENOMEM, test::EFailFromThenOn);
  EXPECT_EQ(TextDuplicate("abc"), nullptr);
  EXPECT_EQ(AllocZeroed(64), nullptr);
  EXPECT_EQ(test::FaultsFired("Malloc"), 2);
}

TEST(TextHelpers, SleepGoesThroughTheSeam) {
  test::OsFaultGuard guard;
  test::CountCall("Usleep");
  SleepMicroseconds(1);
  EXPECT_EQ(test::CallCount("Usleep"), 1);
}

}  // namespace
}  // namespace varnix

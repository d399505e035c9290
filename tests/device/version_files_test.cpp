#include <errno.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/system_status.h"
#include "device_fakes.h"
#include "support/os_fault.h"
#include "support/temp_root.h"

namespace varnix {
namespace {

using test::StdoutCapture;
using test::TempRoot;

const char* const KBootver = "/mnt/flash/sysfile/bootver";

struct TVersionCase {
  const char* name;
  std::string content;
  int32_t version;
};

TEST(GetSystemVersion, DigitsOfTheFirstLineInOrder) {
  TempRoot root;
  const std::vector<TVersionCase> cases = {
      {"dotted", "4.12.003\n", 412003},
      {"eightDigitsAtMost", "123456789\n", 12345678},
      {"stopsAfterEight", "99999999 1\n", 99999999},
      {"sevenThenMore", "1234567.89", 12345678},
      {"textAround", "Varnix OS 2.1 build 7\n", 217},
      {"firstLineOnly", "v1\n2\n", 1},
      {"empty", "", 0},
      {"noDigits", "release\n", 0},
      {"lineCutAt31", std::string(30, 'x') + "12345\n", 1},
      {"binary", std::string("\x07\xff" "5\0" "6\n", 6), 5},
      {"crlf", "3.2\r\n", 32},
  };
  for (const TVersionCase& c : cases) {
    SCOPED_TRACE(c.name);
    root.WriteFile("/etc/version", c.content);
    EXPECT_EQ(GetSystemVersion(), c.version);
  }
}

TEST(GetSystemVersion, MissingFileGivesZero) {
  TempRoot root;
  StdoutCapture out;
  EXPECT_EQ(GetSystemVersion(), 0);
  EXPECT_EQ(out.Take(), "");
}

// The boot loader version is read once per process, so every case runs as
// a test of its own.
struct TBootCase {
  const char* name;
  bool present;
  std::string content;
  int32_t version;
  const char* shown;  // the text printed in quotes; null when none
  int readBytes;      // -1 when the read is not short
};

std::string Padded(const std::string& text, char pad = '\0') { return text + std::string(16 - text.size(), pad); }

class BootLoaderVersion : public testing::TestWithParam<TBootCase> {};

TEST_P(BootLoaderVersion, ReducedOnceWithItsMessages) {
  const TBootCase& c = GetParam();
  TempRoot root;
  if (c.present) root.WriteFile(KBootver, c.content);
  StdoutCapture out;
  EXPECT_EQ(GetBootLoaderVersion(), c.version);
  std::string expected;
  if (!c.present)
    expected = "GetBootLoaderVersion: Unable to open " + root(KBootver) + ": No such file or directory\n";
  else if (c.readBytes >= 0)
    expected = "GetBootLoaderVersion: Read " + std::to_string(c.readBytes) + " bytes from " + root(KBootver) +
               ", should be 16!\n";
  else
    expected = std::string("Boot loader version \"") + c.shown + "\"\n";
  expected += "Boot loader version reduced to integer " + std::to_string(c.version) + "\n";
  EXPECT_EQ(out.Take(), expected);

  root.WriteFile(KBootver, Padded("9.99"));
  EXPECT_EQ(GetBootLoaderVersion(), c.version);
  EXPECT_EQ(out.Take(), "") << "read once, quietly afterwards";
}

const TBootCase KBootCases[] = {
    {"TwoDecimals", true, Padded("5.18"), 518, "5.18", -1},
    {"OneDecimal", true, Padded("5.1\n"), 510, "5.1\n", -1},
    {"NoDecimals", true, Padded("5"), 500, "5", -1},
    {"ThirdDecimalIgnored", true, Padded("5.183"), 518, "5.183", -1},
    {"LettersSkipped", true, Padded("rev2.07b"), 207, "rev2.07b", -1},
    {"BlankPadding", true, Padded("1.2", ' '), 120, "1.2             ", -1},
    {"ControlCharEnds", true, Padded("3.\x01" "45"), 300, "3.\x01" "45", -1},
    {"SixteenDigits", true, "9999999999999999", INT32_MAX, "9999999999999999", -1},
    {"HighBytesSkipped", true, Padded("\xff" "7.5\xfe"), 750, "\xff" "7.5\xfe", -1},
    {"FifteenBytes", true, std::string(15, '1'), 0, nullptr, 15},
    {"EmptyFile", true, "", 0, nullptr, 0},
    {"LongerFileReadsSixteen", true, "6.02" + std::string(30, ' '), 602, "6.02            ", -1},
    {"Missing", false, "", 0, nullptr, -1},
};

INSTANTIATE_TEST_SUITE_P(Files, BootLoaderVersion, testing::ValuesIn(KBootCases),
                         [](const testing::TestParamInfo<TBootCase>& param) { return std::string(param.param.name); });

TEST(BootLoaderVersionRead, ErrorPrintsItsMessage) {
  TempRoot root;
  root.WriteFile(KBootver, Padded("5.18"));
  test::OsFaultGuard guard;
  test::FailCall("Read", 1, EIO);
  StdoutCapture out;
  EXPECT_EQ(GetBootLoaderVersion(), 0);
  EXPECT_EQ(out.Take(), "GetBootLoaderVersion: Unable to read " + root(KBootver) +
                            ": Input/output error\nBoot loader version reduced to integer 0\n");
  EXPECT_EQ(GetBootLoaderVersion(), 0);
}

TEST(BootLoaderVersionRead, ClosesTheFile) {
  TempRoot root;
  root.WriteFile(KBootver, std::string(3, '1'));
  test::OsFaultGuard guard;
  test::CountCall("Open");
  test::CountCall("Close");
  StdoutCapture out;
  GetBootLoaderVersion();
  EXPECT_EQ(test::CallCount("Open"), 1);
  EXPECT_EQ(test::CallCount("Close"), 1);
}

}  // namespace
}  // namespace varnix

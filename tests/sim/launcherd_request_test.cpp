// The request parsing of varnix-launcherd, case by case.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "request.h"

namespace varnix {
namespace launcherd {
namespace {

TEST(LauncherdRequestTest, ParsesEachVerbAndRefusesEverythingElse) {
  struct {
    std::string text;
    TVerb verb;
    int32_t pid;
    std::vector<std::string> words;
    std::string error;
  } cases[] = {
      {"LAUNCH /bin/app -x", EVerbLaunch, 0, {"/bin/app", "-x"}, ""},
      {"LAUNCH  /bin/app\t\t-x  ", EVerbLaunch, 0, {"/bin/app", "-x"}, ""},
      {"LAUNCH", EVerbInvalid, 0, {}, "no command"},
      {"LAUNCH ", EVerbInvalid, 0, {}, "no command"},
      {"LAUNCH \t ", EVerbInvalid, 0, {}, "no command"},
      {"WAIT4 345", EVerbWait, 345, {}, ""},
      {"WAIT4 -3", EVerbWait, -3, {}, ""},
      {"WAIT4 2147483647", EVerbWait, 2147483647, {}, ""},
      {"WAIT4 2147483648", EVerbInvalid, 0, {}, "bad process id"},
      {"KILL -2147483648", EVerbKill, -2147483647 - 1, {}, ""},
      {"KILL -2147483649", EVerbInvalid, 0, {}, "bad process id"},
      {"KILL 99999999999999999999", EVerbInvalid, 0, {}, "bad process id"},
      {"KILL", EVerbInvalid, 0, {}, "no process id"},
      {"KILL ", EVerbInvalid, 0, {}, "bad process id"},
      {"KILL -", EVerbInvalid, 0, {}, "bad process id"},
      {"KILL +5", EVerbInvalid, 0, {}, "bad process id"},
      {"KILL 5 ", EVerbInvalid, 0, {}, "bad process id"},
      {"KILL 0x5", EVerbInvalid, 0, {}, "bad process id"},
      {"kill 5", EVerbInvalid, 0, {}, "unknown request"},
      {"LAUNCHX /bin/app", EVerbInvalid, 0, {}, "unknown request"},
      {" LAUNCH /bin/app", EVerbInvalid, 0, {}, "unknown request"},
      {"", EVerbInvalid, 0, {}, "unknown request"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("[" + c.text + "]");
    TRequest request = ParseRequest(c.text);
    EXPECT_EQ(request.verb, c.verb);
    EXPECT_EQ(request.pid, c.pid);
    EXPECT_EQ(request.words, c.words);
    EXPECT_EQ(request.error, c.error);
  }
}

TEST(LauncherdRequestTest, KeepsTheCommandTextAsSent) {
  EXPECT_EQ(ParseRequest("LAUNCH  /bin/app  -x ").command, " /bin/app  -x ");
}

TEST(LauncherdRequestTest, LogTextShowsOnlyPrintableBytesAndIsCut) {
  EXPECT_EQ(Printable("KILL 5"), "KILL 5");
  EXPECT_EQ(Printable(std::string("a\0b\n\xff\\", 6)), "a\\x00b\\x0a\\xff\\x5c");
  EXPECT_EQ(Printable(std::string(300, 'x'), 10), std::string(10, 'x') + "...");
}

}  // namespace
}  // namespace launcherd
}  // namespace varnix

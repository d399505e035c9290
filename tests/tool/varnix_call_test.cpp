// varnix-call: its command line and JSON texts, then the program itself
// against varnix-navsim (every call of the catalogue) and against scripted
// replies.

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "call_tool.h"
#include "json_value.h"
#include "messaging/call_table.h"
#include "support/child_process.h"
#include "support/temp_root.h"

namespace varnix {
namespace {

using test::JsonValue;

// The command line.

struct TUsageCase {
  std::vector<const char*> argv;
  const char* problem;  // what the one line says
};

TEST(VarnixCallCommandLine, UsageErrors) {
  const TUsageCase cases[] = {
      {{}, "no call given"},
      {{"--halves"}, "no call given"},
      {{"NoSuchCallV01"}, "unknown call NoSuchCallV01"},
      {{"GeocodeByPostalCodeV01", "a", "b", "c"}, "unknown call"},
      {{"getcurrentpositionv01"}, "unknown call"},
      {{"GetFavoriteV01"}, "GetFavoriteV01 takes 1 argument (integer), 0 given"},
      {{"GetFavoriteV01", "1", "2"}, "takes 1 argument"},
      {{"SetFavoriteV01", "1", "a", "b", "2"}, "takes 5 arguments (integer,text,text,integer,integer), 4 given"},
      {{"ClearRouteV01", "x"}, "takes 0 arguments (none), 1 given"},
      {{"GetSdkVersion", "1"}, "takes 0 arguments"},
      {{"SendCallToCustomUIAndWait", "1", "x"}, "takes 3 arguments"},
      {{"SendCallToCustomUIAndWait", "1", "x", "soon"}, "argument 3 of SendCallToCustomUIAndWait is not a decimal"},
      {{"GetFavoriteV01", "12a"}, "argument 1 of GetFavoriteV01 is not a decimal 32-bit integer: 12a"},
      {{"GetFavoriteV01", ""}, "not a decimal"},
      {{"GetFavoriteV01", "2147483648"}, "not a decimal"},
      {{"GetFavoriteV01", "-2147483649"}, "not a decimal"},
      {{"GetFavoriteV01", "0x10"}, "not a decimal"},
      {{"GetFavoriteV01", "+5"}, "not a decimal"},
      {{"GetFavoriteV01", " 5"}, "not a decimal"},
      {{"GetFavoriteV01", "-"}, "not a decimal"},
      {{"NavigateToCoordinatesV01", "1", "x", "name"}, "argument 2 of"},
      {{"--verbose", "ClearRouteV01"}, "unknown option --verbose"},
      {{"--name"}, "--name needs a value"},
      {{"--name", "my.app", "ClearRouteV01"}, "endpoint name"},
      {{"--name", "", "ClearRouteV01"}, "endpoint name"},
      {{"--name", "a/b", "ClearRouteV01"}, "endpoint name"},
  };
  for (const TUsageCase& c : cases) {
    std::vector<const char*> argv{"varnix-call"};
    argv.insert(argv.end(), c.argv.begin(), c.argv.end());
    std::string line;
    for (const char* a : c.argv) line += std::string(a) + " ";
    SCOPED_TRACE(line);
    calltool::TCommand command;
    std::string problem = calltool::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), &command);
    EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    EXPECT_EQ(problem.find('\n'), std::string::npos);
  }
}

TEST(VarnixCallCommandLine, AcceptedForms) {
  const char* argv[] = {"varnix-call", "--name", "myapp", "--halves", "ShowCoordinatesOnMapV01", "-2147483648",
                        "2147483647"};
  calltool::TCommand command;
  EXPECT_EQ(calltool::ParseCommandLine(7, argv, &command), "");
  EXPECT_EQ(command.endpointName, "myapp");
  EXPECT_TRUE(command.halves);
  EXPECT_EQ(command.call, "ShowCoordinatesOnMapV01");
  EXPECT_EQ(command.arguments, (std::vector<std::string>{"-2147483648", "2147483647"}));

  // After the call everything is an argument, and "--" ends the options.
  const char* texts[] = {"varnix-call", "--", "SwitchMapV01", "--halves"};
  calltool::TCommand second;
  EXPECT_EQ(calltool::ParseCommandLine(4, texts, &second), "");
  EXPECT_FALSE(second.halves);
  EXPECT_EQ(second.arguments, (std::vector<std::string>{"--halves"}));
  EXPECT_EQ(second.endpointName, "client");
}

struct TIntegerCase {
  const char* text;
  bool valid;
  int value;
};

TEST(VarnixCallCommandLine, Integers) {
  const TIntegerCase cases[] = {
      {"0", true, 0},         {"-0", true, 0},          {"007", true, 7},
      {"-12", true, -12},     {"2147483647", true, 2147483647}, {"-2147483648", true, -2147483647 - 1},
      {"2147483648", false, 0}, {"99999999999999999999", false, 0}, {"", false, 0},
      {"-", false, 0},        {"1.5", false, 0},        {"1e3", false, 0},
  };
  for (const TIntegerCase& c : cases) {
    int value = 12345;
    EXPECT_EQ(calltool::ParseInteger(c.text, &value), c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

struct TJsonCase {
  std::string bytes;
  std::string json;
};

TEST(VarnixCallJson, TextsAreEscaped) {
  const TJsonCase cases[] = {
      {"plain text", "\"plain text\""},
      {"", "\"\""},
      {"a\"b", "\"a\\\"b\""},
      {"back\\slash", "\"back\\\\slash\""},
      {"line\nfeed\ttab\rret", "\"line\\nfeed\\ttab\\rret\""},
      {std::string("\x01\x1f\x7f", 3), "\"\\u0001\\u001f\x7f\""},
      {std::string("z\0z", 3), "\"z\\u0000z\""},
      {"\x80\xe9\xff", "\"\\u0080\\u00e9\\u00ff\""},
      {"/", "\"/\""},
  };
  for (const TJsonCase& c : cases) {
    EXPECT_EQ(calltool::JsonText(c.bytes), c.json);
    JsonValue value;
    std::string problem;
    ASSERT_TRUE(test::ParseJson(c.json, &value, &problem)) << problem;
    EXPECT_EQ(value.text, c.bytes);
  }
}

// The program.

std::string ListRunDirectory(const test::TempRoot& root) {
  std::string names;
  DIR* dir = opendir(root("/var/run").c_str());
  if (dir == nullptr) return "(no directory)";
  while (struct dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names += name + " ";
  }
  closedir(dir);
  return names;
}

struct TRun {
  int exit = -1;
  std::string output;
  std::string errors;
};

TRun RunCall(const std::vector<std::string>& arguments) {
  TRun run;
  run.exit = test::RunProgram("varnix-call", arguments, &run.output, &run.errors);
  return run;
}

TEST(VarnixCallProgram, UsageErrorsExitTwoAndSendNothing) {
  test::TempRoot root;
  const std::vector<std::vector<std::string>> commands = {
      {},
      {"NoSuchCallV01"},
      {"GetFavoriteV01"},
      {"GetFavoriteV01", "1", "2"},
      {"GetFavoriteV01", "one"},
      {"FlashMessageV01", "hello", "99999999999"},
      {"--bogus", "ClearRouteV01"},
      {"--name", "a.b", "ClearRouteV01"},
  };
  for (const std::vector<std::string>& command : commands) {
    std::string line;
    for (const std::string& a : command) line += a + " ";
    SCOPED_TRACE(line);
    TRun run = RunCall(command);
    EXPECT_EQ(run.exit, 2);
    EXPECT_EQ(run.output, "");
    ASSERT_FALSE(run.errors.empty());
    EXPECT_EQ(run.errors.find('\n'), run.errors.size() - 1) << run.errors;  // one line
    EXPECT_EQ(run.errors.rfind("varnix-call: ", 0), 0u) << run.errors;
    EXPECT_EQ(ListRunDirectory(root), "");
  }
}

TEST(VarnixCallProgram, ListsTheCatalogue) {
  TRun run = RunCall({"--list"});
  EXPECT_EQ(run.exit, 0);
  std::istringstream lines(run.output);
  std::string line;
  int n = 0;
  while (std::getline(lines, line)) {
    ASSERT_LT(n, KNavigatorCallCount);
    EXPECT_EQ(line.substr(0, line.find('\t')), KNavigatorCalls[n].name);
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 2) << line;
    ++n;
  }
  EXPECT_EQ(n, 58);
  for (const char* expected : {"GetRouteCoordinatesV01\tnone\tcoordinate list (2 or more fields)\n",
                               "SetFavoriteV01\tinteger,text,text,integer,integer\tcode only (1 field)\n",
                               "GeocodeByPostalCode\ttext,text,text\trecord (1 or 6 fields)\n",
                               "GetRouteInfoV01\tnone\trecord (1 or 14 fields)\n",
                               "GetCurrentStopoverV01\tnone\tinteger (1 or 2 fields)\n",
                               "GetResultFromCustomUIV01\tnone\ttext list (1 or more fields)\n"})
    EXPECT_NE(run.output.find(expected), std::string::npos) << expected;
}

TEST(VarnixCallProgram, Help) {
  TRun run = RunCall({"--help"});
  EXPECT_EQ(run.exit, 0);
  for (const char* part : {"--name NAME", "--halves", "--list", "GetSdkVersion", "SendCallToCustomUIAndWait",
                           "\"items\":null", "\\u0080", "Exit status", "VARNIX_ROOT"})
    EXPECT_NE(run.output.find(part), std::string::npos) << part;
}

TEST(VarnixCallProgram, SdkVersionSendsNothing) {
  test::TempRoot root;
  TRun run = RunCall({"GetSdkVersion"});
  EXPECT_EQ(run.exit, 0);
  EXPECT_EQ(run.output, "{\"call\":\"GetSdkVersion\",\"result\":0,\"error\":0,\"output\":[\"6.0\",206]}\n");
  EXPECT_EQ(ListRunDirectory(root), "");
}

// Checks one line of varnix-call's output against the form of the call.
void ExpectForm(const std::string& output, const std::string& call, TReplyShape shape, const TRecordLayout* layout) {
  ASSERT_FALSE(output.empty());
  ASSERT_EQ(output.find('\n'), output.size() - 1) << "one line: " << output;
  for (unsigned char c : output) ASSERT_LT(c, 0x80) << "only ASCII: " << output;
  JsonValue json;
  std::string problem;
  ASSERT_TRUE(test::ParseJson(output, &json, &problem)) << problem << ": " << output;
  ASSERT_EQ(json.kind, JsonValue::EObject);
  ASSERT_EQ(json.members.size(), 4u) << output;
  const char* names[] = {"call", "result", "error", "output"};
  for (size_t i = 0; i < 4; ++i) ASSERT_EQ(json.members[i].first, names[i]) << output;
  EXPECT_EQ(json.members[0].second.kind, JsonValue::EString);
  EXPECT_EQ(json.members[0].second.text, call);
  EXPECT_TRUE(json.members[1].second.IsInteger());
  EXPECT_TRUE(json.members[2].second.IsInteger());
  const JsonValue& out = json.members[3].second;
  switch (shape) {
    case EReplyCode:
      EXPECT_EQ(out.kind, JsonValue::ENull) << output;
      break;
    case EReplyInteger:
      EXPECT_TRUE(out.IsInteger()) << output;
      break;
    case EReplyRecord:
      ASSERT_EQ(out.kind, JsonValue::EArray) << output;
      ASSERT_EQ(static_cast<int32_t>(out.items.size()), layout->count) << output;
      for (int32_t i = 0; i < layout->count; ++i) {
        if (layout->fields[i].type == EFieldInteger)
          EXPECT_TRUE(out.items[static_cast<size_t>(i)].IsInteger()) << output;
        else
          EXPECT_EQ(out.items[static_cast<size_t>(i)].kind, JsonValue::EString) << output;
      }
      break;
    case EReplyCoordinateList:
    case EReplyTextList: {
      ASSERT_EQ(out.kind, JsonValue::EObject) << output;
      ASSERT_EQ(out.members.size(), 2u) << output;
      ASSERT_EQ(out.members[0].first, "count");
      ASSERT_EQ(out.members[1].first, "items");
      ASSERT_TRUE(out.members[0].second.IsInteger());
      const JsonValue& items = out.members[1].second;
      if (items.kind == JsonValue::ENull) break;
      ASSERT_EQ(items.kind, JsonValue::EArray) << output;
      ASSERT_EQ(static_cast<long long>(items.items.size()), out.members[0].second.Integer()) << output;
      for (const JsonValue& item : items.items) {
        if (shape == EReplyTextList) {
          EXPECT_EQ(item.kind, JsonValue::EString) << output;
        } else {
          ASSERT_EQ(item.kind, JsonValue::EArray) << output;
          ASSERT_EQ(item.items.size(), 2u) << output;
          EXPECT_TRUE(item.items[0].IsInteger());
          EXPECT_TRUE(item.items[1].IsInteger());
        }
      }
      break;
    }
  }
}

// varnix-navsim under a temporary root of the test's own.
class AgainstNavsim : public ::testing::Test {
 protected:
  void StartNavsim(const std::vector<std::string>& arguments = {}) {
    ASSERT_TRUE(navsim.Start("varnix-navsim", arguments));
  }
  void TearDown() override {
    if (!navsim.Exited()) {
      navsim.Signal(SIGTERM);
      int status = 0;
      EXPECT_TRUE(navsim.Wait(&status));
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
  }
  void WriteScript(const std::string& text) {
    scriptPath = root("/script.txt");
    std::ofstream(scriptPath, std::ios::binary) << text;
  }

  test::TempRoot root;
  test::ChildProcess navsim;
  std::string scriptPath;
};

// Request fields that the simulation accepts.
std::vector<std::string> ArgumentsFor(const char* request) {
  const char* integers[] = {"52090000", "5120000", "52100000", "5130000", "1"};
  const char* texts[] = {"Simcity", "Main Street", "5", "NL", "note"};
  std::vector<std::string> arguments;
  for (size_t n = 0; request[n] != 0; ++n) arguments.push_back(request[n] == 'i' ? integers[n] : texts[n]);
  return arguments;
}

class EveryCallThroughTheTool : public AgainstNavsim, public ::testing::WithParamInterface<int> {};

// Every call succeeds and prints the form of its output. The blocking form
// and the halves take turns; StopApplicationV01 uses its halves (the blocking
// form would wait 11 seconds for the navigator to go), and the simulator
// exits after it.
TEST_P(EveryCallThroughTheTool, SucceedsWithOutputOfItsForm) {
  const TNavigatorCall& call = KNavigatorCalls[GetParam()];
  const bool stop = std::string(call.name) == "StopApplicationV01";
  StartNavsim();
  std::vector<std::string> command;
  if (GetParam() % 2 == 1 || stop) command.push_back("--halves");
  command.push_back(call.name);
  for (const std::string& a : ArgumentsFor(call.request)) command.push_back(a);
  TRun run = RunCall(command);
  EXPECT_EQ(run.exit, 0) << run.output << run.errors;
  EXPECT_EQ(run.errors, "");
  ExpectForm(run.output, call.name, call.shape, call.layout);
  EXPECT_NE(run.output.find("\"result\":0,"), std::string::npos) << run.output;
  if (stop) {
    int status = 0;
    ASSERT_TRUE(navsim.Wait(&status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(ListRunDirectory(root), "");  // every file of the exchange consumed
}

INSTANTIATE_TEST_SUITE_P(Catalogue, EveryCallThroughTheTool, ::testing::Range(0, KNavigatorCallCount),
                         [](const ::testing::TestParamInfo<int>& param) { return KNavigatorCalls[param.param].name; });

TEST_F(AgainstNavsim, FavouriteRoundTrip) {
  StartNavsim();
  EXPECT_EQ(RunCall({"SetFavoriteV01", "3", "Home", "Main Street 1", "52100000", "-5130000"}).output,
            "{\"call\":\"SetFavoriteV01\",\"result\":0,\"error\":0,\"output\":null}\n");
  EXPECT_EQ(RunCall({"GetFavoriteV01", "3"}).output,
            "{\"call\":\"GetFavoriteV01\",\"result\":0,\"error\":0,\"output\":[\"Home\",\"Main Street 1\",52100000,-5130000]}\n");
  EXPECT_EQ(RunCall({"--halves", "ClearFavoriteV01", "3"}).output,
            "{\"call\":\"ClearFavoriteV01\",\"result\":0,\"error\":0,\"output\":null}\n");
  // Not there any more: the code alone, the zeroed record stays as it was.
  EXPECT_EQ(RunCall({"GetFavoriteV01", "3"}).output,
            "{\"call\":\"GetFavoriteV01\",\"result\":0,\"error\":-4,\"output\":[\"\",\"\",0,0]}\n");
}

TEST_F(AgainstNavsim, CustomUIWaitThroughTheTool) {
  StartNavsim();
  EXPECT_EQ(RunCall({"StartCustomUIV01", "1", "app", "x"}).exit, 0);
  TRun run = RunCall({"SendCallToCustomUIAndWait", "7", "a \"quoted\" word", "2"});
  EXPECT_EQ(run.exit, 0);
  EXPECT_EQ(run.output,
            "{\"call\":\"SendCallToCustomUIAndWait\",\"result\":0,\"error\":0,\"output\":"
            "{\"count\":3,\"items\":[\"7\",\"a \\\"quoted\\\" word\",\"done\"]}}\n");
  // Nothing pending any more: a code other than 0, no list.
  EXPECT_EQ(RunCall({"GetResultFromCustomUIV01"}).output,
            "{\"call\":\"GetResultFromCustomUIV01\",\"result\":0,\"error\":-4,\"output\":{\"count\":-1,\"items\":null}}\n");
}

TEST_F(AgainstNavsim, NameOption) {
  StartNavsim();
  TRun run = RunCall({"--name", "myapp", "GetInternetConnectionStatusV01"});
  EXPECT_EQ(run.exit, 0);
  EXPECT_EQ(run.output, "{\"call\":\"GetInternetConnectionStatusV01\",\"result\":0,\"error\":0,\"output\":0}\n");
}

TEST_F(AgainstNavsim, TextsAreEscapedEndToEnd) {
  WriteScript("GetUniqueDeviceIdV01 0|q\"b\\s\ttab\x01\x7f\xe9\xff|-5|\n");
  StartNavsim({"--script", scriptPath});
  TRun run = RunCall({"GetUniqueDeviceIdV01"});
  EXPECT_EQ(run.exit, 0);
  EXPECT_EQ(run.output,
            "{\"call\":\"GetUniqueDeviceIdV01\",\"result\":0,\"error\":0,\"output\":"
            "[\"q\\\"b\\\\s\\ttab\\u0001\x7f\\u00e9\\u00ff\",-5]}\n");
}

struct TScriptedCase {
  std::vector<std::string> command;
  int exit;
  std::string output;
};

TEST_F(AgainstNavsim, ScriptedReplies) {
  WriteScript(
      "GetRouteInfoV01 0|1|2|\n"
      "GetRouteCoordinatesV01 0|3|1|2|3|4|\n"
      "GetCurrentStopoverV01 0|1|2|\n"
      "GetResultFromCustomUIV01 0|3|a|b|\n"
      "ClearRouteV01 17|\n"
      "StopApplicationV01 5|\n"
      "EnableExternalGPSInputV01\n");
  StartNavsim({"--script", scriptPath});
  const TScriptedCase cases[] = {
      {{"GetRouteInfoV01"}, 1,
       "{\"call\":\"GetRouteInfoV01\",\"result\":-2,\"error\":-2,\"output\":[0,0,0,0,0,0,0,0,0,0,0,0,0]}\n"},
      {{"--halves", "GetRouteCoordinatesV01"}, 0,
       "{\"call\":\"GetRouteCoordinatesV01\",\"result\":0,\"error\":0,\"output\":{\"count\":2,\"items\":[[1,2],[3,4]]}}\n"},
      {{"GetCurrentStopoverV01"}, 1,
       "{\"call\":\"GetCurrentStopoverV01\",\"result\":-2,\"error\":-2,\"output\":0}\n"},
      {{"GetResultFromCustomUIV01"}, 0,
       "{\"call\":\"GetResultFromCustomUIV01\",\"result\":0,\"error\":-5,\"output\":{\"count\":0,\"items\":null}}\n"},
      {{"ClearRouteV01"}, 0, "{\"call\":\"ClearRouteV01\",\"result\":0,\"error\":17,\"output\":null}\n"},
      // A refused stop: the blocking form returns at once, the simulator stays.
      {{"StopApplicationV01"}, 0, "{\"call\":\"StopApplicationV01\",\"result\":0,\"error\":5,\"output\":null}\n"},
      {{"EnableExternalGPSInputV01"}, 1,
       "{\"call\":\"EnableExternalGPSInputV01\",\"result\":-2,\"error\":-2,\"output\":0}\n"},
  };
  for (const TScriptedCase& c : cases) {
    SCOPED_TRACE(c.command.back());
    TRun run = RunCall(c.command);
    EXPECT_EQ(run.exit, c.exit);
    EXPECT_EQ(run.output, c.output);
  }
  EXPECT_FALSE(navsim.Exited());
}

}  // namespace
}  // namespace varnix

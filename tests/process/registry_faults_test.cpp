// Creating the shared UI process id file under every OS failure it can
// meet. A process that cannot open the registry ends itself, so each attempt
// runs in a forked child: the 1st, 2nd, ... Nth call of each kind fails in
// turn. The file is never seen shorter than its 4 bytes, no temporary file
// is left behind, the child's descriptors are all given back when it closes
// the registry, and the next process opens the registry.
#include <errno.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process/instance_registry.h"
#include "process_support.h"
#include "support/fault_table.h"
#include "support/os_fault.h"
#include "support/temp_root.h"

namespace varnix {
namespace test {
namespace {

const int KOpened = 0;         // the child opened and closed the registry cleanly
const int KEndedItself = 1;    // the registry ended the process: it could not open
const int KDescriptorLeft = 3; // the registry was closed, a descriptor stayed open

// In a child: arms fault (unless call is empty), opens the registry, closes
// it and exits with one of the codes above. Returns the wait status.
int OpenInChild(const std::string& call, int nth, int error) {
  fflush(stdout);
  pid_t child = fork();
  if (child == 0) {
    CloseUiPidFile();
    freopen("/dev/null", "w", stdout);
    int before = OpenDescriptors();
    if (!call.empty()) FailCall(call.c_str(), nth, error);
    OpenUiPidFile(0);
    ResetOsFaults();
    CloseUiPidFile();
    _exit(OpenDescriptors() == before ? KOpened : KDescriptorLeft);
  }
  int status = -1;
  waitpid(child, &status, 0);
  return status;
}

// The calls that opening the registry as the first process makes, and how
// often: counted in a child.
std::vector<std::pair<std::string, int>> CountCalls() {
  int channel[2];
  EXPECT_EQ(pipe(channel), 0);
  pid_t child = fork();
  if (child == 0) {
    CloseUiPidFile();
    freopen("/dev/null", "w", stdout);
    for (int i = 0; i < OsCallCount(); ++i) CountCall(OsCallName(i));
    OpenUiPidFile(0);
    std::string counts;
    for (int i = 0; i < OsCallCount(); ++i)
      if (CallCount(OsCallName(i)) > 0) counts += std::string(OsCallName(i)) + " " + std::to_string(CallCount(OsCallName(i))) + "\n";
    ResetOsFaults();
    write(channel[1], counts.data(), counts.size());
    _exit(0);
  }
  close(channel[1]);
  std::string text;
  char buffer[512];
  for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  close(channel[0]);
  waitpid(child, nullptr, 0);
  std::vector<std::pair<std::string, int>> counts;
  std::istringstream lines(text);
  std::string name;
  int count;
  while (lines >> name >> count) counts.push_back({name, count});
  return counts;
}

std::set<std::string> RunDirectory(const TempRoot& root) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(root("/var/run")))
    names.insert(entry.path().filename().string());
  return names;
}

TEST(RegistryFaults, TheSharedFileIsWholeOrAbsentAndTheNextProcessOpensIt) {
  TempRoot root;
  const std::string file = root("/var/run/uipidshm");
  std::vector<std::pair<std::string, int>> counts = CountCalls();
  ASSERT_FALSE(counts.empty());
  unlink(file.c_str());

  int cases = 0;
  for (const auto& count : counts) {
    for (int nth = 1; nth <= count.second; ++nth) {
      for (int error : RealisticErrors(count.first)) {
        TFaultCase fault{count.first, nth, error};
        SCOPED_TRACE(fault.Describe());
        unlink(file.c_str());
        int status = OpenInChild(fault.call, nth, error);
        ASSERT_TRUE(WIFEXITED(status)) << DescribeStatus(status);
        int code = WEXITSTATUS(status);
        EXPECT_TRUE(code == KOpened || code == KEndedItself) << "exit " << code;
        std::set<std::string> names = RunDirectory(root);
        // Only a failing unlink may leave the temporary name (it holds the
        // creator's process id, so a later creation by that id replaces it).
        for (const std::string& name : names) {
          bool temporary = name.compare(0, 9, "uipidshm.") == 0 && fault.call == "Unlink";
          EXPECT_TRUE(name == "uipidshm" || temporary) << name << " left behind";
          if (temporary) unlink(root("/var/run/" + name).c_str());
        }
        struct stat info;
        if (stat(file.c_str(), &info) == 0) {
          EXPECT_EQ(info.st_size, 4) << "the shared file is seen incomplete";
        } else {
          EXPECT_EQ(code, KEndedItself) << "opened without a shared file";
        }
        printf("[fault] %s -> %s\n", fault.Describe().c_str(), code == KOpened ? "opened" : "ended itself");
        // The next process.
        EXPECT_EQ(OpenInChild("", 0, 0), KOpened << 8) << "the next process could not open the registry";
        EXPECT_EQ(stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_size, 4);
        ++cases;
        if (HasFailure()) return;
      }
    }
  }
  EXPECT_GE(cases, 8);
}

}  // namespace
}  // namespace test
}  // namespace varnix

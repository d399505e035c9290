// The instance registry across real processes: forked copies of the test
// open the registry beside each other (and beside the test itself), and the
// master launches through a real varnix-launcherd.

#include <errno.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process/instance_registry.h"
#include "process/launcher_client.h"
#include "process_support.h"
#include "support/os_fault.h"
#include "support/temp_root.h"
#include "support/wait.h"

namespace varnix {
namespace test {
namespace {

const char KUiPidFile[] = "/var/run/uipidshm";
const std::string KMaster = "Opening in MASTER mode\n";
const std::string KSlave = "Opening in SLAVE mode\n";
const std::string KCannotOpen = "Error: cannot open uipid file.\n";
const std::string KNotResponding =
    "Send: Server not responding!\nReceive: Server not responding!\nClose: Server not responding!\n";

bool ExitedWith(int status, int code) { return WIFEXITED(status) && WEXITSTATUS(status) == code; }

std::set<std::string> RunDirectory(const TempRoot& root) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(root("/var/run"), error))
    names.insert(entry.path().filename().string());
  return names;
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// body in a forked copy that starts without the registry this process may
// have open, as a newly started program would.
std::function<int()> Fresh(const std::function<int()>& body) {
  return [body] {
    CloseUiPidFile();
    return body();
  };
}

class InstanceRegistryTest : public ::testing::Test {
 protected:
  void TearDown() override { CloseUiPidFile(); }

  // Opens the registry in this process; returns what it printed.
  std::string OpenHere() {
    return CapturedStdout([] { GetUiPid(); });
  }

  TempRoot root;
  FastRetries fast;
};

// --- master and slaves -------------------------------------------------------

TEST_F(InstanceRegistryTest, TheFirstProcessIsTheMasterAndEveryLaterOneASlave) {
  ForkedChild first([] { return GetUiPid() == 0 ? 0 : 1; });
  EXPECT_TRUE(ExitedWith(first.Wait(), 0));
  EXPECT_EQ(first.Output(), KMaster);
  EXPECT_EQ(root.ReadFile(KUiPidFile), std::string(4, '\0'));

  // The master has ended; the file stays, so this one is a slave too, and a
  // slave launches nothing (it would print the launcher's lines here).
  for (int i = 0; i < 2; ++i) {
    ForkedChild later([] {
      GetUiPid();
      return LaunchAdditionalProcess("/bin/sleep 30") == 0 ? 0 : 1;
    });
    EXPECT_TRUE(ExitedWith(later.Wait(), 0));
    EXPECT_EQ(later.Output(), KSlave);
  }
  EXPECT_EQ(RunDirectory(root), std::set<std::string>{"uipidshm"});
}

TEST_F(InstanceRegistryTest, AValueSetInOneProcessIsSeenInAnotherAtOnce) {
  EXPECT_EQ(OpenHere(), KMaster);
  int toParent[2], toChild[2];
  ASSERT_EQ(pipe(toParent), 0);
  ASSERT_EQ(pipe(toChild), 0);
  ForkedChild slave(Fresh([&] {
    char byte = 0;
    GetUiPid();
    SetUiPid(1234);
    if (write(toParent[1], "s", 1) != 1) return 2;
    // Waits for the parent's value while still running.
    if (read(toChild[0], &byte, 1) != 1) return 3;
    return GetUiPid() == 4321 ? 0 : 1;
  }));
  char byte = 0;
  ASSERT_EQ(read(toParent[0], &byte, 1), 1);
  EXPECT_EQ(GetUiPid(), 1234);
  EXPECT_EQ(SetUiPid(4321), 4321);
  ASSERT_EQ(write(toChild[1], "p", 1), 1);
  EXPECT_TRUE(ExitedWith(slave.Wait(), 0)) << DescribeStatus(slave.Wait());
  EXPECT_EQ(slave.Output(), KSlave);
  for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) close(fd);
}

TEST_F(InstanceRegistryTest, ReleaseUiPidClearsOnlyTheCallersOwnId) {
  OpenHere();
  SetUiPid(4242);
  ForkedChild other(Fresh([] { return ReleaseUiPid(); }));
  EXPECT_TRUE(ExitedWith(other.Wait(), 0));
  EXPECT_EQ(GetUiPid(), 4242);

  ForkedChild owner(Fresh([] {
    SetUiPid(0);  // not open yet: does nothing
    GetUiPid();
    SetUiPid(static_cast<int32_t>(getpid()));
    return ReleaseUiPid();
  }));
  EXPECT_TRUE(ExitedWith(owner.Wait(), 0));
  EXPECT_EQ(GetUiPid(), 0);

  SetUiPid(static_cast<int32_t>(getpid()));
  EXPECT_EQ(ReleaseUiPid(), 0);
  EXPECT_EQ(GetUiPid(), 0);
}

TEST_F(InstanceRegistryTest, SetUiPidBeforeTheRegistryIsOpenDoesNothing) {
  EXPECT_EQ(SetUiPid(5), 5);
  EXPECT_FALSE(root.Exists(KUiPidFile));
  int32_t value = -1;
  EXPECT_EQ(CapturedStdout([&] { value = GetUiPid(); }), KMaster);
  EXPECT_EQ(value, 0);
}

TEST_F(InstanceRegistryTest, AfterCloseTheNextGetJoinsAgainAsASlave) {
  EXPECT_EQ(OpenHere(), KMaster);
  SetUiPid(7);
  CloseUiPidFile();
  EXPECT_EQ(SetUiPid(8), 8);  // closed: no effect
  int32_t value = -1;
  EXPECT_EQ(CapturedStdout([&] { value = GetUiPid(); }), KSlave);
  EXPECT_EQ(value, 7);
  EXPECT_EQ(LaunchAdditionalProcess("/bin/sleep 30"), 0);
}

TEST_F(InstanceRegistryTest, AForcedMasterResetsTheValueThatOthersShare) {
  OpenHere();
  SetUiPid(77);
  ForkedChild forced(Fresh([] {
    OpenUiPidFile(1);
    return GetUiPid() == 0 ? 0 : 1;
  }));
  EXPECT_TRUE(ExitedWith(forced.Wait(), 0));
  EXPECT_EQ(forced.Output(), KMaster);
  EXPECT_EQ(GetUiPid(), 0) << "the forced master wrote into the same file";
  EXPECT_EQ(RunDirectory(root), std::set<std::string>{"uipidshm"});
}

TEST_F(InstanceRegistryTest, ManyProcessesOpeningAtOnceMakeExactlyOneMaster) {
  const int rounds = 8, processes = 10;
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    unlink(root(KUiPidFile).c_str());
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<std::unique_ptr<ForkedChild>> children;
    for (int i = 0; i < processes; ++i) {
      children.emplace_back(new ForkedChild([&] {
        char byte;
        close(gate[1]);
        if (read(gate[0], &byte, 1) != 0) return 2;  // all start when the gate closes
        OpenUiPidFile(0);
        SetUiPid(GetUiPid() + 1);  // reads and writes the mapping
        return 0;
      }));
    }
    close(gate[0]);
    close(gate[1]);
    int masters = 0, slaves = 0;
    for (auto& child : children) {
      int status = child->Wait();
      EXPECT_TRUE(ExitedWith(status, 0)) << DescribeStatus(status);
      masters += child->Output() == KMaster ? 1 : 0;
      slaves += child->Output() == KSlave ? 1 : 0;
    }
    EXPECT_EQ(masters, 1);
    EXPECT_EQ(slaves, processes - 1);
    EXPECT_EQ(root.ReadFile(KUiPidFile).size(), 4u);
    EXPECT_EQ(RunDirectory(root), std::set<std::string>{"uipidshm"});
  }
}

TEST_F(InstanceRegistryTest, AFileShorterThanFourBytesIsGrownBeforeItIsMapped) {
  struct {
    std::string contents;
    int32_t value;
  } cases[] = {{"", 0}, {std::string("\x01\x02", 2), 0x0201}};
  for (const auto& c : cases) {
    root.WriteFile(KUiPidFile, c.contents);
    int32_t expected = c.value;
    ForkedChild slave([expected] {
      if (GetUiPid() != expected) return 1;
      SetUiPid(99);
      return GetUiPid() == 99 ? 0 : 1;
    });
    int status = slave.Wait();
    EXPECT_TRUE(ExitedWith(status, 0)) << DescribeStatus(status);
    EXPECT_EQ(slave.Output(), KSlave);
    EXPECT_EQ(root.ReadFile(KUiPidFile).size(), 4u);
  }
}

// --- failures ----------------------------------------------------------------

TEST_F(InstanceRegistryTest, AFileThatCannotBeCreatedOrOpenedEndsTheProcess) {
  struct {
    const char* name;
    bool fileExists;
    std::function<void()> arm;
    std::string output;
  } cases[] = {
      {"no run directory", false, [this] { RemoveTree(root("/var/run")); }, KMaster + KCannotOpen},
      {"creating fails", false, [] { FailCall("Open", 2, EACCES); }, KMaster + KCannotOpen},
      {"writing fails", false, [] { FailCall("Write", 1, ENOSPC); }, KMaster + KCannotOpen},
      {"linking fails", false, [] { FailCall("Link", 1, EIO); }, KMaster + KCannotOpen},
      {"master cannot open", false, [] { FailCall("Open", 3, EACCES); }, KMaster + KCannotOpen},
      {"slave cannot open", true, [] { FailCall("Open", 2, EACCES); }, KSlave + KCannotOpen},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    root.MakeDirs("/var/run");
    if (c.fileExists)
      root.WriteFile(KUiPidFile, std::string(4, '\0'));
    else
      unlink(root(KUiPidFile).c_str());
    ForkedChild child([&c] {
      OsFaultGuard guard;
      c.arm();
      GetUiPid();
      return 0;
    });
    int status = child.Wait();
    EXPECT_TRUE(ExitedWith(status, 1)) << DescribeStatus(status);
    EXPECT_EQ(child.Output(), c.output);
    for (const std::string& name : RunDirectory(root)) EXPECT_EQ(name.find(".new"), std::string::npos) << name;
  }
}

TEST_F(InstanceRegistryTest, WithoutAMappingTheValueReadsZeroAndWritesAreDropped) {
  ForkedChild child([] {
    OsFaultGuard guard;
    FailCall("Mmap", 1, ENOMEM);
    if (GetUiPid() != 0) return 1;
    SetUiPid(9);
    return GetUiPid() == 0 ? 0 : 1;
  });
  EXPECT_TRUE(ExitedWith(child.Wait(), 0));
  EXPECT_EQ(child.Output(), KMaster);
}

TEST_F(InstanceRegistryTest, AMasterWithoutATableLaunchesNothing) {
  ForkedChild child([] {
    OsFaultGuard guard;
    FailCall("Malloc", 1, ENOMEM);
    GetUiPid();
    return LaunchAdditionalProcess("/bin/sleep 30") == 0 ? 0 : 1;
  });
  EXPECT_TRUE(ExitedWith(child.Wait(), 0));
  EXPECT_EQ(child.Output(), KMaster);
}

// --- the master's processes ----------------------------------------------------

class MasterLaunchTest : public InstanceRegistryTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(daemon.Start()) << daemon.Log();
    ASSERT_EQ(OpenHere(), KMaster);
  }

  int32_t Launch(const std::string& command, std::string* output) {
    int32_t pid = -99;
    *output = CapturedStdout([&] { pid = LaunchAdditionalProcess(command.c_str()); });
    return pid;
  }

  size_t Started() const { return Occurrences(daemon.Log(), "started pid"); }

  LauncherDaemon daemon{root};
};

TEST_F(MasterLaunchTest, TheSameCommandTwiceIsLaunchedOnce) {
  std::string output;
  int32_t pid = Launch("/bin/sleep 30", &output);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(output, "child_pid is " + std::to_string(pid) + "\n");
  EXPECT_EQ(Launch("/bin/sleep 30", &output), pid);
  EXPECT_EQ(output, "");
  EXPECT_EQ(Started(), 1u);
}

TEST_F(MasterLaunchTest, AnEleventhCommandFindsNoFreeEntry) {
  std::string output;
  std::vector<int32_t> pids;
  for (int i = 0; i < 10; ++i) {
    pids.push_back(Launch("/bin/sleep " + std::to_string(30 + i), &output));
    ASSERT_GT(pids.back(), 0) << output;
  }
  EXPECT_EQ(Launch("/bin/sleep 40", &output), 0);
  EXPECT_EQ(output, "Maximum (10) processes are running!\n");
  EXPECT_EQ(Launch("/bin/sleep 33", &output), pids[3]) << "a recorded command is still found";
  EXPECT_EQ(Started(), 10u);
}

TEST_F(MasterLaunchTest, AnEndedProcessIsReapedAndClearsTheUiPidWhenItWasTheUiProcess) {
  // The processes end when the test says so, so that no launch reaps them
  // before the one that is looked at.
  auto end = [&](int32_t pid) {
    ASSERT_EQ(KillProcess(pid), 0);
    ASSERT_TRUE(daemon.WaitForLog("pid " + std::to_string(pid) + " ended")) << daemon.Log();
  };
  std::string output;
  int32_t ui = Launch("/bin/sleep 30", &output);
  int32_t other = Launch("/bin/sleep 31", &output);
  int32_t stays = Launch("/bin/sleep 32", &output);
  ASSERT_GT(ui, 0);
  ASSERT_GT(other, 0);
  ASSERT_GT(stays, 0);
  SetUiPid(ui);
  end(ui);
  end(other);

  int32_t next = Launch("/bin/sleep 33", &output);
  ASSERT_GT(next, 0);
  EXPECT_EQ(output, "Found zombie process [/bin/sleep 30] with id " + std::to_string(ui) + "\n" +
                        "Found zombie process [/bin/sleep 31] with id " + std::to_string(other) + "\n" +
                        "child_pid is " + std::to_string(next) + "\n");
  EXPECT_EQ(GetUiPid(), 0);

  // Freed: the same command is launched anew. The UI process id stays when
  // the UI process is not among the ended.
  int32_t again = Launch("/bin/sleep 30", &output);
  ASSERT_GT(again, 0);
  EXPECT_NE(again, ui);
  EXPECT_EQ(Launch("/bin/sleep 32", &output), stays);
  SetUiPid(stays);
  end(again);
  Launch("/bin/sleep 34", &output);
  EXPECT_EQ(output.find("Found zombie process [/bin/sleep 30] with id " + std::to_string(again) + "\n"), 0u) << output;
  EXPECT_EQ(GetUiPid(), stays);
}

TEST_F(MasterLaunchTest, ACommandTextOf128CharactersOrMoreIsRefused) {
  std::string output;
  std::string fits = "/bin/sleep " + std::string(114, '0') + "30";  // 127 characters
  ASSERT_EQ(fits.size(), 127u);
  int32_t pid = Launch(fits, &output);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(Launch(fits, &output), pid);

  for (const std::string& tooLong : {fits + "0", fits + std::string(500, '0')}) {
    EXPECT_EQ(Launch(tooLong, &output), -1);
    EXPECT_EQ(output, "Launching additional process failed!\n");
  }
  EXPECT_EQ(Started(), 1u);
}

TEST_F(MasterLaunchTest, AFailedLaunchIsReportedAndNotRecorded) {
  std::string output;
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(Launch("/no/such/program", &output), -1);
    EXPECT_EQ(output, "child_pid is -1\nLaunching additional process failed!\n");
  }
  daemon.Stop();
  EXPECT_EQ(Launch("/bin/sleep 30", &output), -1);
  EXPECT_EQ(output, KNotResponding + "child_pid is -1\nLaunching additional process failed!\n");
}

TEST_F(MasterLaunchTest, AnEmptyCommandFindsAFreeEntryAndLaunchesNothing) {
  std::string output;
  EXPECT_EQ(Launch("", &output), 0);
  EXPECT_EQ(output, "");
  EXPECT_EQ(Started(), 0u);
}

}  // namespace
}  // namespace test
}  // namespace varnix

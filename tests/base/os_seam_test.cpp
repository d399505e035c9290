#include "base/os.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/os_fault.h"
#include "support/temp_root.h"

namespace varnix {
namespace {

TEST(OsSeam, CallsReachTheSystemByDefault) {
  test::TempRoot root;
  std::string path = root("/var/run/seam");
  int fd = os::Open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(os::Write(fd, "abc", 3), 3);
  EXPECT_EQ(os::Close(fd), 0);
  EXPECT_EQ(root.ReadFile("/var/run/seam"), "abc");
  EXPECT_EQ(os::Getpid(), getpid());
}

TEST(OsSeam, TheNthCallFailsOnceWithTheChosenErrno) {
  test::TempRoot root;
  test::OsFaultGuard guard;
  std::string path = root("/var/run/seam");
  int fd = os::Open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(test::FailCall("Write", 2, ENOSPC));
  EXPECT_EQ(os::Write(fd, "a", 1), 1);
  errno = 0;
  EXPECT_EQ(os::Write(fd, "b", 1), -1);
  EXPECT_EQ(errno, ENOSPC);
  EXPECT_EQ(os::Write(fd, "c", 1), 1) << "once: later calls go through";
  EXPECT_EQ(test::CallCount("Write"), 3);
  EXPECT_EQ(test::FaultsFired("Write"), 1);
  os::Close(fd);
  EXPECT_EQ(root.ReadFile("/var/run/seam"), "ac");
}

TEST(OsSeam, FromThenOnAndRestore) {
  test::OsFaultGuard guard;
  ASSERT_TRUE(test::FailCall("Malloc", 1, ENOMEM, test::EFailFromThenOn));
  EXPECT_EQ(os::Malloc(8), nullptr);
  EXPECT_EQ(os::Malloc(8), nullptr);
  EXPECT_EQ(test::FaultsFired("Malloc"), 2);
  test::ResetOsFaults();
  void* block = os::Malloc(8);
  EXPECT_NE(block, nullptr);
  os::Free(block);
}

TEST(OsSeam, PointerResultsFailWithTheirOwnFailureValue) {
  test::TempRoot root;
  test::OsFaultGuard guard;
  test::FailCall("Fopen", 1, EMFILE);
  errno = 0;
  EXPECT_EQ(os::Fopen(root("/etc/version").c_str(), "w"), nullptr);
  EXPECT_EQ(errno, EMFILE);
  test::FailCall("Mmap", 1, ENOMEM);
  EXPECT_EQ(os::Mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0), MAP_FAILED);
  test::FailCall("Opendir", 1, ENOENT);
  EXPECT_EQ(os::Opendir(root.Path().c_str()), nullptr);
}

TEST(OsSeam, AnEntryCanBeReplacedByHand) {
  test::OsFaultGuard guard;
  static int slept;
  slept = 0;
  os::gOsCurrent.Usleep = [](useconds_t us) {
    slept += static_cast<int>(us);
    return 0;
  };
  os::Usleep(1000000);
  os::Usleep(5);
  EXPECT_EQ(slept, 1000005);
  os::RestoreOsDefaults();
  EXPECT_EQ(os::gOsCurrent.Usleep, os::gOsDefaults.Usleep);
}

TEST(OsSeam, EveryCallHasAName) {
  EXPECT_FALSE(test::FailCall("NoSuchCall", 1, EIO));
  for (int i = 0; i < test::OsCallCount(); ++i) {
    test::OsFaultGuard guard;
    EXPECT_TRUE(test::CountCall(test::OsCallName(i))) << i;
  }
}

}  // namespace
}  // namespace varnix

#include "base/path_operations.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "base/os.h"
#include "support/os_fault.h"
#include "support/temp_root.h"
#include "support/unprivileged.h"

namespace varnix {
namespace {

using test::OsFaultGuard;
using test::TempRoot;

// Deterministic bytes that differ at every position of a 64 KiB round.
std::string Pattern(size_t n) {
  std::string bytes(n, '\0');
  uint32_t state = 12345;
  for (size_t i = 0; i < n; ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(state >> 16);
  }
  return bytes;
}

mode_t ModeOf(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return 0;
  return info.st_mode & 07777;
}

// The lowest free descriptor: a descriptor left open moves it.
int LowestFreeDescriptor() {
  int fd = dup(0);
  close(fd);
  return fd;
}

class PathOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override { oldMask = umask(022); }
  void TearDown() override { umask(oldMask); }

  // A terminated path string for a device path in the temporary root.
  CPathString Path(const std::string& devicePath) {
    CPathString p;
    p.AssignText(root(devicePath).c_str());
    p.Terminate();
    return p;
  }

  TempRoot root;
  mode_t oldMask = 0;
};

TEST_F(PathOperationsTest, MakeDirCreatesOneDirectory) {
  CPathString fresh = Path("/mnt/sdcard/fresh");
  EXPECT_EQ(MakeDir(fresh), 0);
  EXPECT_EQ(ModeOf(root("/mnt/sdcard/fresh")), 0755u);
  EXPECT_EQ(MakeDir(fresh), -1);  // exists already

  CPathString deep = Path("/mnt/sdcard/missing/child");
  EXPECT_EQ(MakeDir(deep), -1);
  EXPECT_FALSE(root.Exists("/mnt/sdcard/missing"));
}

TEST_F(PathOperationsTest, MakeDirTerminatesThePathInPlace) {
  CPathString p;
  p.AssignText((root("/mnt/sdcard/made") + "XYZ").c_str());
  p.SetLength(p.Length() - 3);
  EXPECT_EQ(MakeDir(p), 0);
  EXPECT_EQ(p.Data()[p.Length()], 0);
  EXPECT_TRUE(root.Exists("/mnt/sdcard/made"));
  EXPECT_FALSE(root.Exists("/mnt/sdcard/madeXYZ"));
}

TEST_F(PathOperationsTest, RemoveDirRemovesOnlyEmptyDirectories) {
  root.MakeDirs("/mnt/sdcard/empty");
  root.MakeDirs("/mnt/sdcard/full");
  root.WriteFile("/mnt/sdcard/full/f", "x");
  CPathString empty = Path("/mnt/sdcard/empty");
  CPathString full = Path("/mnt/sdcard/full");
  CPathString missing = Path("/mnt/sdcard/none");
  EXPECT_EQ(RemoveDir(empty), 0);
  EXPECT_FALSE(root.Exists("/mnt/sdcard/empty"));
  EXPECT_EQ(RemoveDir(full), -1);
  EXPECT_TRUE(root.Exists("/mnt/sdcard/full/f"));
  EXPECT_EQ(RemoveDir(missing), -1);
}

TEST_F(PathOperationsTest, ExistenceTestsTellFilesFromDirectories) {
  root.MakeDirs("/mnt/sdcard/dir");
  root.WriteFile("/mnt/sdcard/file", "x");
  ASSERT_EQ(symlink(root("/mnt/sdcard/file").c_str(), root("/mnt/sdcard/link-to-file").c_str()), 0);
  ASSERT_EQ(symlink(root("/mnt/sdcard/dir").c_str(), root("/mnt/sdcard/link-to-dir").c_str()), 0);
  ASSERT_EQ(symlink(root("/mnt/sdcard/nowhere").c_str(), root("/mnt/sdcard/dangling").c_str()), 0);
  ASSERT_EQ(mkfifo(root("/mnt/sdcard/fifo").c_str(), 0644), 0);
  struct {
    const char* devicePath;
    int isFile;
    int isDirectory;
  } const cases[] = {
      {"/mnt/sdcard/dir", 0, 1},          {"/mnt/sdcard/dir/", 0, 1},     {"/mnt/sdcard/file", 1, 0},
      {"/mnt/sdcard/link-to-file", 1, 0}, {"/mnt/sdcard/link-to-dir", 0, 1}, {"/mnt/sdcard/dangling", 0, 0},
      {"/mnt/sdcard/missing", 0, 0},      {"/mnt/sdcard/fifo", 0, 0},     {"/mnt/sdcard/file/", 0, 0},
  };
  for (const auto& c : cases) {
    CPathString p = Path(c.devicePath);
    EXPECT_EQ(FileExists(p), c.isFile) << c.devicePath;
    EXPECT_EQ(DirectoryExists(p), c.isDirectory) << c.devicePath;
  }
  CPathString empty;
  EXPECT_EQ(FileExists(empty), 0);
  EXPECT_EQ(DirectoryExists(empty), 0);
}

TEST_F(PathOperationsTest, UnreadableFilesAndDirectoriesDoNotExistForTheProcess) {
  root.MakeDirs("/mnt/sdcard/closed");
  root.MakeDirs("/mnt/sdcard/open");
  root.WriteFile("/mnt/sdcard/secret", "x");
  root.WriteFile("/mnt/sdcard/public", "x");
  ASSERT_EQ(chmod(root("/mnt/sdcard/closed").c_str(), 0311), 0);  // may be entered, not read
  ASSERT_EQ(chmod(root("/mnt/sdcard/secret").c_str(), 0200), 0);
  ASSERT_EQ(chmod(root.Path().c_str(), 0755), 0);
  CPathString closed = Path("/mnt/sdcard/closed");
  CPathString open = Path("/mnt/sdcard/open");
  CPathString secret = Path("/mnt/sdcard/secret");
  CPathString publicFile = Path("/mnt/sdcard/public");

  test::TUnprivilegedRun run = test::RunUnprivileged([&] {
    return std::vector<int>{DirectoryExists(closed), DirectoryExists(open), FileExists(secret), FileExists(publicFile)};
  });
  if (run.cannotDrop) GTEST_SKIP() << run.reason;
  ASSERT_TRUE(run.ran) << run.reason;
  EXPECT_EQ(run.values, (std::vector<int>{0, 1, 0, 1}));
}

TEST_F(PathOperationsTest, DeleteFileAndRenameFile) {
  root.WriteFile("/mnt/sdcard/a", "A");
  root.WriteFile("/mnt/sdcard/b", "B");
  root.MakeDirs("/mnt/sdcard/d1/inner");
  EXPECT_EQ(RenameFile(Path("/mnt/sdcard/a"), Path("/mnt/sdcard/b")), 0);  // replaces b
  EXPECT_FALSE(root.Exists("/mnt/sdcard/a"));
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/b"), "A");
  EXPECT_EQ(RenameFile(Path("/mnt/sdcard/d1"), Path("/mnt/sdcard/d2")), 0);
  EXPECT_TRUE(root.Exists("/mnt/sdcard/d2/inner"));
  EXPECT_EQ(RenameFile(Path("/mnt/sdcard/none"), Path("/mnt/sdcard/c")), -1);
  EXPECT_EQ(RenameFile(Path("/mnt/sdcard/b"), Path("/mnt/sdcard/nodir/b")), -1);
  EXPECT_TRUE(root.Exists("/mnt/sdcard/b"));

  EXPECT_EQ(DeleteFile(Path("/mnt/sdcard/b")), 0);
  EXPECT_FALSE(root.Exists("/mnt/sdcard/b"));
  EXPECT_EQ(DeleteFile(Path("/mnt/sdcard/b")), -1);
  EXPECT_EQ(DeleteFile(Path("/mnt/sdcard/d2")), -1);  // a directory
}

// A path whose characters are not followed by a terminator names exactly
// those characters; it is neither written to nor read past.
TEST_F(PathOperationsTest, UnterminatedPathsAreUsedAsTheyStand) {
  root.WriteFile("/mnt/sdcard/file", "x");
  root.WriteFile("/mnt/sdcard/fileXYZ", "wrong one");
  CPathString p;
  p.AssignText(root("/mnt/sdcard/fileXYZ").c_str());
  p.SetLength(p.Length() - 3);
  EXPECT_EQ(FileExists(p), 1);
  EXPECT_EQ(p.Data()[p.Length()], 'X');  // untouched

  // Filled to its capacity: there is no room for a terminator at all.
  std::string full = root("/mnt/sdcard/file");
  char chars[64];
  memcpy(chars, full.data(), full.size());
  CDynString exact = CDynString::WrapChars(chars, static_cast<int>(full.size()));
  EXPECT_EQ(exact.Length(), exact.Capacity());
  EXPECT_EQ(FileExists(exact), 1);
  EXPECT_EQ(DeleteFile(exact), 0);
  EXPECT_FALSE(root.Exists("/mnt/sdcard/file"));
  EXPECT_TRUE(root.Exists("/mnt/sdcard/fileXYZ"));
}

TEST_F(PathOperationsTest, IsAbsolutePath) {
  struct {
    const char* text;
    int absolute;
  } const cases[] = {{"", 0}, {"/x", 1}, {"x/", 0}, {"/", 1}, {"./x", 0}, {" /x", 0}};
  for (const auto& c : cases) EXPECT_EQ(IsAbsolutePath(CDynString::WrapText(c.text)), c.absolute) << c.text;
}

// ---- CopyFile ----------------------------------------------------------

class CopyFileSizeTest : public PathOperationsTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(CopyFileSizeTest, CopiesEveryByteIn64KiBRounds) {
  size_t size = GetParam();
  std::string bytes = Pattern(size);
  root.WriteFile("/mnt/sdcard/source", bytes);
  OsFaultGuard guard;
  test::CountCall("Write");
  test::CountCall("Malloc");
  EXPECT_EQ(CopyFile(Path("/mnt/sdcard/source"), Path("/mnt/flash/target")), 0);
  EXPECT_EQ(test::CallCount("Write"), static_cast<int>((size + 65535) / 65536));
  EXPECT_EQ(test::CallCount("Malloc"), 1);
  EXPECT_TRUE(root.ReadFile("/mnt/flash/target") == bytes) << "target differs, size " << size;
}

INSTANTIATE_TEST_SUITE_P(Sizes, CopyFileSizeTest, ::testing::Values(0, 1, 65535, 65536, 65537, 3 * 65536 + 17));

TEST_F(PathOperationsTest, CopyFileOntoALongerTargetLeavesExactlyTheSource) {
  root.WriteFile("/mnt/sdcard/short", "short");
  root.WriteFile("/mnt/flash/long", std::string(100000, 'L'));
  EXPECT_EQ(CopyFile(Path("/mnt/sdcard/short"), Path("/mnt/flash/long")), 0);
  EXPECT_EQ(root.ReadFile("/mnt/flash/long"), "short");
}

TEST_F(PathOperationsTest, CopyFileGivesTheTargetTheSourcesPermissionBits) {
  struct {
    mode_t source;
    bool targetExists;
  } const cases[] = {{0640, false}, {0666, false}, {0755, false}, {0604, true}, {0700, true}};
  for (const auto& c : cases) {
    root.WriteFile("/mnt/sdcard/src", "bits");
    ASSERT_EQ(chmod(root("/mnt/sdcard/src").c_str(), c.source), 0);
    unlink(root("/mnt/flash/dst").c_str());
    if (c.targetExists) {
      root.WriteFile("/mnt/flash/dst", "previous");
      ASSERT_EQ(chmod(root("/mnt/flash/dst").c_str(), 0600), 0);
    }
    EXPECT_EQ(CopyFile(Path("/mnt/sdcard/src"), Path("/mnt/flash/dst")), 0);
    EXPECT_EQ(ModeOf(root("/mnt/flash/dst")), c.source) << std::oct << c.source;
    EXPECT_EQ(root.ReadFile("/mnt/flash/dst"), "bits");
  }
}

TEST_F(PathOperationsTest, CopyFileFailsOnAMissingSourceOrTargetDirectory) {
  EXPECT_EQ(CopyFile(Path("/mnt/sdcard/none"), Path("/mnt/flash/t")), -1);
  EXPECT_FALSE(root.Exists("/mnt/flash/t"));
  root.WriteFile("/mnt/sdcard/s", "s");
  EXPECT_EQ(CopyFile(Path("/mnt/sdcard/s"), Path("/mnt/flash/nodir/t")), -1);
  root.MakeDirs("/mnt/sdcard/adir");
  EXPECT_EQ(CopyFile(Path("/mnt/sdcard/s"), Path("/mnt/sdcard/adir")), -1);  // a directory as target
}

TEST_F(PathOperationsTest, CopyFileOntoItselfChangesNothing) {
  std::string bytes = Pattern(70000);
  root.WriteFile("/mnt/sdcard/self", bytes);
  ASSERT_EQ(link(root("/mnt/sdcard/self").c_str(), root("/mnt/sdcard/hardlink").c_str()), 0);
  EXPECT_EQ(CopyFile(Path("/mnt/sdcard/self"), Path("/mnt/sdcard/self")), -1);
  EXPECT_EQ(CopyFile(Path("/mnt/sdcard/self"), Path("/mnt/sdcard/hardlink")), -1);
  EXPECT_EQ(CopyFile(Path("/mnt/sdcard/self"), Path("/mnt/sdcard/../sdcard/self")), -1);
  EXPECT_TRUE(root.ReadFile("/mnt/sdcard/self") == bytes);
}

// Every failure releases the buffer (the leak checker of the asan preset
// sees it) and every descriptor opened so far.
TEST_F(PathOperationsTest, CopyFileReleasesEverythingOnEveryFailure) {
  struct {
    const char* call;
    int nth;
    int result;
    int closes;           // descriptors closed: one per successful open
    const char* target;   // what is left of the target, null for none
  } const cases[] = {
      {"Malloc", 1, -2, 0, nullptr},
      {"Open", 1, -1, 0, nullptr},        // the source
      {"Fstat", 1, -1, 1, nullptr},
      {"Open", 2, -1, 1, nullptr},        // the target
      {"Read", 1, -1, 2, ""},
      {"Read", 2, -1, 2, "first round"},  // a partial target stays
      {"Write", 1, -1, 2, ""},
      {"Write", 2, -1, 2, "first round"},
      {"Close", 1, -1, 2, "whole"},       // closing the target failed: its data may be lost
  };
  std::string source = Pattern(65536 + 10);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.call) + " #" + std::to_string(c.nth));
    root.WriteFile("/mnt/sdcard/src", source);
    unlink(root("/mnt/flash/dst").c_str());
    int lowest = LowestFreeDescriptor();
    {
      OsFaultGuard guard;
      ASSERT_TRUE(test::FailCall(c.call, c.nth, EIO));
      bool countCloses = std::string(c.call) != "Close";
      if (countCloses) test::CountCall("Close");
      EXPECT_EQ(CopyFile(Path("/mnt/sdcard/src"), Path("/mnt/flash/dst")), c.result);
      if (countCloses) {
        EXPECT_EQ(test::CallCount("Close"), c.closes);
      }
      EXPECT_EQ(test::FaultsFired(c.call), 1);
    }
    bool closeFailed = std::string(c.call) == "Close";
    // The failed close never reached the kernel: the target's descriptor
    // (the one after the source's) is still open here, not in CopyFile.
    if (closeFailed) close(lowest + 1);
    EXPECT_EQ(LowestFreeDescriptor(), lowest);
    if (c.target == nullptr) {
      EXPECT_FALSE(root.Exists("/mnt/flash/dst"));
    } else {
      std::string left = root.ReadFile("/mnt/flash/dst");
      std::string expected = std::string(c.target) == "first round" ? source.substr(0, 65536)
                             : std::string(c.target) == "whole"     ? source
                                                                    : "";
      EXPECT_TRUE(left == expected) << "target has " << left.size() << " bytes";
    }
  }
}

TEST_F(PathOperationsTest, CopyFileOfAnUnreadableSourceFailsWithoutATarget) {
  root.WriteFile("/mnt/sdcard/secret", "secret");
  ASSERT_EQ(chmod(root("/mnt/sdcard/secret").c_str(), 0200), 0);
  ASSERT_EQ(chmod(root.Path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(root("/mnt/flash").c_str(), 0777), 0);
  CPathString source = Path("/mnt/sdcard/secret");
  CPathString target = Path("/mnt/flash/copy");
  test::TUnprivilegedRun run = test::RunUnprivileged([&] { return std::vector<int>{CopyFile(source, target)}; });
  if (run.cannotDrop) GTEST_SKIP() << run.reason;
  ASSERT_TRUE(run.ran) << run.reason;
  EXPECT_EQ(run.values, (std::vector<int>{-1}));
  EXPECT_FALSE(root.Exists("/mnt/flash/copy"));
}

// ---- GetFreeSpaceKb ------------------------------------------------------

struct TFakeFileSystem {
  uint64_t freeBlocks;
  uint64_t availableBlocks;
  long blockSize;
};
TFakeFileSystem gFake;

int FakeStatfs(const char*, struct statfs* info) {
  memset(info, 0, sizeof *info);
  info->f_bfree = gFake.freeBlocks;
  info->f_bavail = gFake.availableBlocks;
  info->f_bsize = gFake.blockSize;
  return 0;
}

TEST_F(PathOperationsTest, GetFreeSpaceKbCountsAllFreeBlocksAndSaturates) {
  struct {
    uint64_t freeBlocks;
    long blockSize;
    int32_t kb;
  } const cases[] = {
      {10, 4096, 40},
      {1, 512, 0},
      {3, 512, 1},
      {0, 4096, 0},
      {(uint64_t(INT32_MAX) + 1) / 4, 4096, INT32_MAX},        // exactly 2^31 KiB: one too many
      {uint64_t(INT32_MAX) / 4, 4096, INT32_MAX - 3},           // the largest that fits, less the rest
      {uint64_t(INT32_MAX), 1024, INT32_MAX},
      {uint64_t(1) << 40, 4096, INT32_MAX},                    // 4 PiB: never wrapped or negative
      {uint64_t(1) << 33, 1024, INT32_MAX},                    // wraps to 0 in 32 bits
  };
  CPathString anywhere = Path("/mnt/sdcard/");
  OsFaultGuard guard;
  os::gOsCurrent.Statfs = &FakeStatfs;
  for (const auto& c : cases) {
    gFake = TFakeFileSystem{c.freeBlocks, c.freeBlocks / 2, c.blockSize};
    EXPECT_EQ(GetFreeSpaceKb(anywhere), c.kb) << c.freeBlocks << " blocks of " << c.blockSize;
  }
}

TEST_F(PathOperationsTest, GetFreeSpaceKbOfARealFileSystem) {
  CPathString card = Path("/mnt/sdcard/");
  struct statfs info;
  ASSERT_EQ(statfs(root("/mnt/sdcard/").c_str(), &info), 0);
  uint64_t expected = uint64_t(info.f_bfree) * uint64_t(info.f_bsize) / 1024;
  int32_t kb = GetFreeSpaceKb(card);
  EXPECT_GT(kb, 0);
  if (expected < uint64_t(INT32_MAX)) {  // other writers
    EXPECT_NEAR(double(kb), double(expected), 64.0 * 1024);
  }
  CPathString missing = Path("/mnt/sdcard/none/");
  EXPECT_EQ(GetFreeSpaceKb(missing), 0);
}

}  // namespace
}  // namespace varnix

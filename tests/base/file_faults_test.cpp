// The writing and moving operations of the file foundation under every OS
// failure they can meet: each call they make fails in turn, with the errnos
// of a full card, a failing medium, a signal or a process out of
// descriptors. A failure must be told by the result, leave no descriptor,
// memory or registry entry behind, and the next attempt must work.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "base/open_file_registry.h"
#include "base/path_operations.h"
#include "base/stream_file.h"
#include "support/fault_table.h"
#include "support/temp_root.h"

namespace varnix {
namespace {

std::string Pattern(size_t size) {
  std::string bytes(size, 0);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

struct FileFaults : ::testing::Test {
  CPathString& Path(CPathString& out, const std::string& devicePath) {
    out.AssignText(root(devicePath).c_str());
    return out;
  }
  test::TempRoot root;
};

// Opening, writing and closing a card file through the registry: the close
// flushes and syncs, so every failure on the way shows in the result.
TEST_F(FileFaults, WritingAFileTellsEveryFailureAndLeavesNoEntry) {
  const std::string bytes = Pattern(3000);  // stays in the stream's buffer until Close
  COpenFileRegistry registry;
  CStreamFile file;
  CPathString path;
  Path(path, "/mnt/sdcard/written.dat");

  test::TFaultScenario scenario;
  scenario.prepare = [&] { unlink(root("/mnt/sdcard/written.dat").c_str()); };
  scenario.run = [&] {
    if (file.OpenWrite(path, &registry, 0) != 0) return -1;
    int written = file.Write(bytes.data(), static_cast<int>(bytes.size()));
    int closed = file.Close();
    return written != 0 ? written : closed;
  };
  auto closedAndUnregistered = [&] {
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Handle(), nullptr);
    EXPECT_EQ(registry.Count(), 0);
  };
  scenario.checkSuccess = [&](int result) {
    EXPECT_EQ(result, 0);
    EXPECT_EQ(root.ReadFile("/mnt/sdcard/written.dat"), bytes);
    closedAndUnregistered();
  };
  scenario.checkFault = [&](int result, bool fired, const test::TFaultCase&) {
    EXPECT_TRUE(fired);
    EXPECT_NE(result, 0) << "a failure was reported as success";
    closedAndUnregistered();
  };
  EXPECT_GE(test::RunFaultTable(scenario).size(), 10u);
}

TEST_F(FileFaults, CopyFileNeverReportsAnIncompleteCopyAsDone) {
  const std::string bytes = Pattern(70000);  // two rounds of the copy loop
  root.WriteFile("/mnt/sdcard/source.bin", bytes);
  chmod(root("/mnt/sdcard/source.bin").c_str(), 0640);
  CPathString source, target;
  Path(source, "/mnt/sdcard/source.bin");
  Path(target, "/mnt/sdcard/target.bin");
  source.Terminate();
  target.Terminate();

  test::TFaultScenario scenario;
  scenario.prepare = [&] { unlink(root("/mnt/sdcard/target.bin").c_str()); };
  scenario.run = [&] { return CopyFile(source, target); };
  scenario.checkSuccess = [&](int result) {
    EXPECT_EQ(result, 0);
    EXPECT_EQ(root.ReadFile("/mnt/sdcard/target.bin"), bytes);
  };
  scenario.checkFault = [&](int result, bool fired, const test::TFaultCase& fault) {
    EXPECT_TRUE(fired);
    if (result == 0) {
      EXPECT_EQ(root.ReadFile("/mnt/sdcard/target.bin"), bytes) << "a failure was reported as success";
    } else {
      EXPECT_EQ(result, fault.call == "Malloc" ? -2 : -1);
    }
    EXPECT_EQ(root.ReadFile("/mnt/sdcard/source.bin"), bytes);
  };
  EXPECT_GE(test::RunFaultTable(scenario).size(), 15u);
}

TEST_F(FileFaults, MakeDirFailsWholeAndWorksNextTime) {
  CPathString path;
  Path(path, "/mnt/sdcard/newdir");
  test::TFaultScenario scenario;
  scenario.prepare = [&] { rmdir(root("/mnt/sdcard/newdir").c_str()); };
  scenario.run = [&] { return MakeDir(path); };
  scenario.checkSuccess = [&](int result) {
    EXPECT_EQ(result, 0);
    EXPECT_EQ(DirectoryExists(path), 1);
  };
  scenario.checkFault = [&](int result, bool fired, const test::TFaultCase&) {
    EXPECT_TRUE(fired);
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(root.Exists("/mnt/sdcard/newdir"));
  };
  EXPECT_EQ(test::RunFaultTable(scenario).size(), 3u);
}

// A card remount with a reader and a writer registered. A failed Resume
// keeps both entries and leaves no stream open that the registry does not
// know of; the next remount restores both files.
TEST_F(FileFaults, ARemountThatFailsCanBeDoneAgain) {
  root.WriteFile("/mnt/sdcard/reader.dat", Pattern(100));
  COpenFileRegistry registry;
  CStreamFile reader, writer;
  CPathString readerPath, writerPath;
  Path(readerPath, "/mnt/sdcard/reader.dat");
  Path(writerPath, "/mnt/sdcard/writer.dat");
  char scratch[40];

  test::TFaultScenario scenario;
  scenario.prepare = [&] {
    // After a failed remount the files not restored are closed but still
    // registered: the owner takes them out of the registry itself.
    registry.Unregister(&reader);
    registry.Unregister(&writer);
    reader.Close();
    writer.Close();
    ASSERT_EQ(reader.OpenRead(readerPath, &registry), 0);
    ASSERT_EQ(reader.Read(scratch, 40), 40);
    ASSERT_EQ(writer.OpenWrite(writerPath, &registry, 0), 0);
    ASSERT_EQ(writer.Write("0123456789012345678901234567890", 30), 0);
  };
  scenario.run = [&] {
    registry.Suspend();
    return registry.Resume();
  };
  scenario.checkSuccess = [&](int result) {
    EXPECT_EQ(result, 0);
    EXPECT_EQ(registry.SuspendCount(), 0);
    EXPECT_EQ(registry.Count(), 2);
    EXPECT_TRUE(reader.IsOpen() && writer.IsOpen());
    EXPECT_EQ(reader.Tell(), 40);
    EXPECT_EQ(writer.Tell(), 30);
    EXPECT_EQ(root.ReadFile("/mnt/sdcard/writer.dat"), "012345678901234567890123456789");
  };
  int descriptorsOfOthers = 0;
  scenario.checkFault = [&](int result, bool fired, const test::TFaultCase&) {
    EXPECT_TRUE(fired);
    if (result == 0) {
      EXPECT_EQ(reader.Tell(), 40) << "a failure was reported as success";
      EXPECT_EQ(writer.Tell(), 30) << "a failure was reported as success";
    }
    EXPECT_EQ(registry.SuspendCount(), 0);
    EXPECT_EQ(registry.Count(), 2);
    // Exactly the registered files that are open hold a descriptor.
    EXPECT_EQ(test::OpenDescriptors(), descriptorsOfOthers + reader.IsOpen() + writer.IsOpen());
  };
  // A position that could not be told when the card went away is lost: the
  // owner opens that file again.
  scenario.beforeNextAttempt = [&](const test::TFaultCase&) {
    for (int i = 0; i < registry.Count(); ++i)
      if (registry.Entry(i).savedPosition == KErrNoPosition) scenario.prepare();
  };
  reader.Close();
  descriptorsOfOthers = test::OpenDescriptors();
  EXPECT_GE(test::RunFaultTable(scenario).size(), 10u);
  reader.Close();
  writer.Close();
}

}  // namespace
}  // namespace varnix

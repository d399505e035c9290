// A card directory removed while files in it are registered with the file
// manager's registry.
#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <string>

#include "base/stream_file.h"
#include "storage/file_manager.h"
#include "support/fault_table.h"
#include "support/temp_root.h"

namespace varnix {
namespace {

struct CardRemoval : ::testing::Test {
  void SetUp() override {
    root.MakeDirs("/mnt/sdcard/maps/Town");
    root.WriteFile("/mnt/sdcard/maps/Town/poi.dat", "0123456789");
    descriptors = test::OpenDescriptors();
    ASSERT_EQ(reader.OpenRead(Path(readerPath, "/mnt/sdcard/maps/Town/poi.dat"), &manager.Registry()), 0);
    ASSERT_EQ(writer.OpenWrite(Path(writerPath, "/mnt/sdcard/maps/Town/saved.log"), &manager.Registry(), 0), 0);
    char four[4];
    ASSERT_EQ(reader.Read(four, 4), 4);
    ASSERT_EQ(writer.Write("abc", 3), 0);
    ASSERT_EQ(manager.Registry().Count(), 2);
  }
  CPathString& Path(CPathString& out, const std::string& devicePath) {
    out.AssignText(root(devicePath).c_str());
    return out;
  }

  test::TempRoot root;
  CFileManager manager;
  CStreamFile reader, writer;
  CPathString readerPath, writerPath;
  int descriptors = 0;
};

// Open files outlive their directory: they are read, written and closed as
// before, and their entries go.
TEST_F(CardRemoval, FilesOpenWhenTheirDirectoryGoesAreClosedCleanly) {
  test::RemoveTree(root("/mnt/sdcard/maps/Town"));
  ASSERT_FALSE(root.Exists("/mnt/sdcard/maps/Town"));
  char rest[6];
  EXPECT_EQ(reader.Read(rest, 6), 6);
  EXPECT_EQ(writer.Write("def", 3), 0);
  EXPECT_EQ(reader.Close(), 0);
  EXPECT_EQ(writer.Close(), 0);
  EXPECT_EQ(manager.Registry().Count(), 0);
  EXPECT_EQ(test::OpenDescriptors(), descriptors);
}

// Removed while the card was away: the remount fails with the notice, holds
// no descriptor, keeps the entries; once the directory and its files are
// back, the next remount restores both files where they were.
TEST_F(CardRemoval, ARemountWithoutTheDirectoryFailsAndTheNextOneRestores) {
  COpenFileRegistry& registry = manager.Registry();
  registry.Suspend();
  std::string kept = root.ReadFile("/mnt/sdcard/maps/Town/saved.log");
  EXPECT_EQ(kept, "abc");
  test::RemoveTree(root("/mnt/sdcard/maps/Town"));

  testing::internal::CaptureStdout();
  EXPECT_EQ(registry.Resume(), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Rebooting some relevant files changed on the SD card, discovered when the SD card was remounted\n");
  EXPECT_FALSE(reader.IsOpen() || writer.IsOpen());
  EXPECT_EQ(registry.Count(), 2);
  EXPECT_EQ(test::OpenDescriptors(), descriptors);
  EXPECT_FALSE(root.Exists("/mnt/sdcard/maps/Town")) << "nothing is created in its place";

  root.MakeDirs("/mnt/sdcard/maps/Town");
  root.WriteFile("/mnt/sdcard/maps/Town/poi.dat", "0123456789");
  root.WriteFile("/mnt/sdcard/maps/Town/saved.log", kept);
  registry.Suspend();
  EXPECT_EQ(registry.Resume(), 0);
  EXPECT_EQ(reader.Tell(), 4);
  EXPECT_EQ(writer.Tell(), 3);
  EXPECT_EQ(writer.Write("def", 3), 0);
  reader.Close();
  writer.Close();
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/maps/Town/saved.log"), "abcdef");
  EXPECT_EQ(registry.Count(), 0);
}

}  // namespace
}  // namespace varnix

#include "base/open_file_registry.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <stdio.h>

#include <memory>
#include <string>

#include "base/host_root.h"
#include "support/os_fault.h"
#include "support/temp_root.h"

namespace varnix {
namespace {

using test::TempRoot;

const char KNotice[] =
    "Rebooting some relevant files changed on the SD card, discovered when the SD card was remounted\n";

class OpenFileRegistryTest : public ::testing::Test {
 protected:
  CPathString& PathOf(const std::string& devicePath) {
    path.AssignText(root(devicePath).c_str());
    return path;
  }

  // The card is taken away and brought back: the whole directory moves.
  void RemoveCard() { ASSERT_EQ(rename(root("/mnt/sdcard").c_str(), root("/mnt/sdcard.away").c_str()), 0); }
  void InsertCard() { ASSERT_EQ(rename(root("/mnt/sdcard.away").c_str(), root("/mnt/sdcard").c_str()), 0); }

  std::string EntryPath(int index) {
    CPathString copy;
    copy.Assign(registry.Entry(index).path);
    return copy.Text();
  }

  TempRoot root;
  CPathString path;
  COpenFileRegistry registry;
};

TEST_F(OpenFileRegistryTest, StartsPresentAndEmpty) {
  EXPECT_EQ(registry.SuspendCount(), 0);
  EXPECT_EQ(registry.Count(), 0);
  EXPECT_EQ(registry.Resume(), 0);
  EXPECT_EQ(registry.SuspendCount(), 0);
}

TEST_F(OpenFileRegistryTest, OpenRegistersAndCloseUnregisters) {
  root.WriteFile("/mnt/sdcard/map.dat", "0123456789");
  CStreamFile reader;
  CStreamFile writer;
  ASSERT_EQ(reader.OpenRead(PathOf("/mnt/sdcard/map.dat"), &registry), 0);
  ASSERT_EQ(writer.OpenWrite(PathOf("/mnt/sdcard/out.dat"), &registry, 0), 0);

  ASSERT_EQ(registry.Count(), 2);
  EXPECT_EQ(reader.Registry(), &registry);
  EXPECT_EQ(reader.RegistryIndex(), 0);
  EXPECT_EQ(writer.RegistryIndex(), 1);
  EXPECT_EQ(registry.Entry(0).file, &reader);
  EXPECT_EQ(registry.Entry(0).writable, 0);
  EXPECT_EQ(registry.Entry(0).savedSize, 10);
  EXPECT_EQ(reader.CachedSize(), 10);  // registering measured it
  EXPECT_EQ(registry.Entry(0).savedPosition, -1);
  EXPECT_EQ(registry.Entry(1).writable, 1);
  EXPECT_EQ(registry.Entry(1).savedSize, -1);
  EXPECT_EQ(EntryPath(0), root("/mnt/sdcard/map.dat"));
  ASSERT_NE(writer.RegisteredPath(), nullptr);
  EXPECT_STREQ(writer.RegisteredPath()->Text(), root("/mnt/sdcard/out.dat").c_str());

  reader.Close();
  EXPECT_EQ(registry.Count(), 1);
  EXPECT_EQ(registry.IndexOf(&reader), -1);
  EXPECT_EQ(reader.Registry(), &registry);  // the pointer stays
  EXPECT_EQ(reader.RegisteredPath(), nullptr);
  writer.Close();
  EXPECT_EQ(registry.Count(), 0);
}

TEST_F(OpenFileRegistryTest, UnregisterMovesTheLastEntryAndLeavesItsIndexStale) {
  CStreamFile files[3];
  const char* names[3] = {"/mnt/sdcard/a", "/mnt/sdcard/b", "/mnt/sdcard/c"};
  for (int i = 0; i < 3; ++i) ASSERT_EQ(files[i].OpenWrite(PathOf(names[i]), &registry, 0), 0);

  files[0].Close();
  ASSERT_EQ(registry.Count(), 2);
  EXPECT_EQ(registry.Entry(0).file, &files[2]);
  EXPECT_EQ(EntryPath(0), root("/mnt/sdcard/c"));
  EXPECT_EQ(registry.IndexOf(&files[2]), 0);
  EXPECT_EQ(files[2].RegistryIndex(), 2);  // stale

  COpenFileRegistry::TEntry* entry = nullptr;
  EXPECT_EQ(registry.EntryAt(2, &files[2], entry), 0);  // index 2 is no longer in use
  EXPECT_EQ(entry, nullptr);
  EXPECT_EQ(registry.EntryAt(0, &files[2], entry), 1);
  EXPECT_EQ(entry, registry.EntryOf(&files[2]));
  EXPECT_EQ(registry.EntryAt(0, &files[1], entry), 0);
  EXPECT_EQ(registry.EntryAt(-1, &files[2], entry), 0);
  EXPECT_EQ(registry.EntryAt(16, &files[2], entry), 0);
  ASSERT_NE(files[2].RegisteredPath(), nullptr);
  EXPECT_STREQ(files[2].RegisteredPath()->Text(), root("/mnt/sdcard/c").c_str());

  // A new file takes index 2: the stale index now names someone else.
  CStreamFile late;
  ASSERT_EQ(late.OpenWrite(PathOf("/mnt/sdcard/d"), &registry, 0), 0);
  EXPECT_EQ(late.RegistryIndex(), 2);
  EXPECT_EQ(registry.EntryAt(files[2].RegistryIndex(), &files[2], entry), 0);
  EXPECT_STREQ(files[2].RegisteredPath()->Text(), root("/mnt/sdcard/c").c_str());
  EXPECT_STREQ(late.RegisteredPath()->Text(), root("/mnt/sdcard/d").c_str());

  // Closing the moved file removes its own entry, not the one at its stale index.
  files[2].Close();
  ASSERT_EQ(registry.Count(), 2);
  EXPECT_EQ(registry.IndexOf(&files[1]), 1);
  EXPECT_EQ(registry.IndexOf(&late), 0);
}

TEST_F(OpenFileRegistryTest, ASeventeenthRegistrationIsRefused) {
  std::unique_ptr<CStreamFile> files[COpenFileRegistry::KMaxEntries + 1];
  for (int i = 0; i <= COpenFileRegistry::KMaxEntries; ++i) {
    files[i].reset(new CStreamFile);
    std::string name = "/mnt/sdcard/f" + std::to_string(i);
    ASSERT_EQ(files[i]->OpenWrite(PathOf(name), &registry, 0), 0);
  }
  EXPECT_EQ(registry.Count(), 16);
  EXPECT_EQ(files[15]->RegistryIndex(), 15);
  CStreamFile& extra = *files[16];
  EXPECT_EQ(extra.IsOpen(), 1);  // open, but not registered
  EXPECT_EQ(extra.RegistryIndex(), -1);
  EXPECT_EQ(registry.IndexOf(&extra), -1);
  EXPECT_EQ(extra.RegisteredPath(), nullptr);
  extra.Close();
  EXPECT_EQ(registry.Count(), 16);

  files[3]->Close();
  ASSERT_EQ(extra.OpenWrite(PathOf("/mnt/sdcard/again"), &registry, 0), 0);
  EXPECT_EQ(extra.RegistryIndex(), 15);
}

TEST_F(OpenFileRegistryTest, RemountKeepsPositionsOfReadersAndWriters) {
  root.WriteFile("/mnt/sdcard/map.dat", "ABCDEFGHIJ");
  root.WriteFile("/mnt/sdcard/log.txt", "head\n");
  CStreamFile reader;
  CStreamFile writer;
  CStreamFile appender;
  ASSERT_EQ(reader.OpenRead(PathOf("/mnt/sdcard/map.dat"), &registry), 0);
  ASSERT_EQ(writer.OpenWrite(PathOf("/mnt/sdcard/new.dat"), &registry, 0), 0);
  ASSERT_EQ(appender.OpenWrite(PathOf("/mnt/sdcard/log.txt"), &registry, 1), 0);
  char buffer[4];
  ASSERT_EQ(reader.Read(buffer, 3), 3);
  ASSERT_EQ(writer.Write("12345", 5), 0);
  ASSERT_EQ(writer.Seek(2), 0);  // a writer in the middle of its file
  ASSERT_EQ(appender.WriteLine("before"), 0);

  registry.Suspend();
  EXPECT_EQ(registry.SuspendCount(), 1);
  EXPECT_EQ(registry.Count(), 3);
  for (CStreamFile* file : {&reader, &writer, &appender}) {
    EXPECT_EQ(file->IsOpen(), 0);
    EXPECT_EQ(file->Handle(), nullptr);
  }
  EXPECT_EQ(registry.Entry(0).savedPosition, 3);
  EXPECT_EQ(registry.Entry(1).savedPosition, 2);
  EXPECT_EQ(registry.Entry(2).savedPosition, 12);
  // Closing flushed the writers: their bytes are on the card before it goes.
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/new.dat"), "12345");
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/log.txt"), "head\nbefore\n");

  RemoveCard();
  EXPECT_FALSE(root.Exists("/mnt/sdcard/map.dat"));
  InsertCard();

  testing::internal::CaptureStdout();
  EXPECT_EQ(registry.Resume(), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(registry.SuspendCount(), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(registry.Entry(i).savedPosition, -1);

  EXPECT_EQ(reader.IsOpen(), 1);
  EXPECT_EQ(reader.Tell(), 3);
  ASSERT_EQ(reader.Read(buffer, 4), 4);
  EXPECT_EQ(std::string(buffer, 4), "DEFG");
  EXPECT_EQ(writer.Tell(), 2);
  EXPECT_EQ(writer.IsWritable(), 1);
  ASSERT_EQ(writer.Write("xy", 2), 0);
  ASSERT_EQ(appender.WriteLine("after"), 0);
  EXPECT_EQ(reader.RegistryIndex(), 0);
  EXPECT_EQ(appender.RegistryIndex(), 2);

  writer.Close();
  appender.Close();
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/new.dat"), "12xy5");  // not emptied by the reopening
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/log.txt"), "head\nbefore\nafter\n");
  EXPECT_EQ(registry.Count(), 1);
}

TEST_F(OpenFileRegistryTest, AFileThatGrewWhileTheCardWasAwayStopsTheRestore) {
  root.WriteFile("/mnt/sdcard/first.dat", "first");
  root.WriteFile("/mnt/sdcard/grows.dat", "12345");
  root.WriteFile("/mnt/sdcard/third.dat", "third");
  CStreamFile first;
  CStreamFile grows;
  CStreamFile third;
  CStreamFile fourth;
  ASSERT_EQ(first.OpenRead(PathOf("/mnt/sdcard/first.dat"), &registry), 0);
  ASSERT_EQ(grows.OpenRead(PathOf("/mnt/sdcard/grows.dat"), &registry), 0);
  ASSERT_EQ(third.OpenRead(PathOf("/mnt/sdcard/third.dat"), &registry), 0);
  ASSERT_EQ(fourth.OpenWrite(PathOf("/mnt/sdcard/fourth.dat"), &registry, 0), 0);
  char buffer[2];
  ASSERT_EQ(third.Read(buffer, 2), 2);

  registry.Suspend();
  RemoveCard();
  root.WriteFile("/mnt/sdcard.away/grows.dat", "1234567");
  InsertCard();

  testing::internal::CaptureStdout();
  EXPECT_EQ(registry.Resume(), -2);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), KNotice);
  EXPECT_EQ(registry.SuspendCount(), 0);

  EXPECT_EQ(first.IsOpen(), 1);
  EXPECT_EQ(grows.IsOpen(), 1);  // opened, but its size changed
  EXPECT_EQ(third.IsOpen(), 0);  // later entries are left closed
  EXPECT_EQ(fourth.IsOpen(), 0);
  EXPECT_EQ(registry.Entry(0).savedPosition, -1);  // restored
  EXPECT_EQ(registry.Entry(1).savedPosition, 0);   // not restored: kept for the next remount
  EXPECT_EQ(registry.Entry(2).savedPosition, 2);   // still saved
  EXPECT_EQ(registry.Count(), 4);
}

TEST_F(OpenFileRegistryTest, AFileMissingAfterTheRemountStopsTheRestoreWithMinusOne) {
  root.WriteFile("/mnt/sdcard/gone.dat", "data");
  CStreamFile gone;
  CStreamFile other;
  ASSERT_EQ(gone.OpenRead(PathOf("/mnt/sdcard/gone.dat"), &registry), 0);
  ASSERT_EQ(other.OpenWrite(PathOf("/mnt/sdcard/other.dat"), &registry, 0), 0);
  registry.Suspend();
  RemoveCard();
  ASSERT_EQ(unlink(root("/mnt/sdcard.away/gone.dat").c_str()), 0);
  InsertCard();

  testing::internal::CaptureStdout();
  EXPECT_EQ(registry.Resume(), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), KNotice);
  EXPECT_EQ(gone.IsOpen(), 0);
  EXPECT_EQ(gone.Registry(), &registry);  // re-attached although the open failed
  EXPECT_EQ(gone.RegistryIndex(), 0);
  EXPECT_EQ(other.IsOpen(), 0);
  EXPECT_FALSE(root.Exists("/mnt/sdcard/gone.dat"));
}

// A card that came back without a file (a slow mount, say): once the file
// is there again, the next remount restores it at its old position, since a
// failed restore keeps the saved positions (found by the fault tables).
TEST_F(OpenFileRegistryTest, ARemountThatFailedCanBeRepeatedOnceTheFileIsBack) {
  root.WriteFile("/mnt/sdcard/late.dat", "0123456789");
  CStreamFile late;
  ASSERT_EQ(late.OpenRead(PathOf("/mnt/sdcard/late.dat"), &registry), 0);
  char two[2];
  ASSERT_EQ(late.Read(two, 2), 2);
  registry.Suspend();
  ASSERT_EQ(rename(root("/mnt/sdcard/late.dat").c_str(), root("/mnt/late.dat").c_str()), 0);
  testing::internal::CaptureStdout();
  EXPECT_EQ(registry.Resume(), -1);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(registry.Entry(0).savedPosition, 2);

  ASSERT_EQ(rename(root("/mnt/late.dat").c_str(), root("/mnt/sdcard/late.dat").c_str()), 0);
  registry.Suspend();
  EXPECT_EQ(registry.Resume(), 0);
  EXPECT_EQ(late.IsOpen(), 1);
  EXPECT_EQ(late.Tell(), 2);
  EXPECT_EQ(registry.Entry(0).savedPosition, -1);
}

TEST_F(OpenFileRegistryTest, AWriterWhoseFileVanishedIsNotRecreated) {
  CStreamFile writer;
  ASSERT_EQ(writer.OpenWrite(PathOf("/mnt/sdcard/w.dat"), &registry, 0), 0);
  registry.Suspend();
  ASSERT_EQ(unlink(root("/mnt/sdcard/w.dat").c_str()), 0);
  testing::internal::CaptureStdout();
  EXPECT_EQ(registry.Resume(), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), KNotice);
  EXPECT_FALSE(root.Exists("/mnt/sdcard/w.dat"));
}

TEST_F(OpenFileRegistryTest, NestedSuspendsNeedAsManyResumes) {
  root.WriteFile("/mnt/sdcard/n.dat", "nested");
  CStreamFile file;
  ASSERT_EQ(file.OpenRead(PathOf("/mnt/sdcard/n.dat"), &registry), 0);
  char buffer[3];
  ASSERT_EQ(file.Read(buffer, 3), 3);

  registry.Suspend();
  registry.Suspend();
  EXPECT_EQ(registry.SuspendCount(), 2);
  EXPECT_EQ(registry.Entry(0).savedPosition, 3);
  EXPECT_EQ(registry.Resume(), 0);
  EXPECT_EQ(registry.SuspendCount(), 1);
  EXPECT_EQ(file.IsOpen(), 0);
  EXPECT_EQ(registry.Resume(), 0);
  EXPECT_EQ(registry.SuspendCount(), 0);
  EXPECT_EQ(file.IsOpen(), 1);
  EXPECT_EQ(file.Tell(), 3);
  EXPECT_EQ(registry.Resume(), 0);  // nothing pending: nothing happens
  EXPECT_EQ(registry.SuspendCount(), 0);
  EXPECT_EQ(file.Tell(), 3);
}

TEST_F(OpenFileRegistryTest, WhileSuspendedRegistrationsAreRefusedAndClosesKeepEntries) {
  root.WriteFile("/mnt/sdcard/kept.dat", "kept");
  CStreamFile kept;
  ASSERT_EQ(kept.OpenRead(PathOf("/mnt/sdcard/kept.dat"), &registry), 0);
  registry.Suspend();

  CStreamFile late;
  EXPECT_EQ(late.OpenWrite(PathOf("/mnt/flash/late.dat"), &registry, 0), 0);
  EXPECT_EQ(late.IsOpen(), 1);
  EXPECT_EQ(late.RegistryIndex(), -1);
  EXPECT_EQ(registry.Count(), 1);
  late.Close();

  kept.Close();  // already closed by Suspend; the entry stays
  EXPECT_EQ(registry.Count(), 1);
  EXPECT_EQ(registry.Resume(), 0);
  EXPECT_EQ(kept.IsOpen(), 1);  // a closed file object is reopened too
}

TEST_F(OpenFileRegistryTest, AFileWithoutARegistryTakesNoPart) {
  root.WriteFile("/mnt/sdcard/free.dat", "free");
  CStreamFile file;
  ASSERT_EQ(file.OpenRead(PathOf("/mnt/sdcard/free.dat"), nullptr), 0);
  registry.Suspend();
  EXPECT_EQ(file.IsOpen(), 1);
  EXPECT_EQ(registry.Resume(), 0);
  EXPECT_EQ(registry.Count(), 0);
}

TEST_F(OpenFileRegistryTest, APositionThatCouldNotBeToldFailsTheRestore) {
  root.WriteFile("/mnt/sdcard/p.dat", "position");
  CStreamFile file;
  ASSERT_EQ(file.OpenRead(PathOf("/mnt/sdcard/p.dat"), &registry), 0);
  {
    test::OsFaultGuard guard;
    test::FailCall("Ftell", 1, EIO);
    registry.Suspend();
  }
  EXPECT_EQ(registry.Entry(0).savedPosition, KErrNoPosition);
  testing::internal::CaptureStdout();
  EXPECT_EQ(registry.Resume(), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), KNotice);
  EXPECT_EQ(registry.Entry(0).savedPosition, KErrNoPosition);  // the position stays lost
}

TEST_F(OpenFileRegistryTest, RegistryIndexIsRenewedByResume) {
  CStreamFile files[3];
  const char* names[3] = {"/mnt/sdcard/a", "/mnt/sdcard/b", "/mnt/sdcard/c"};
  for (int i = 0; i < 3; ++i) ASSERT_EQ(files[i].OpenWrite(PathOf(names[i]), &registry, 0), 0);
  files[0].Close();
  ASSERT_EQ(files[2].RegistryIndex(), 2);
  registry.Suspend();
  ASSERT_EQ(registry.Resume(), 0);
  EXPECT_EQ(files[2].RegistryIndex(), 0);
  EXPECT_EQ(files[1].RegistryIndex(), 1);
}

TEST(IsOutsideFlashTest, ComparesAgainstTheFlashRootUnderTheHostRoot) {
  struct {
    const char* devicePath;
    int outside;
  } const cases[] = {
      {"/mnt/flash/a.dat", 0}, {"/mnt/flash/", 0},         {"/mnt/flash/sub/b", 0},
      {"/mnt/sdcard/a.dat", 1}, {"/mnt/flash", 1},         {"/mnt/flashy/a", 1},
      {"/var/run/x", 1},        {"", 1},
  };
  {
    TempRoot root;
    for (const auto& c : cases) {
      std::string rooted = root(c.devicePath);
      EXPECT_EQ(IsOutsideFlash(CDynString::WrapText(rooted.c_str())), c.outside) << rooted;
      // The device's own spelling is outside the rooted flash.
      if (*c.devicePath) {
        EXPECT_EQ(IsOutsideFlash(CDynString::WrapText(c.devicePath)), 1) << c.devicePath;
      }
    }
  }
  SetHostRoot(nullptr);
  for (const auto& c : cases) EXPECT_EQ(IsOutsideFlash(CDynString::WrapText(c.devicePath)), c.outside) << c.devicePath;
}

}  // namespace
}  // namespace varnix

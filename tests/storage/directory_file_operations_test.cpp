#include "storage/directory_file_operations.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "storage/directory_catalogue.h"
#include "support/os_fault.h"
#include "support/temp_root.h"

namespace varnix {
namespace {

using test::TempRoot;

// A directory under the card with files a.OV2 and b.txt and a subdirectory
// c.ov2/ holding d.ov2.
class DirectoryFiles : public testing::Test {
 protected:
  void SetUp() override {
    root.MakeDirs("/mnt/sdcard/src/c.ov2");
    root.WriteFile("/mnt/sdcard/src/a.OV2", "alpha");
    root.WriteFile("/mnt/sdcard/src/b.txt", "bravo");
    root.WriteFile("/mnt/sdcard/src/c.ov2/d.ov2", "delta");
    source.AssignText(root("/mnt/sdcard/src/").c_str());
    target.AssignText(root("/mnt/sdcard/dst/").c_str());
  }

  bool SubdirectoryIntact() const { return root.ReadFile("/mnt/sdcard/src/c.ov2/d.ov2") == "delta"; }

  TempRoot root;
  CPathString source;
  CPathString target;
};

CPathString Text(const std::string& text) {
  CPathString s;
  s.AssignText(text.c_str());
  return s;
}

TEST_F(DirectoryFiles, SuffixSearchIgnoresCaseAndSubdirectories) {
  EXPECT_EQ(DirectoryHasFileWithSuffix(Text(".ov2"), source), 1);
  EXPECT_EQ(DirectoryHasFileWithSuffix(Text(".TXT"), source), 1);
  EXPECT_EQ(DirectoryHasFileWithSuffix(Text(".bmp"), source), 0);
  CPathString name = Text("unchanged");
  EXPECT_EQ(FindFileWithSuffix(name, source, Text(".ov2")), 1);
  EXPECT_STREQ(name.Text(), "a.OV2");
  EXPECT_EQ(name.Data()[name.Length()], '\0');
  EXPECT_EQ(FindFileWithSuffix(name, source, Text("b.TXT")), 1);
  EXPECT_STREQ(name.Text(), "b.txt");
}

TEST_F(DirectoryFiles, SubdirectoryIsNeverReported) {
  root.MakeDirs("/mnt/sdcard/only/x.ov2");
  root.WriteFile("/mnt/sdcard/only/x.ov2/y.ov2", "");
  CPathString only = Text(root("/mnt/sdcard/only/"));
  EXPECT_EQ(DirectoryHasFileWithSuffix(Text(".ov2"), only), 0);
  CPathString name = Text("unchanged");
  EXPECT_EQ(FindFileWithSuffix(name, only, Text(".ov2")), 0);
  EXPECT_EQ(FindFileWithSuffix(name, only, Text("")), 0);
  EXPECT_STREQ(name.Text(), "unchanged");
}

TEST_F(DirectoryFiles, EmptySuffixMatchesTheFirstFile) {
  CPathString name;
  EXPECT_EQ(FindFileWithSuffix(name, source, Text("")), 1);
  EXPECT_TRUE(std::string(name.Text()) == "a.OV2" || std::string(name.Text()) == "b.txt") << name.Text();
}

TEST_F(DirectoryFiles, MissingDirectoryBehavesLikeAnEmptyOne) {
  CPathString missing = Text(root("/mnt/sdcard/missing/"));
  CPathString name = Text("unchanged");
  EXPECT_EQ(DirectoryHasFileWithSuffix(Text(""), missing), 0);
  EXPECT_EQ(FindFileWithSuffix(name, missing, Text("")), 0);
  EXPECT_STREQ(name.Text(), "unchanged");
  EXPECT_EQ(DeleteDirectoryFiles(missing), 0);
  EXPECT_EQ(MoveDirectoryFiles(missing, source), 0);
  EXPECT_EQ(CopyDirectoryFiles(missing, source), 0);
}

TEST_F(DirectoryFiles, DeleteLeavesSubdirectoriesInPlace) {
  EXPECT_EQ(DeleteDirectoryFiles(source), 0);
  EXPECT_FALSE(root.Exists("/mnt/sdcard/src/a.OV2"));
  EXPECT_FALSE(root.Exists("/mnt/sdcard/src/b.txt"));
  EXPECT_TRUE(SubdirectoryIntact());
}

TEST_F(DirectoryFiles, MoveReplacesAnExistingTarget) {
  root.MakeDirs("/mnt/sdcard/dst");
  root.WriteFile("/mnt/sdcard/dst/b.txt", "old contents, longer than the new");
  root.WriteFile("/mnt/sdcard/dst/keep.txt", "kept");
  EXPECT_EQ(MoveDirectoryFiles(source, target), 0);
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/dst/a.OV2"), "alpha");
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/dst/b.txt"), "bravo");
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/dst/keep.txt"), "kept");
  EXPECT_FALSE(root.Exists("/mnt/sdcard/src/a.OV2"));
  EXPECT_FALSE(root.Exists("/mnt/sdcard/src/b.txt"));
  EXPECT_TRUE(SubdirectoryIntact());
  EXPECT_FALSE(root.Exists("/mnt/sdcard/dst/c.ov2"));
}

TEST_F(DirectoryFiles, MoveIntoMissingDirectoryMovesNothing) {
  EXPECT_EQ(MoveDirectoryFiles(source, target), -1);
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/src/a.OV2"), "alpha");
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/src/b.txt"), "bravo");
}

TEST_F(DirectoryFiles, MoveStopsAtTheFirstFailureWithoutLosingFiles) {
  root.MakeDirs("/mnt/sdcard/dst/b.txt/inside");  // a directory blocks b.txt
  EXPECT_EQ(MoveDirectoryFiles(source, target), -1);
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/src/b.txt"), "bravo");
  bool aMoved = root.Exists("/mnt/sdcard/dst/a.OV2");
  EXPECT_NE(aMoved, root.Exists("/mnt/sdcard/src/a.OV2")) << "a.OV2 is in exactly one place";
  EXPECT_TRUE(root.Exists("/mnt/sdcard/dst/b.txt/inside"));
}

// A listing cut short (a read error, a dangling link) leaves files unseen in
// the source: the move and the copy say so instead of reporting 0 (found by
// the fault tables).
TEST_F(DirectoryFiles, AListingCutShortIsReportedByMoveAndCopy) {
  root.MakeDirs("/mnt/sdcard/dst");
  {
    test::OsFaultGuard guard;
    test::FailCall("Readdir", 1, EIO);
    EXPECT_EQ(MoveDirectoryFiles(source, target), -1);
    test::FailCall("Readdir", 1, EIO);
    EXPECT_EQ(CopyDirectoryFiles(source, target), -1);
  }
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/src/a.OV2"), "alpha");
  ASSERT_EQ(symlink("nowhere", root("/mnt/sdcard/src/dangling").c_str()), 0);
  EXPECT_EQ(MoveDirectoryFiles(source, target), -1) << "the listing ends at the dangling link";
  ASSERT_EQ(unlink(root("/mnt/sdcard/src/dangling").c_str()), 0);
  EXPECT_EQ(MoveDirectoryFiles(source, target), 0);
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/dst/a.OV2"), "alpha");
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/dst/b.txt"), "bravo");
}

TEST_F(DirectoryFiles, MoveIntoItsOwnDirectoryKeepsTheFiles) {
  CPathString sameDirectory = Text(root("/mnt/sdcard/src/c.ov2/../"));
  EXPECT_EQ(MoveDirectoryFiles(source, sameDirectory), 0);
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/src/a.OV2"), "alpha");
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/src/b.txt"), "bravo");
  EXPECT_EQ(MoveDirectoryFiles(source, source), 0);
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/src/a.OV2"), "alpha");
}

TEST_F(DirectoryFiles, CopyOverwritesAndKeepsTheSource) {
  root.MakeDirs("/mnt/sdcard/dst");
  root.WriteFile("/mnt/sdcard/dst/a.OV2", "old contents, longer than the new");
  EXPECT_EQ(CopyDirectoryFiles(source, target), 0);
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/dst/a.OV2"), "alpha");
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/dst/b.txt"), "bravo");
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/src/a.OV2"), "alpha");
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/src/b.txt"), "bravo");
  EXPECT_FALSE(root.Exists("/mnt/sdcard/dst/c.ov2"));
}

TEST_F(DirectoryFiles, CopyIntoMissingDirectoryCopiesNothing) {
  test::OsFaultGuard guard;
  test::CountCall("Opendir");
  EXPECT_EQ(CopyDirectoryFiles(source, target), -1);
  EXPECT_EQ(test::CallCount("Opendir"), 0) << "the source is not even opened";
  EXPECT_FALSE(root.Exists("/mnt/sdcard/dst"));
}

TEST_F(DirectoryFiles, CopyIntoAFileIsRefused) {
  root.WriteFile("/mnt/sdcard/dst", "a file");
  CPathString fileTarget = Text(root("/mnt/sdcard/dst/"));
  EXPECT_EQ(CopyDirectoryFiles(source, fileTarget), -1);
}

TEST_F(DirectoryFiles, CopyOfAnEmptySourceGivesZero) {
  root.MakeDirs("/mnt/sdcard/dst");
  root.MakeDirs("/mnt/sdcard/empty");
  EXPECT_EQ(CopyDirectoryFiles(Text(root("/mnt/sdcard/empty/")), target), 0);
}

TEST_F(DirectoryFiles, CopyStopsAtTheFirstFailure) {
  root.MakeDirs("/mnt/sdcard/dst/a.OV2");
  root.MakeDirs("/mnt/sdcard/dst/b.txt");
  EXPECT_EQ(CopyDirectoryFiles(source, target), -1);
}

TEST_F(DirectoryFiles, CopyWithoutBufferGivesMinusTwo) {
  root.MakeDirs("/mnt/sdcard/dst");
  test::OsFaultGuard guard;
  test::FailCall("Malloc", 1, ENOMEM, test::EFailFromThenOn);
  EXPECT_EQ(CopyDirectoryFiles(source, target), -2);
  EXPECT_GE(test::FaultsFired("Malloc"), 1);
}

// ---- EnsureDirectories ----------------------------------------------------

struct TModelCase {
  const char* name;
  const char* modelFile;  // null: no model file (model 7)
  bool contacts;
};

class EnsureDirectoriesForModel : public testing::TestWithParam<TModelCase> {};

TEST_P(EnsureDirectoriesForModel, CreatesTheDirectoriesThatMustExist) {
  const TModelCase& c = GetParam();
  TempRoot root;
  if (c.modelFile != nullptr) root.WriteFile("/proc/morvantis/modelid", c.modelFile);
  testing::internal::CaptureStdout();
  EXPECT_EQ(EnsureDirectories(), 1) << "the flash root was there";
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(root.Exists("/mnt/sdcard/contacts"), c.contacts);
  EXPECT_TRUE(root.Exists("/mnt/sdcard/itn"));
  EXPECT_TRUE(root.Exists("/mnt/sdcard/logging"));
  EXPECT_EQ(EnsureDirectories(), 1);
}

const TModelCase KModelCases[] = {
    {"Model7", "7\n", false}, {"NoModelFile", nullptr, false}, {"Model144", "144\n", true},
    {"Model400", "400\n", true}, {"Model2", "2\n", true},      {"Model3", "3\n", true},
    {"Model5", "5\n", false},
};

INSTANTIATE_TEST_SUITE_P(Models, EnsureDirectoriesForModel, testing::ValuesIn(KModelCases),
                         [](const testing::TestParamInfo<TModelCase>& param) { return std::string(param.param.name); });

TEST(EnsureDirectories, ExistingContactsOnModel144AreKept) {
  TempRoot root;
  root.WriteFile("/proc/morvantis/modelid", "144\n");
  root.MakeDirs("/mnt/sdcard/contacts");
  root.WriteFile("/mnt/sdcard/contacts/buddies.dat", "friends");
  EXPECT_EQ(EnsureDirectories(), 1);
  EXPECT_EQ(root.ReadFile("/mnt/sdcard/contacts/buddies.dat"), "friends");
}

TEST(EnsureDirectories, CreatesAMissingFlashRoot) {
  TempRoot root;
  root.WriteFile("/proc/morvantis/modelid", "7\n");
  test::RemoveTree(root("/mnt/flash"));
  EXPECT_EQ(EnsureDirectories(), 0);
  EXPECT_TRUE(root.Exists("/mnt/flash"));
}

TEST(EnsureDirectories, CreatesOneLevelOnly) {
  TempRoot root;
  root.WriteFile("/proc/morvantis/modelid", "144\n");
  test::RemoveTree(root("/mnt"));
  EXPECT_EQ(EnsureDirectories(), -1);
  EXPECT_FALSE(root.Exists("/mnt"));
}

}  // namespace
}  // namespace varnix

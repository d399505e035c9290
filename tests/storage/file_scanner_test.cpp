#include "storage/file_scanner.h"

#include <dirent.h>
#include <errno.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "base/os.h"
#include "support/os_fault.h"
#include "support/temp_root.h"
#include "support/unprivileged.h"

namespace varnix {
namespace {

using test::OsFaultGuard;
using test::TempRoot;

const uint32_t KKinds = EScanFilesOnly | EScanDirectoriesOnly;

struct TSeen {
  std::string path;
  int isDirectory;
  int nameLength;
  bool operator==(const TSeen& other) const {
    return path == other.path && isDirectory == other.isDirectory && nameLength == other.nameLength;
  }
};

std::ostream& operator<<(std::ostream& out, const TSeen& seen) {
  return out << "{" << seen.path << ", dir " << seen.isDirectory << ", name " << seen.nameLength << "}";
}

// ---- The tree as the test sees it, without the scanner -----------------

// Names of dir (ending in "/") in the order its directory stream gives them.
std::vector<std::string> StreamOrder(const std::string& dir) {
  std::vector<std::string> names;
  DIR* stream = opendir(dir.c_str());
  if (stream == nullptr) return names;
  while (struct dirent* record = readdir(stream)) {
    std::string name = record->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(stream);
  return names;
}

bool Accepted(uint32_t flags, bool isDirectory) {
  uint32_t kind = flags & KKinds;
  if (kind == EScanFilesOnly) return !isDirectory;
  if (kind == EScanDirectoriesOnly) return isDirectory;
  return true;
}

// The order a walk must follow: a directory's entries in stream order (up
// to the first whose status cannot be read), then, when recursive, its
// subdirectories' walks, the last found first.
void ExpectedWalk(const std::string& dir, uint32_t flags, std::vector<TSeen>& out) {
  std::vector<std::string> subdirectories;
  for (const std::string& name : StreamOrder(dir)) {
    struct stat info;
    std::string path = dir + name;
    if (stat(path.c_str(), &info) != 0) break;
    bool isDirectory = S_ISDIR(info.st_mode);
    if (isDirectory) {
      path += "/";
      subdirectories.push_back(path);
    }
    if (Accepted(flags, isDirectory))
      out.push_back(TSeen{path, isDirectory, static_cast<int>(name.size()) + (isDirectory ? 1 : 0)});
  }
  if (flags & EScanRecursive)
    for (auto it = subdirectories.rbegin(); it != subdirectories.rend(); ++it) ExpectedWalk(*it, flags, out);
}

std::vector<TSeen> ExpectedWalk(const std::string& dir, uint32_t flags) {
  std::vector<TSeen> out;
  ExpectedWalk(dir, flags, out);
  return out;
}

// Everything below dir that nftw finds (links not followed), directories
// with a trailing "/".
std::set<std::string>* gNftwPaths;
int NoteEntry(const char* path, const struct stat* info, int, struct FTW*) {
  gNftwPaths->insert(std::string(path) + (S_ISDIR(info->st_mode) ? "/" : ""));
  return 0;
}
std::set<std::string> NftwPaths(const std::string& dir, uint32_t flags) {
  std::set<std::string> all;
  gNftwPaths = &all;
  nftw(dir.c_str(), NoteEntry, 16, FTW_PHYS);
  all.erase(dir);
  std::set<std::string> accepted;
  for (const std::string& path : all)
    if (Accepted(flags, path.back() == '/')) accepted.insert(path);
  return accepted;
}

// ---- The scanner ---------------------------------------------------------

// Runs a whole walk. Every entry is checked on the way: its name is the end
// of its path, "." and ".." never come, and a finished walk stays finished.
std::vector<TSeen> Walk(CFileScanner& scanner) {
  std::vector<TSeen> seen;
  for (CFileScanner::TEntry* entry = scanner.First(); entry != nullptr; entry = scanner.Next()) {
    std::string path(entry->path->Data(), static_cast<size_t>(entry->path->Length()));
    EXPECT_GE(entry->nameLength, 1) << path;
    EXPECT_LE(entry->nameLength, static_cast<int>(path.size())) << path;
    EXPECT_LE(path.size(), 255u);
    std::string name = path.substr(path.size() - static_cast<size_t>(std::max(0, entry->nameLength)));
    EXPECT_NE(name, "./");
    EXPECT_NE(name, "../");
    seen.push_back(TSeen{path, entry->isDirectory, entry->nameLength});
    if (seen.size() > 100000) {
      ADD_FAILURE() << "the walk does not end";
      break;
    }
  }
  for (int i = 0; i < 3; ++i) EXPECT_EQ(scanner.Next(), nullptr);
  return seen;
}

std::vector<TSeen> Walk(const std::string& dir, uint32_t flags) {
  CPathString start;
  start.AssignText(dir.c_str());
  CFileScanner scanner(start, flags);
  return Walk(scanner);
}

std::set<std::string> PathsOf(const std::vector<TSeen>& seen) {
  std::set<std::string> paths;
  for (const TSeen& s : seen) paths.insert(s.path);
  return paths;
}

class FileScannerTest : public ::testing::Test {
 protected:
  // Device paths ending in "/" are directories, the others files.
  void Build(const std::vector<std::string>& devicePaths) {
    for (const std::string& p : devicePaths) {
      if (p.back() == '/') {
        root.MakeDirs(p);
      } else {
        root.MakeDirs(p.substr(0, p.rfind('/')));
        root.WriteFile(p, "x");
      }
    }
  }

  TempRoot root;
};

// ---- One directory -------------------------------------------------------

TEST_F(FileScannerTest, ListsOneDirectoryWithEachFilter) {
  Build({"/mnt/sdcard/list/a", "/mnt/sdcard/list/b.txt", "/mnt/sdcard/list/sub/inner", "/mnt/sdcard/list/sub2/"});
  std::string dir = root("/mnt/sdcard/list/");
  struct {
    uint32_t flags;
    std::set<std::string> names;
  } const cases[] = {
      {0, {"a", "b.txt", "sub/", "sub2/"}},
      {EScanFilesOnly, {"a", "b.txt"}},
      {EScanDirectoriesOnly, {"sub/", "sub2/"}},
      {EScanFilesOnly | EScanDirectoriesOnly, {"a", "b.txt", "sub/", "sub2/"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    std::vector<TSeen> seen = Walk(dir, c.flags);
    EXPECT_EQ(seen, ExpectedWalk(dir, c.flags));
    std::set<std::string> names;
    for (const TSeen& s : seen) names.insert(s.path.substr(dir.size()));
    EXPECT_EQ(names, c.names);
  }
}

TEST_F(FileScannerTest, AnEntryTellsItsNameAndKind) {
  Build({"/var/run/x", "/var/run/sub/"});
  std::vector<TSeen> seen = Walk(root("/var/run/"), 0);
  std::sort(seen.begin(), seen.end(), [](const TSeen& a, const TSeen& b) { return a.path < b.path; });
  EXPECT_EQ(seen, (std::vector<TSeen>{{root("/var/run/sub/"), 1, 4}, {root("/var/run/x"), 0, 1}}));
}

TEST_F(FileScannerTest, EmptyAndMissingDirectoriesGiveNothing) {
  Build({"/mnt/sdcard/empty/"});
  for (uint32_t flags : {0u, unsigned(EScanRecursive), unsigned(EScanFilesOnly)}) {
    for (const char* dir : {"/mnt/sdcard/empty/", "/mnt/sdcard/missing/"}) {
      CPathString start;
      start.AssignText(root(dir).c_str());
      CFileScanner scanner(start, flags);
      EXPECT_EQ(scanner.First(), nullptr) << dir;
      EXPECT_EQ(scanner.Next(), nullptr);
      EXPECT_EQ(scanner.Next(), nullptr);
    }
  }
}

// Listing "/var/run" puts each name right behind "run": x is looked for as
// "/var/runx" (and "." as "/var/run."), so only names that also exist
// there are reported.
TEST_F(FileScannerTest, ADirectoryWithoutItsTrailingSlashRunsIntoTheNames) {
  Build({"/var/run/x", "/var/runx", "/var/run./", "/var/run../"});
  EXPECT_EQ(Walk(root("/var/run"), 0), (std::vector<TSeen>{{root("/var/runx"), 0, 1}}));
}

TEST_F(FileScannerTest, ADanglingLinkEndsTheListingOfItsDirectory) {
  std::vector<std::string> files;
  for (int i = 0; i < 20; ++i) files.push_back("/mnt/sdcard/d/file" + std::to_string(i));
  Build(files);
  // A link name whose place in the stream is not the last, so that
  // something comes after it.
  std::string dir = root("/mnt/sdcard/d/");
  for (int attempt = 0;; ++attempt) {
    ASSERT_LT(attempt, 20);
    std::string link = dir + "dangling" + std::to_string(attempt);
    ASSERT_EQ(symlink("nowhere", link.c_str()), 0);
    if (StreamOrder(dir).back() != "dangling" + std::to_string(attempt)) break;
    unlink(link.c_str());
  }
  std::vector<TSeen> seen = Walk(dir, 0);
  EXPECT_EQ(seen, ExpectedWalk(dir, 0));
  EXPECT_LT(seen.size(), 20u);  // the files after the link are not reported
}

// Removes the named entry just before the scanner reads its status, as
// another process would in the run-time directory.
std::string gVanishing;

int FstatatAfterVanishing(int directoryFd, const char* name, struct stat* info, int lookup) {
  if (!gVanishing.empty() && gVanishing == name) unlinkat(directoryFd, name, 0);
  return os::gOsDefaults.Fstatat(directoryFd, name, info, lookup);
}

TEST_F(FileScannerTest, AnEntryRemovedWhileTheDirectoryIsReadIsSkipped) {
  std::vector<std::string> files;
  for (int i = 0; i < 20; ++i) files.push_back("/var/run/file" + std::to_string(i));
  Build(files);
  std::string dir = root("/var/run/");
  std::vector<std::string> order = StreamOrder(dir);
  ASSERT_EQ(order.size(), 20u);
  gVanishing = order[3];  // something comes after it
  OsFaultGuard guard;
  os::gOsCurrent.Fstatat = &FstatatAfterVanishing;
  CPathString start;
  start.AssignText(dir.c_str());
  CFileScanner scanner(start, EScanFilesOnly);
  std::vector<TSeen> seen = Walk(scanner);
  gVanishing.clear();
  ASSERT_EQ(seen.size(), 19u) << "every file but the vanished one";
  for (const TSeen& entry : seen) EXPECT_NE(entry.path, dir + order[3]);
  EXPECT_EQ(scanner.Incomplete(), 0);
}

// ---- Tree walks ------------------------------------------------------------

class FileScannerTreeTest : public FileScannerTest {
 protected:
  void SetUp() override {
    std::vector<std::string> tree;
    for (int i = 0; i < 4; ++i) {
      std::string a = "/mnt/sdcard/tree/a" + std::to_string(i) + "/";
      tree.push_back(a + "file");
      for (int j = 0; j < 3; ++j) {
        std::string b = a + "b" + std::to_string(j) + "/";
        tree.push_back(b);
        for (int k = 0; k < i; ++k) tree.push_back(b + "leaf" + std::to_string(k));
        if (j == 1) tree.push_back(b + "c/d/e/deep");
      }
    }
    tree.push_back("/mnt/sdcard/tree/top.txt");
    tree.push_back("/mnt/sdcard/tree/emptydir/");
    Build(tree);
    dir = root("/mnt/sdcard/tree/");
  }

  std::string dir;
};

TEST_F(FileScannerTreeTest, ARecursiveWalkListsEachDirectoryBeforeEnteringItsSubdirectories) {
  for (uint32_t flags : {0u, unsigned(EScanFilesOnly), unsigned(EScanDirectoriesOnly)}) {
    SCOPED_TRACE(flags);
    std::vector<TSeen> seen = Walk(dir, flags | EScanRecursive);
    EXPECT_EQ(seen, ExpectedWalk(dir, flags | EScanRecursive));
  }
}

TEST_F(FileScannerTreeTest, ARecursiveWalkFindsWhatNftwFinds) {
  for (uint32_t flags : {0u, unsigned(EScanFilesOnly), unsigned(EScanDirectoriesOnly)}) {
    SCOPED_TRACE(flags);
    std::vector<TSeen> seen = Walk(dir, flags | EScanRecursive);
    std::set<std::string> paths = PathsOf(seen);
    EXPECT_EQ(paths.size(), seen.size()) << "an entry came twice";
    EXPECT_EQ(paths, NftwPaths(dir, flags));
  }
  EXPECT_EQ(NftwPaths(dir, 0).size(), 56u);  // the fixture is what it claims
}

TEST_F(FileScannerTreeTest, NoAllocationPerEntry) {
  OsFaultGuard guard;
  test::CountCall("Malloc");
  EXPECT_GT(Walk(dir, EScanRecursive).size(), 50u);
  EXPECT_EQ(test::CallCount("Malloc"), 1);  // the pending stack
  EXPECT_EQ(Walk(dir, 0).size(), 6u);
  EXPECT_EQ(test::CallCount("Malloc"), 1);
}

TEST_F(FileScannerTreeTest, WithoutItsPendingStackAWalkListsTheTopDirectoryOnly) {
  OsFaultGuard guard;
  test::FailCall("Malloc", 1, ENOMEM);
  EXPECT_EQ(Walk(dir, EScanRecursive), ExpectedWalk(dir, 0));
}

TEST_F(FileScannerTreeTest, APendingDirectoryThatCannotBeOpenedIsSkipped) {
  // The first directory taken from the stack is the last found at the top.
  std::string skipped;
  for (const std::string& name : StreamOrder(dir))
    if (name != "top.txt") skipped = dir + name + "/";
  std::vector<TSeen> expected;
  for (const TSeen& s : ExpectedWalk(dir, EScanRecursive))
    if (s.path.compare(0, skipped.size(), skipped) != 0 || s.path == skipped) expected.push_back(s);

  OsFaultGuard guard;
  test::FailCall("Opendir", 2, EACCES);
  EXPECT_EQ(Walk(dir, EScanRecursive), expected);
}

TEST_F(FileScannerTreeTest, AbandoningAWalkReleasesItsDirectoryStream) {
  OsFaultGuard guard;
  test::CountCall("Opendir");
  test::CountCall("Closedir");
  {
    CPathString start;
    start.AssignText(dir.c_str());
    CFileScanner scanner(start, EScanRecursive);
    ASSERT_NE(scanner.First(), nullptr);
    ASSERT_NE(scanner.Next(), nullptr);
  }
  EXPECT_EQ(test::CallCount("Closedir"), test::CallCount("Opendir"));
}

TEST_F(FileScannerTreeTest, AScannerMadeOnTheHeapComesFromMalloc) {
  OsFaultGuard guard;
  test::CountCall("Malloc");
  CPathString start;
  start.AssignText(dir.c_str());
  CFileScanner* scanner = new CFileScanner(start, 0);
  ASSERT_NE(scanner, nullptr);
  EXPECT_EQ(test::CallCount("Malloc"), 1);
  EXPECT_NE(scanner->First(), nullptr);
  delete scanner;

  test::FailCall("Malloc", 1, ENOMEM);
  EXPECT_EQ(new CFileScanner(start, 0), nullptr);
}

TEST_F(FileScannerTest, DanglingLinksEndOnlyTheirOwnDirectoryInATreeWalk) {
  Build({"/mnt/sdcard/t/x/1", "/mnt/sdcard/t/x/2", "/mnt/sdcard/t/x/3", "/mnt/sdcard/t/y/z/4", "/mnt/sdcard/t/w/5"});
  ASSERT_EQ(symlink("nowhere", root("/mnt/sdcard/t/x/dangling").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", root("/mnt/sdcard/t/y/dangling").c_str()), 0);
  std::string dir = root("/mnt/sdcard/t/");
  std::vector<TSeen> seen = Walk(dir, EScanRecursive);
  EXPECT_EQ(seen, ExpectedWalk(dir, EScanRecursive));
  EXPECT_TRUE(PathsOf(seen).count(root("/mnt/sdcard/t/w/5")));
}

TEST_F(FileScannerTest, ALinkBackToItsOwnDirectoryDoesNotMakeTheWalkEndless) {
  Build({"/mnt/sdcard/loop/file"});
  ASSERT_EQ(symlink(".", root("/mnt/sdcard/loop/again").c_str()), 0);
  std::vector<TSeen> seen = Walk(root("/mnt/sdcard/loop/"), EScanRecursive);
  EXPECT_GT(seen.size(), 4u);  // it does follow the link, as far as the path holds
  EXPECT_EQ(PathsOf(seen).size(), seen.size());
}

// ---- The pending stack -----------------------------------------------------

std::string Padded(const std::string& head, size_t length) { return head + std::string(length - head.size(), 'p'); }

TEST_F(FileScannerTest, SubdirectoriesBeyondTheFullPendingStackAreReportedButNotVisited) {
  const int KSubdirectories = 40;
  const size_t KNameLength = 60;  // 62 bytes on the stack with "/" and NUL
  std::vector<std::string> tree;
  for (int i = 0; i < KSubdirectories; ++i) tree.push_back("/mnt/sdcard/wide/" + Padded("d" + std::to_string(i), KNameLength) + "/f");
  Build(tree);
  std::string dir = root("/mnt/sdcard/wide/");

  // The stack holds its floor, then the names in the order found, while
  // they fit in 2048 bytes.
  std::set<std::string> visited;
  int used = 1;
  for (const std::string& name : StreamOrder(dir)) {
    int size = static_cast<int>(name.size()) + 2;
    if (used + size > 2048) continue;
    used += size;
    visited.insert(dir + name + "/");
  }
  ASSERT_EQ(visited.size(), 33u);

  std::vector<TSeen> seen = Walk(dir, EScanRecursive);
  std::set<std::string> expected;
  for (const std::string& name : StreamOrder(dir)) {
    expected.insert(dir + name + "/");
    if (visited.count(dir + name + "/")) expected.insert(dir + name + "/f");
  }
  EXPECT_EQ(PathsOf(seen), expected);
  EXPECT_EQ(seen.size(), expected.size());

  std::vector<TSeen> directories = Walk(dir, EScanRecursive | EScanDirectoriesOnly);
  EXPECT_EQ(directories.size(), static_cast<size_t>(KSubdirectories));
}

TEST_F(FileScannerTest, AfterAnOverflowTheWalkStillFindsItsWayBack) {
  std::vector<std::string> tree = {"/mnt/sdcard/t/other/deep/er/x", "/mnt/sdcard/t/z"};
  for (int i = 0; i < 40; ++i)
    tree.push_back("/mnt/sdcard/t/wide/" + Padded("d" + std::to_string(i), 60) + "/sub/f");
  Build(tree);
  std::string dir = root("/mnt/sdcard/t/");
  std::vector<TSeen> seen = Walk(dir, EScanRecursive);
  std::set<std::string> paths = PathsOf(seen);
  std::set<std::string> all = NftwPaths(dir, 0);
  EXPECT_EQ(paths.size(), seen.size());
  for (const std::string& p : paths) EXPECT_TRUE(all.count(p)) << "not in the tree: " << p;
  EXPECT_LT(paths.size(), all.size());  // something was dropped
  for (const char* p : {"/mnt/sdcard/t/other/deep/er/x", "/mnt/sdcard/t/z", "/mnt/sdcard/t/wide/"})
    EXPECT_TRUE(paths.count(root(p))) << p;
}

// A directory whose name and "/" do not fit the 255-character path is
// reported (cut) but not entered: entering it would list its own entries
// under its name.
TEST_F(FileScannerTest, ADirectoryWhoseNameDoesNotFitThePathIsNotEntered) {
  std::string base = root("/t/");
  std::string longDir = Padded("l", 253 - base.size());
  std::string start = base + longDir + "/";
  ASSERT_EQ(start.size(), 254u);
  root.MakeDirs("/t/" + longDir + "/a");
  root.WriteFile("/t/" + longDir + "/a/f", "x");
  root.WriteFile("/t/" + longDir + "/g", "x");
  std::vector<TSeen> seen = Walk(start, EScanRecursive);
  std::sort(seen.begin(), seen.end(), [](const TSeen& a, const TSeen& b) { return a.path < b.path; });
  EXPECT_EQ(seen, (std::vector<TSeen>{{start + "a", 1, 1}, {start + "g", 0, 1}}));
}

// An entry whose name is cut with the 255-character path is reported as the
// cut path names it: with that path's status when it exists, not at all
// when nothing is there.
TEST_F(FileScannerTest, AnEntryWhoseNameIsCutTakesTheStatusOfTheCutPath) {
  std::string base = root("/t/");
  std::string start = base + Padded("s", 249 - base.size()) + "/";
  ASSERT_EQ(start.size(), 250u);
  std::string relative = start.substr(root.Path().size());
  struct TCase {
    bool cutPathIsADirectory;
    std::vector<TSeen> expected;
  };
  for (const TCase& c : {TCase{true, {{start + "abcde", 1, 5}, {start + "abcde", 1, 5}}}, TCase{false, {}}}) {
    SCOPED_TRACE(c.cutPathIsADirectory ? "the cut path is a directory" : "nothing at the cut path");
    root.MakeDirs(relative);
    root.WriteFile(relative + "abcdefghij", "x");
    if (c.cutPathIsADirectory) root.MakeDirs(relative + "abcde");
    std::vector<TSeen> seen = Walk(start, 0);
    EXPECT_EQ(seen, c.expected);
    test::RemoveTree(root(relative));
  }
}

// ---- All mounts ----------------------------------------------------------

class FileScannerMountsTest : public FileScannerTest {
 protected:
  void SetUp() override {
    Build({"/mnt/sdcard/s1", "/mnt/sdcard/s2", "/mnt/sdcard/sdsub/s3", "/mnt/sdcard/map/m1", "/mnt/sdcard/map/mapsub/",
           "/mnt/flash/f1", "/mnt/flash/map/m2", "/mnt/usb/u1", "/mnt/usb/usbsub/u2", "/mnt/initrd/i1",
           "/mnt/initrd/map/i2", "/mnt/plain"});
    for (const std::string& name : StreamOrder(root("/mnt/")))
      if (name != "initrd" && name != "plain") mounts.push_back(root("/mnt/") + name + "/");
    ASSERT_EQ(mounts.size(), 3u);
  }

  // What a walk of each mount gives, the last found mount first.
  std::vector<TSeen> EachMount(const std::string& relative, uint32_t flags) {
    std::vector<TSeen> out;
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it)
      if (access((*it + relative).c_str(), R_OK) == 0) ExpectedWalk(*it + relative, flags, out);
    return out;
  }

  std::vector<TSeen> MountList() {
    std::vector<TSeen> out;
    for (const std::string& m : mounts) out.push_back(TSeen{m, 1, static_cast<int>(m.size())});
    return out;
  }

  std::vector<std::string> mounts;  // in the order found
};

TEST_F(FileScannerMountsTest, RootWithFilesOnlyListsTheFilesOfEveryMount) {
  EXPECT_EQ(Walk("<ROOT>", EScanFilesOnly), EachMount("", EScanFilesOnly));
  EXPECT_EQ(Walk("<ROOT>", 0), EachMount("", 0));
}

TEST_F(FileScannerMountsTest, RootWithDirectoriesOnlyReportsTheMountsFirst) {
  EXPECT_EQ(Walk("<ROOT>", EScanDirectoriesOnly), MountList());
}

TEST_F(FileScannerMountsTest, RootWithDirectoriesOnlyAndRecursionWalksTheMountsAfterTheList) {
  std::vector<TSeen> expected = MountList();
  for (const TSeen& s : EachMount("", EScanDirectoriesOnly | EScanRecursive)) expected.push_back(s);
  EXPECT_EQ(Walk("<ROOT>", EScanDirectoriesOnly | EScanRecursive), expected);
  EXPECT_GT(expected.size(), mounts.size() + 3);
}

TEST_F(FileScannerMountsTest, RootWithFilesOnlyAndRecursionFindsEveryFileOfEveryMount) {
  std::vector<TSeen> seen = Walk("<ROOT>", EScanFilesOnly | EScanRecursive);
  EXPECT_EQ(seen, EachMount("", EScanFilesOnly | EScanRecursive));
  std::set<std::string> files;
  for (const std::string& m : mounts)
    for (const std::string& p : NftwPaths(m, EScanFilesOnly)) files.insert(p);
  EXPECT_EQ(PathsOf(seen), files);
  EXPECT_FALSE(PathsOf(seen).count(root("/mnt/initrd/i1")));
}

TEST_F(FileScannerMountsTest, ARelativeDirectoryIsScannedBelowEveryMountThatHasIt) {
  std::vector<TSeen> seen = Walk("map/", EScanAllMounts);
  EXPECT_EQ(seen, EachMount("map/", 0));
  EXPECT_EQ(PathsOf(seen), (std::set<std::string>{root("/mnt/sdcard/map/m1"), root("/mnt/sdcard/map/mapsub/"),
                                                  root("/mnt/flash/map/m2")}));
}

TEST_F(FileScannerMountsTest, NoMountDirectoryOrNoCandidateGivesNothing) {
  EXPECT_EQ(Walk("nothing-here/", EScanAllMounts), std::vector<TSeen>{});
  test::RemoveTree(root("/mnt"));
  for (uint32_t flags : {0u, unsigned(EScanDirectoriesOnly), unsigned(EScanDirectoriesOnly | EScanRecursive)})
    EXPECT_EQ(Walk("<ROOT>", flags), std::vector<TSeen>{});
}

// Candidates exactly fill the 2048-byte stack, so there is no room left for
// the empty string that ends the mount list.
TEST_F(FileScannerTest, AMountListThatFillsTheWholeStackEnds) {
  test::RemoveTree(root("/mnt/flash"));
  test::RemoveTree(root("/mnt/sdcard"));
  std::string mnt = root("/mnt/");
  ASSERT_LT(mnt.size() + 3, 63u);
  size_t nameLength = 63 - mnt.size() - 1;  // candidates of 63 characters, 64 bytes with NUL
  for (int i = 0; i < 34; ++i) root.MakeDirs("/mnt/" + Padded("m" + std::to_string(i), nameLength) + "/sub");
  std::vector<TSeen> expected;
  for (const std::string& name : StreamOrder(mnt))
    if (expected.size() < 32) expected.push_back(TSeen{mnt + name + "/", 1, 63});
  EXPECT_EQ(Walk("<ROOT>", EScanDirectoriesOnly), expected);

  std::vector<TSeen> recursive = Walk("<ROOT>", EScanDirectoriesOnly | EScanRecursive);
  std::vector<TSeen> list = expected;
  for (auto it = list.rbegin(); it != list.rend(); ++it) ExpectedWalk(it->path, EScanDirectoriesOnly | EScanRecursive, expected);
  EXPECT_EQ(expected.size(), 64u);
  EXPECT_EQ(recursive, expected);
}

// A candidate longer than the path holds is left out: cut, it would name
// another directory.
TEST_F(FileScannerTest, AMountCandidateThatDoesNotFitThePathIsLeftOut) {
  test::RemoveTree(root("/mnt/flash"));
  test::RemoveTree(root("/mnt/sdcard"));
  std::string mnt = root("/mnt/");
  std::string longMount(20, 'b');
  size_t xs = 250 - mnt.size() - 3;  // mnt + "a/" + xs + "/": 250, room for names
  std::string relative = std::string(xs, 'x') + "/";
  ASSERT_EQ((mnt + "a/" + relative).size(), 250u);
  std::string cut = (mnt + longMount + "/" + relative).substr(0, 255);
  root.MakeDirs("/mnt/a/" + relative);
  root.WriteFile("/mnt/a/" + relative + "y", "x");
  root.MakeDirs(cut.substr(root.Path().size()));
  root.WriteFile(cut.substr(root.Path().size()) + "/z", "x");
  EXPECT_EQ(Walk(relative, EScanAllMounts), (std::vector<TSeen>{{mnt + "a/" + relative + "y", 0, 1}}));
}

TEST_F(FileScannerMountsTest, AMissingPendingStackEndsAMountWalkAtOnce) {
  OsFaultGuard guard;
  test::FailCall("Malloc", 1, ENOMEM);
  EXPECT_EQ(Walk("<ROOT>", EScanFilesOnly), std::vector<TSeen>{});
}

// ---- Permissions ---------------------------------------------------------

TEST_F(FileScannerMountsTest, UnreadableMountsAndDirectoriesAreLeftOut) {
  Build({"/mnt/locked/l1", "/mnt/usb/closed/c1", "/mnt/usb/closed/sub/"});
  ASSERT_EQ(chmod(root("/mnt/locked").c_str(), 0311), 0);
  ASSERT_EQ(chmod(root("/mnt/usb/closed").c_str(), 0311), 0);
  ASSERT_EQ(chmod(root.Path().c_str(), 0755), 0);
  std::string locked = root("/mnt/locked/");
  std::string closed = root("/mnt/usb/closed/");

  test::TUnprivilegedRun run = test::RunUnprivileged([&] {
    std::vector<TSeen> mountList = Walk("<ROOT>", EScanDirectoriesOnly);
    std::vector<TSeen> all = Walk("<ROOT>", EScanRecursive);
    int lockedSeen = 0;
    int closedSeen = 0;
    int closedContents = 0;
    for (const TSeen& s : mountList) lockedSeen += s.path == locked;
    for (const TSeen& s : all) {
      lockedSeen += s.path.compare(0, locked.size(), locked) == 0;
      closedSeen += s.path == closed;
      closedContents += s.path.size() > closed.size() && s.path.compare(0, closed.size(), closed) == 0;
    }
    return std::vector<int>{static_cast<int>(mountList.size()), lockedSeen, closedSeen, closedContents,
                            static_cast<int>(all.size())};
  });
  if (run.cannotDrop) GTEST_SKIP() << run.reason;
  ASSERT_TRUE(run.ran) << run.reason;
  ASSERT_EQ(run.values.size(), 5u);
  EXPECT_EQ(run.values[0], 3);  // the readable mounts only
  EXPECT_EQ(run.values[1], 0);
  EXPECT_EQ(run.values[2], 1);  // reported as an entry of its parent
  EXPECT_EQ(run.values[3], 0);  // but not listed
  EXPECT_GT(run.values[4], 10);
}

}  // namespace
}  // namespace varnix

// Walking directories and copying a file, beside std::filesystem, nftw(3)
// and copy_file_range(2). Every walker reads every entry's status with
// links followed, as CFileScanner does.

#include <fcntl.h>
#include <ftw.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "base/path_operations.h"
#include "storage/file_scanner.h"
#include "support/bench_support.h"

namespace varnix {
namespace bench {
namespace {

void Touch(const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) Fail("create " + path);
  close(fd);
}

void MakeDir(const std::string& path) {
  if (mkdir(path.c_str(), 0755) != 0) Fail("mkdir " + path);
}

std::string FileName(int i) {
  char name[32];
  snprintf(name, sizeof name, "file%05d.dat", i);
  return name;
}

// The two directories, made once per run: a flat one of 10,000 files and a
// tree of 10 directories of 10 directories of 499 files (50,010 entries).
struct TTrees {
  CScratchDir scratch{"files"};
  std::string flat;
  std::string tree;
  long flatEntries = 0;
  long treeEntries = 0;

  TTrees() {
    flat = scratch.Path() + "/flat";
    tree = scratch.Path() + "/tree";
    MakeDir(flat);
    long files = Scaled(10000, 100);
    for (long i = 0; i < files; ++i) Touch(flat + "/" + FileName(static_cast<int>(i)));
    flatEntries = files;

    MakeDir(tree);
    long perLeaf = Scaled(499, 4);
    for (int a = 0; a < 10; ++a) {
      std::string top = tree + "/area" + std::to_string(a);
      MakeDir(top);
      ++treeEntries;
      for (int b = 0; b < 10; ++b) {
        std::string leaf = top + "/region" + std::to_string(b);
        MakeDir(leaf);
        ++treeEntries;
        for (long i = 0; i < perLeaf; ++i) Touch(leaf + "/" + FileName(static_cast<int>(i)));
        treeEntries += perLeaf;
      }
    }
  }
};

TTrees& Trees() {
  static TTrees trees;
  return trees;
}

void CheckCount(benchmark::State& state, long seen, long expected) {
  if (seen != expected) state.SkipWithError("the walk did not see every entry");
  state.SetLabel(std::to_string(seen) + " entries");
}

long ScanWithRuntime(const std::string& dir, uint32_t flags) {
  CPathString path;
  path.AssignText((dir + "/").c_str());
  CFileScanner scanner(path, flags);
  long n = 0;
  for (CFileScanner::TEntry* e = scanner.First(); e != nullptr; e = scanner.Next()) ++n;
  return n;
}

long ScanWithFilesystem(const std::string& dir, bool recursive) {
  namespace fs = std::filesystem;
  long n = 0;
  if (recursive) {
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir)) {
      benchmark::DoNotOptimize(e.status().type());
      ++n;
    }
  } else {
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
      benchmark::DoNotOptimize(e.status().type());
      ++n;
    }
  }
  return n;
}

long gNftwCount;

int CountEntry(const char*, const struct stat* info, int, struct FTW* where) {
  benchmark::DoNotOptimize(info->st_mode);
  if (where->level > 0) ++gNftwCount;  // the start directory is not an entry
  return 0;
}

long ScanWithNftw(const std::string& dir) {
  gNftwCount = 0;
  nftw(dir.c_str(), CountEntry, 32, 0);
  return gNftwCount;
}

// The flat directory is also walked named by a path of one component, from
// inside it ("./"): a walker that looked entries up by their full path
// would be slower from the long path than from "./", one that asks relative
// to the open directory (as nftw does) is not.
class CWorkingDirectory {
 public:
  explicit CWorkingDirectory(const std::string& dir) {
    if (getcwd(saved_, sizeof saved_) == nullptr || chdir(dir.c_str()) != 0) Fail("chdir " + dir);
  }
  ~CWorkingDirectory() {
    if (chdir(saved_) != 0) Fail("chdir back");
  }

 private:
  char saved_[4096];
};

enum TWalker { EWalkVarnix, EWalkFilesystem, EWalkNftw };
enum TWalked { EWalkFlat, EWalkFlatFromInside, EWalkTree };

long Walk(TWalker walker, const std::string& dir, bool recursive) {
  switch (walker) {
    case EWalkVarnix: return ScanWithRuntime(dir, recursive ? EScanRecursive : 0);
    case EWalkFilesystem: return ScanWithFilesystem(dir, recursive);
    case EWalkNftw: break;
  }
  return ScanWithNftw(dir);
}

void Scan(benchmark::State& state, TWalker walker, TWalked walked) {
  TTrees& t = Trees();
  bool tree = walked == EWalkTree;
  std::string dir = tree ? t.tree : t.flat;
  std::unique_ptr<CWorkingDirectory> inside;
  if (walked == EWalkFlatFromInside) {
    inside.reset(new CWorkingDirectory(dir));
    dir = ".";
  }
  long n = 0;
  for (auto _ : state) n = Walk(walker, dir, tree);
  CheckCount(state, n, tree ? t.treeEntries : t.flatEntries);
}

#define VARNIX_SCAN_BENCHMARK(id, walker, walked, name) \
  BENCHMARK_CAPTURE(Scan, id, walker, walked)->Name(name)->UseRealTime()->Unit(benchmark::kMillisecond)

VARNIX_SCAN_BENCHMARK(flat_varnix, EWalkVarnix, EWalkFlat, "CFileScanner, flat directory of 10,000 files/varnix");
VARNIX_SCAN_BENCHMARK(flat_filesystem, EWalkFilesystem, EWalkFlat, "CFileScanner, flat directory of 10,000 files/std::filesystem");
VARNIX_SCAN_BENCHMARK(flat_nftw, EWalkNftw, EWalkFlat, "CFileScanner, flat directory of 10,000 files/nftw");
VARNIX_SCAN_BENCHMARK(inside_varnix, EWalkVarnix, EWalkFlatFromInside, "CFileScanner, the same directory started from \"./\"/varnix");
VARNIX_SCAN_BENCHMARK(inside_nftw, EWalkNftw, EWalkFlatFromInside, "CFileScanner, the same directory started from \"./\"/nftw");
VARNIX_SCAN_BENCHMARK(tree_varnix, EWalkVarnix, EWalkTree, "CFileScanner, tree of 50,010 entries/varnix");
VARNIX_SCAN_BENCHMARK(tree_filesystem, EWalkFilesystem, EWalkTree, "CFileScanner, tree of 50,010 entries/std::filesystem");
VARNIX_SCAN_BENCHMARK(tree_nftw, EWalkNftw, EWalkTree, "CFileScanner, tree of 50,010 entries/nftw");

// --- Copying ------------------------------------------------------------------

struct TCopyFiles {
  CScratchDir scratch{"copy"};
  std::string source;
  std::string target;
  long bytes;

  TCopyFiles() {
    source = scratch.Path() + "/source.bin";
    target = scratch.Path() + "/target.bin";
    bytes = Scaled(64l << 20, 1l << 20);
    std::vector<char> block(1 << 20);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 131 + (i >> 9));
    FILE* out = fopen(source.c_str(), "wb");
    if (out == nullptr) Fail("create " + source);
    for (long written = 0; written < bytes; written += static_cast<long>(block.size()))
      fwrite(block.data(), 1, block.size(), out);
    fclose(out);
  }
};

TCopyFiles& CopyFiles() {
  static TCopyFiles files;
  return files;
}

void Copy_varnix(benchmark::State& state) {
  TCopyFiles& f = CopyFiles();
  CPathString source;
  CPathString target;
  source.AssignText(f.source.c_str());
  target.AssignText(f.target.c_str());
  for (auto _ : state)
    if (CopyFile(source, target) != 0) state.SkipWithError("CopyFile failed");
}

// The copy a Linux programmer writes today: the kernel moves the bytes.
int CopyWithCopyFileRange(const char* from, const char* to) {
  int in = open(from, O_RDONLY);
  if (in < 0) return -1;
  struct stat info;
  fstat(in, &info);
  int out = open(to, O_WRONLY | O_CREAT | O_TRUNC, info.st_mode & 0777);
  if (out < 0) {
    close(in);
    return -1;
  }
  int result = 0;
  for (;;) {
    ssize_t n = copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
    if (n == 0) break;
    if (n < 0) {
      result = -1;
      break;
    }
  }
  fchmod(out, info.st_mode & 0777);
  if (close(out) != 0) result = -1;
  close(in);
  return result;
}

void Copy_copy_file_range(benchmark::State& state) {
  TCopyFiles& f = CopyFiles();
  for (auto _ : state)
    if (CopyWithCopyFileRange(f.source.c_str(), f.target.c_str()) != 0) state.SkipWithError("copy_file_range failed");
}

BENCHMARK(Copy_varnix)->Name("CopyFile of 64 MiB/varnix")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Copy_copy_file_range)->Name("CopyFile of 64 MiB/copy_file_range")->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bench
}  // namespace varnix

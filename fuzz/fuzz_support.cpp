#include "fuzz_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/host_root.h"

namespace varnix {
namespace fuzz {
namespace {

std::string* gRoot;

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  ::remove(path);
  return 0;
}

void RemoveRoot() {
  if (gRoot != nullptr) nftw(gRoot->c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace

void Fail(const char* file, int line, const char* condition) {
  fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  abort();
}

const std::string& FuzzRoot() {
  if (gRoot != nullptr) return *gRoot;
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/varnix-fuzz-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) Fail(__FILE__, __LINE__, "mkdtemp");
  gRoot = new std::string(pattern);
  for (const char* dir : {"/var", "/var/run", "/mnt", "/mnt/flash", "/mnt/flash/sysfile", "/mnt/sdcard", "/proc",
                          "/proc/morvantis", "/etc"})
    mkdir((*gRoot + dir).c_str(), 0755);
  SetHostRoot(gRoot->c_str());
  setenv("VARNIX_ROOT", gRoot->c_str(), 1);
  atexit(RemoveRoot);
  return *gRoot;
}

void EmptyDirectory(const std::string& devicePath) {
  std::string dir = FuzzRoot() + devicePath;
  if (DIR* d = opendir(dir.c_str())) {
    while (struct dirent* entry = readdir(d)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") nftw((dir + "/" + name).c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    }
    closedir(d);
  }
}

void WriteDeviceFile(const std::string& devicePath, const uint8_t* data, size_t size) {
  std::string path = FuzzRoot() + devicePath;
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) Fail(__FILE__, __LINE__, "open of a device file");
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) Fail(__FILE__, __LINE__, "write of a device file");
    done += static_cast<size_t>(n);
  }
  close(fd);
}

void SilenceStdout() {
  if (freopen("/dev/null", "w", stdout) == nullptr) Fail(__FILE__, __LINE__, "freopen");
}

void PrepareTarget() {
  FuzzRoot();
  SilenceStdout();
}

int OpenDescriptors() {
  int count = 0;
  for (int fd = 0; fd < 1024; ++fd)
    if (fcntl(fd, F_GETFD) != -1) ++count;
  return count;
}

}  // namespace fuzz
}  // namespace varnix

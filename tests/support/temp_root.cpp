#include "support/temp_root.h"

#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "base/host_root.h"

namespace varnix {
namespace test {
namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  ::remove(path);
  return 0;
}

}  // namespace

void RemoveTree(const std::string& path) { nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); }

bool RunningAsRoot() { return geteuid() == 0; }

TempRoot::TempRoot() {
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/varnix-test-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  for (const char* dir : {"/var/run", "/mnt/flash/sysfile", "/mnt/sdcard", "/proc/morvantis", "/etc", "/bin"})
    MakeDirs(dir);
  SetHostRoot(path_.c_str());
  setenv("VARNIX_ROOT", path_.c_str(), 1);
}

TempRoot::~TempRoot() {
  SetHostRoot(nullptr);
  unsetenv("VARNIX_ROOT");
  RemoveTree(path_);
}

void TempRoot::MakeDirs(const std::string& devicePath) const {
  std::string full = path_;
  std::stringstream parts(devicePath);
  std::string part;
  while (std::getline(parts, part, '/')) {
    if (part.empty()) continue;
    full += "/" + part;
    mkdir(full.c_str(), 0755);
  }
}

void TempRoot::WriteFile(const std::string& devicePath, const std::string& contents) const {
  std::ofstream out(path_ + devicePath, std::ios::binary | std::ios::trunc);
  out << contents;
  if (!out) throw std::runtime_error("cannot write " + devicePath);
}

std::string TempRoot::ReadFile(const std::string& devicePath) const {
  std::ifstream in(path_ + devicePath, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

bool TempRoot::Exists(const std::string& devicePath) const {
  struct stat info;
  return lstat((path_ + devicePath).c_str(), &info) == 0;
}

}  // namespace test
}  // namespace varnix

#include "support/bench_support.h"

#include <errno.h>
#include <ftw.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace varnix {
namespace bench {

bool SmokeRun() {
  const char* value = getenv("VARNIX_BENCH_SMOKE");
  return value != nullptr && *value != 0 && strcmp(value, "0") != 0;
}

std::string ProgramDir() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) Fail("cannot read /proc/self/exe");
  std::string self(path, static_cast<size_t>(n));
  return self.substr(0, self.rfind('/'));
}

CScratchDir::CScratchDir(const char* what) {
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/varnix-bench-" + what + "-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) Fail("mkdtemp " + pattern + ": " + strerror(errno));
  path_ = pattern;
}

CScratchDir::~CScratchDir() { RemoveTree(path_); }

namespace {

int RemoveOne(const char* path, const struct stat*, int, struct FTW*) {
  remove(path);
  return 0;
}

}  // namespace

void RemoveTree(const std::string& path) { nftw(path.c_str(), RemoveOne, 64, FTW_DEPTH | FTW_PHYS); }

void Fail(const std::string& what) {
  fprintf(stderr, "benchmark set-up failed: %s\n", what.c_str());
  exit(2);
}

}  // namespace bench
}  // namespace varnix

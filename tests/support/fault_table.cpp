#include "support/fault_table.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <stdio.h>
#include <string.h>

#include <map>

#include "support/os_fault.h"

#if defined(__SANITIZE_ADDRESS__)
#define VARNIX_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VARNIX_ASAN 1
#endif
#endif
#ifdef VARNIX_ASAN
// The sanitizer runtime's count of the bytes allocated and not yet freed
// (the allocator's own statistics are not kept under it).
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#endif

namespace varnix {
namespace test {

std::string TFaultCase::Describe() const {
  const char* name = strerrorname_np(error);
  return call + " #" + std::to_string(nth) + " " + (name != nullptr ? name : std::to_string(error));
}

std::vector<int> RealisticErrors(const std::string& call) {
  static const std::map<std::string, std::vector<int>> table = {
      {"Open", {ENOENT, EMFILE, ENOSPC, EACCES}},
      {"Fopen", {ENOENT, EMFILE, ENOSPC, EACCES}},
      {"Close", {EIO, EINTR}},
      {"Fclose", {EIO, ENOSPC}},
      {"Read", {EIO, EINTR}},
      {"Fread", {EIO}},
      {"Fgets", {EIO}},
      {"Write", {ENOSPC, EIO, EINTR}},
      {"Fwrite", {ENOSPC, EIO}},
      {"Fflush", {ENOSPC, EIO}},
      {"Fsync", {EIO, ENOSPC}},
      {"Fileno", {EBADF}},
      {"Fseek", {EIO}},
      {"Ftell", {EIO}},
      {"Lseek", {EIO}},
      {"Ftruncate", {EIO, ENOSPC}},
      {"Stat", {EIO, ENOENT}},
      {"Lstat", {EIO, ENOENT}},
      {"Fstat", {EIO}},
      {"Fstatat", {EIO, ENOENT}},
      {"Access", {EACCES, EIO}},
      {"Mkdir", {ENOSPC, EIO, ENOENT}},
      {"Rmdir", {EIO}},
      {"Unlink", {EIO, ENOENT}},
      {"Rename", {ENOSPC, EIO, ENOENT}},
      {"Link", {ENOSPC, EIO}},
      {"Fchmod", {EPERM}},
      {"Opendir", {EMFILE, ENOENT}},
      {"Readdir", {EIO}},
      {"Closedir", {EIO}},
      {"Malloc", {ENOMEM}},
      {"Realloc", {ENOMEM}},
      {"Mmap", {ENOMEM}},
      {"Munmap", {EINVAL}},
      {"Socket", {EMFILE}},
      {"Connect", {ECONNREFUSED, ENOENT}},
      {"Select", {EINTR, EBADF}},
      {"Ioctl", {EIO}},
      {"Poll", {EINTR}},
  };
  auto found = table.find(call);
  return found != table.end() ? found->second : std::vector<int>{};
}

int OpenDescriptors() {
  int count = 0;
  for (int fd = 0; fd < 1024; ++fd)
    if (fcntl(fd, F_GETFD) != -1) ++count;
  return count;
}

size_t HeapInUse() {
#ifdef VARNIX_ASAN
  return __sanitizer_get_current_allocated_bytes();
#else
  return mallinfo2().uordblks;
#endif
}

std::vector<std::string> RunFaultTable(const TFaultScenario& scenario) {
  // The counting run.
  scenario.prepare();
  ResetOsFaults();
  for (int i = 0; i < OsCallCount(); ++i) CountCall(OsCallName(i));
  int result = scenario.run();
  std::vector<std::pair<std::string, int>> counts;
  for (int i = 0; i < OsCallCount(); ++i)
    if (CallCount(OsCallName(i)) > 0) counts.push_back({OsCallName(i), CallCount(OsCallName(i))});
  ResetOsFaults();
  scenario.checkSuccess(result);

  std::vector<std::string> log;
  for (const auto& count : counts) {
    for (int nth = 1; nth <= count.second; ++nth) {
      for (int error : RealisticErrors(count.first)) {
        TFaultCase fault{count.first, nth, error};
        SCOPED_TRACE(fault.Describe());
        scenario.prepare();
        int descriptors = OpenDescriptors();
        size_t heap = HeapInUse();
        FailCall(fault.call.c_str(), nth, error);
        result = scenario.run();
        bool fired = FaultsFired(fault.call.c_str()) > 0;
        ResetOsFaults();
        size_t heapAfter = HeapInUse();
        EXPECT_LE(OpenDescriptors(), descriptors) << "a descriptor is left open";
        EXPECT_LE(heapAfter, heap) << "heap memory is left behind";
        scenario.checkFault(result, fired, fault);
        log.push_back(fault.Describe() + " -> " + std::to_string(result));
        printf("[fault] %s\n", log.back().c_str());
        // The next attempt, on whatever the failed one left behind.
        if (scenario.beforeNextAttempt) scenario.beforeNextAttempt(fault);
        scenario.checkSuccess(scenario.run());
        if (::testing::Test::HasFailure()) return log;
      }
    }
  }
  return log;
}

}  // namespace test
}  // namespace varnix

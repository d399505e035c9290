#ifndef VARNIX_TESTS_SUPPORT_FAULT_TABLE_H
#define VARNIX_TESTS_SUPPORT_FAULT_TABLE_H

// Table-driven fault injection: an operation is run once to learn which OS
// calls it makes and how often, then once for every one of those calls and
// every n up to its count, with the nth call failing with each errno that a
// real failure of that call gives (ENOSPC, EIO, EINTR, EMFILE, ENOENT, ...).
// After every faulted attempt the scenario's check looks at the result and
// at what a reader would see; the runner checks that no file descriptor and
// no heap memory is left behind (the attempt holds no more of either than
// before it), and that the next attempt, without a fault, works.

#include <stddef.h>

#include <functional>
#include <string>
#include <vector>

namespace varnix {
namespace test {

struct TFaultCase {
  std::string call;  // the OS seam's name: "Fwrite"
  int nth;           // the nth call of it fails
  int error;         // with this errno
  std::string Describe() const;  // "Fwrite #2 ENOSPC"
};

struct TFaultScenario {
  // Brings the world to the state before the operation (called before the
  // counting run and before every faulted attempt).
  std::function<void()> prepare;
  // The operation; releases whatever it hands to its caller, and returns its
  // result code. Must not use gtest assertions: it runs while heap and
  // descriptors are being counted.
  std::function<int()> run;
  // After a faulted attempt: result and whether the fault fired. Checks with
  // EXPECT_... and the case's description.
  std::function<void(int result, bool fired, const TFaultCase& fault)> checkFault;
  // After an attempt without a fault (the counting run and every next
  // attempt): checks that the operation did its whole work.
  std::function<void(int result)> checkSuccess;
  // Optional: what the owner does after a failed attempt before it tries
  // again (reopening files whose position was lost, say).
  std::function<void(const TFaultCase& fault)> beforeNextAttempt;
};

// The realistic errnos of a failure of each call; calls that cannot fail in
// a way the runtime must survive (getpid) have none and are not failed.
std::vector<int> RealisticErrors(const std::string& call);

// Runs the table; returns the cases that were run, with their results, one
// line each ("Fwrite #2 ENOSPC -> -1"), for the test's log.
std::vector<std::string> RunFaultTable(const TFaultScenario& scenario);

// Open file descriptors of the process (probed, not listed).
int OpenDescriptors();

// Bytes of heap memory in use (the sanitizer's count under AddressSanitizer,
// the allocator's otherwise).
size_t HeapInUse();

}  // namespace test
}  // namespace varnix

#endif

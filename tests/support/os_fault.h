#ifndef VARNIX_TESTS_SUPPORT_OS_FAULT_H
#define VARNIX_TESTS_SUPPORT_OS_FAULT_H

// Fault injection through the runtime's OS seam. A test makes the Nth call
// of one OS function (counted from the moment of arming) fail with a chosen
// errno, once or from then on; every other call goes to the real function.
//
//   varnix::test::OsFaultGuard guard;               // restores on scope exit
//   varnix::test::FailCall("Write", 2, ENOSPC);     // the 2nd write fails
//   ...
//   EXPECT_EQ(varnix::test::CallCount("Write"), 3);

namespace varnix {
namespace test {

enum TFaultMode { EFailOnce, EFailFromThenOn };

// Arms a fault on the named call (the accessor's name, "Write", "Fopen").
// Returns false for an unknown name. A failing call does nothing and
// returns the call's failure value, except the calls that give a resource
// back (Close, Fclose, Closedir, Munmap): as in the system, they release it
// and then report the failure.
bool FailCall(const char* name, int nth, int error, TFaultMode mode = EFailOnce);

// Counts calls of the named function from now on, without failing any.
bool CountCall(const char* name);

// Calls seen on the named function since it was armed or counted.
int CallCount(const char* name);

// How many times an armed fault has fired.
int FaultsFired(const char* name);

// Restores every entry of the table and forgets all faults.
void ResetOsFaults();

// Number of calls in the seam, and the name of the i-th.
int OsCallCount();
const char* OsCallName(int i);

struct OsFaultGuard {
  OsFaultGuard() { ResetOsFaults(); }
  ~OsFaultGuard() { ResetOsFaults(); }
};

}  // namespace test
}  // namespace varnix

#endif

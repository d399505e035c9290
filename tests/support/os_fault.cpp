#include "support/os_fault.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/ioctl.h>

#include "base/os.h"

namespace varnix {
namespace test {
namespace {

enum TCallIndex {
#define VARNIX_OS_CALL(Name, function, Ret, fail, params, args) KIndex##Name,
#include "base/os_calls.inc"
#undef VARNIX_OS_CALL
  KCallCount
};

const char* const KNames[KCallCount] = {
#define VARNIX_OS_CALL(Name, function, Ret, fail, params, args) #Name,
#include "base/os_calls.inc"
#undef VARNIX_OS_CALL
};

struct TFault {
  int seen;      // calls since armed
  int nth;       // 0: only counting
  int error;
  TFaultMode mode;
  int fired;
};

TFault gFaults[KCallCount];

// True when this call is to fail.
bool Hit(int index) {
  TFault& f = gFaults[index];
  ++f.seen;
  if (f.nth <= 0) return false;
  bool fail = f.mode == EFailOnce ? f.seen == f.nth : f.seen >= f.nth;
  if (fail) {
    ++f.fired;
    errno = f.error;
  }
  return fail;
}

// Calls that give a resource back: the system releases it also when it
// reports a failure (close(2) after EIO, fclose(3) after a failed flush), so
// a fault does the real call and then reports the failure.
bool ReleasesAlways(int index) {
  return index == KIndexClose || index == KIndexFclose || index == KIndexClosedir || index == KIndexMunmap;
}

#define VARNIX_OS_CALL(Name, function, Ret, fail, params, args) \
  Ret Faulty##Name params {                                     \
    if (!Hit(KIndex##Name)) return os::gOsDefaults.Name args;   \
    if (ReleasesAlways(KIndex##Name)) {                         \
      int error = errno;                                        \
      os::gOsDefaults.Name args;                                \
      errno = error;                                            \
    }                                                           \
    return fail;                                                \
  }
#include "base/os_calls.inc"
#undef VARNIX_OS_CALL

int IndexOf(const char* name) {
  for (int i = 0; i < KCallCount; ++i)
    if (strcmp(KNames[i], name) == 0) return i;
  return -1;
}

void Install(int index) {
  switch (index) {
#define VARNIX_OS_CALL(Name, function, Ret, fail, params, args) \
  case KIndex##Name:                                            \
    os::gOsCurrent.Name = &Faulty##Name;                        \
    break;
#include "base/os_calls.inc"
#undef VARNIX_OS_CALL
  }
}

}  // namespace

bool FailCall(const char* name, int nth, int error, TFaultMode mode) {
  int i = IndexOf(name);
  if (i < 0) return false;
  gFaults[i] = TFault{0, nth, error, mode, 0};
  Install(i);
  return true;
}

bool CountCall(const char* name) { return FailCall(name, 0, 0, EFailOnce); }

int CallCount(const char* name) {
  int i = IndexOf(name);
  return i < 0 ? -1 : gFaults[i].seen;
}

int FaultsFired(const char* name) {
  int i = IndexOf(name);
  return i < 0 ? -1 : gFaults[i].fired;
}

void ResetOsFaults() {
  memset(gFaults, 0, sizeof gFaults);
  os::RestoreOsDefaults();
}

int OsCallCount() { return KCallCount; }
const char* OsCallName(int i) { return i >= 0 && i < KCallCount ? KNames[i] : nullptr; }

}  // namespace test
}  // namespace varnix

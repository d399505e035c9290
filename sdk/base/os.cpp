#include "base/os.h"

#include <fcntl.h>
#include <sys/ioctl.h>

namespace varnix {
namespace os {
namespace {

// One small function per call, so that variadic and overloaded C library
// functions get a fixed signature the table can hold.
#define VARNIX_OS_CALL(Name, function, Ret, fail, params, args) \
  Ret Default##Name params { return ::function args; }
#include "base/os_calls.inc"
#undef VARNIX_OS_CALL

}  // namespace

const TOsTable gOsDefaults = {
#define VARNIX_OS_CALL(Name, function, Ret, fail, params, args) &Default##Name,
#include "base/os_calls.inc"
#undef VARNIX_OS_CALL
};

TOsTable gOsCurrent = {
#define VARNIX_OS_CALL(Name, function, Ret, fail, params, args) &Default##Name,
#include "base/os_calls.inc"
#undef VARNIX_OS_CALL
};

void RestoreOsDefaults() { gOsCurrent = gOsDefaults; }

}  // namespace os
}  // namespace varnix

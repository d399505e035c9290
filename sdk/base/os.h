#ifndef VARNIX_BASE_OS_H
#define VARNIX_BASE_OS_H

/// @file
/// The seam between the runtime and the operating system. The runtime never
/// calls the C library's system interfaces directly: it calls the accessors
/// below, which go through one table of function pointers. A test replaces an
/// entry (or all of them) to make a call fail with a chosen errno, and puts
/// the defaults back with RestoreOsDefaults.

#include <dirent.h>
#include <malloc.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/time.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

// The allocator's statistics: mallinfo2 where the C library has it (its
// counters do not wrap above 2 GiB), the older mallinfo elsewhere.
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
#define VARNIX_MALLINFO mallinfo2
#else
#define VARNIX_MALLINFO mallinfo
#endif

namespace varnix {
namespace os {

/// The table: one member per call, named as its accessor.
struct TOsTable {
#define VARNIX_OS_CALL(Name, function, Ret, fail, params, args) Ret(*Name) params;
#include "os_calls.inc"
#undef VARNIX_OS_CALL
};

/// The table in force, and the untouched defaults. Both are constant-initialised.
///@{
extern TOsTable gOsCurrent;
extern const TOsTable gOsDefaults;
///@}

/// Puts every entry of the table back to its default.
void RestoreOsDefaults();

// The accessors: os::Open(...), os::Write(...), and so on.
#define VARNIX_OS_CALL(Name, function, Ret, fail, params, args) \
  inline Ret Name params { return gOsCurrent.Name args; }
#include "os_calls.inc"
#undef VARNIX_OS_CALL

/// Releases a block from os::Malloc or os::Realloc; never fails, so it is not
/// part of the table.
inline void Free(void* block) { ::free(block); }

}  // namespace os
}  // namespace varnix

#endif

#ifndef VARNIX_BENCH_SUPPORT_ALLOC_COUNTER_H
#define VARNIX_BENCH_SUPPORT_ALLOC_COUNTER_H

// Heap allocations, counted two ways:
//   AllHeapCalls()      every malloc, calloc, realloc and aligned allocation
//                       of the process: the runtime's, the C library's own
//                       (stdio buffers) and operator new's. The program
//                       that links alloc_counter.cpp replaces the C
//                       library's allocation entry points with counting
//                       wrappers around the C library's allocator.
//   RuntimeHeapCalls()  only what the runtime asks for through its OS seam
//                       (os::Malloc, os::Realloc), while a
//                       CCountRuntimeAllocations object lives.
// The counts are plain integers: benchmarks that read them run in one
// thread.

#include <stdint.h>

namespace varnix {
namespace bench {

uint64_t AllHeapCalls();
uint64_t RuntimeHeapCalls();

class CCountRuntimeAllocations {
 public:
  CCountRuntimeAllocations();
  ~CCountRuntimeAllocations();
  CCountRuntimeAllocations(const CCountRuntimeAllocations&) = delete;
  CCountRuntimeAllocations& operator=(const CCountRuntimeAllocations&) = delete;
};

}  // namespace bench
}  // namespace varnix

#endif

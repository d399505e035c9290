#include "support/alloc_counter.h"

#include <errno.h>
#include <stddef.h>

#include "base/os.h"

// The C library's allocator under its internal names; the wrappers below
// take the public names, so every allocation of the process passes here,
// those made inside the C library included.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {

uint64_t gAllCalls;
uint64_t gRuntimeCalls;

}  // namespace

extern "C" {

void* malloc(size_t size) {
  ++gAllCalls;
  return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
  ++gAllCalls;
  return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) {
  ++gAllCalls;
  return __libc_realloc(block, size);
}

void free(void* block) { __libc_free(block); }

void* memalign(size_t alignment, size_t size) {
  ++gAllCalls;
  return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }

int posix_memalign(void** out, size_t alignment, size_t size) {
  void* block = memalign(alignment, size);
  if (block == nullptr) return ENOMEM;
  *out = block;
  return 0;
}

}  // extern "C"

namespace varnix {
namespace bench {
namespace {

// The runtime's calls are counted here and again by the wrappers above.
void* CountedMalloc(size_t size) {
  ++gRuntimeCalls;
  return ::malloc(size);
}

void* CountedRealloc(void* block, size_t size) {
  ++gRuntimeCalls;
  return ::realloc(block, size);
}

}  // namespace

uint64_t AllHeapCalls() { return gAllCalls; }
uint64_t RuntimeHeapCalls() { return gRuntimeCalls; }

CCountRuntimeAllocations::CCountRuntimeAllocations() {
  os::gOsCurrent.Malloc = CountedMalloc;
  os::gOsCurrent.Realloc = CountedRealloc;
}

CCountRuntimeAllocations::~CCountRuntimeAllocations() { os::RestoreOsDefaults(); }

}  // namespace bench
}  // namespace varnix

#ifndef VARNIX_BASE_HEAP_OBJECT_H
#define VARNIX_BASE_HEAP_OBJECT_H

#include <stddef.h>

#include "base/os.h"

namespace varnix {

/// Base of every class the runtime creates on the heap: objects come from
/// malloc and go back with free, and a failed allocation gives a null pointer
/// (the new-expression then runs no constructor) instead of an exception.
class CHeapObject {
 public:
  static void* operator new(size_t size) noexcept { return os::Malloc(size); }
  static void operator delete(void* block) noexcept { os::Free(block); }
  virtual ~CHeapObject() {}
};

}  // namespace varnix

#endif

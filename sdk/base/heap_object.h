#ifndef VARNIX_BASE_HEAP_OBJECT_H
#define VARNIX_BASE_HEAP_OBJECT_H

#include <stddef.h>

#include "base/os.h"

/// The allocation operators of a class the runtime creates on the heap: from
/// malloc, back with free, null instead of an exception when memory is short.
/// An abstract interface with a virtual destructor declares them too, so that
/// the deleting destructor the compiler emits for it names free rather than
/// the C++ runtime's global operator delete.
#define VARNIX_HEAP_OPERATORS                                                            \
  static void* operator new(size_t size) noexcept { return ::varnix::os::Malloc(size); } \
  static void operator delete(void* block) noexcept { ::varnix::os::Free(block); }

namespace varnix {

/// Base of every class the runtime creates on the heap: objects come from
/// malloc and go back with free, and a failed allocation gives a null pointer
/// (the new-expression then runs no constructor) instead of an exception.
class CHeapObject {
 public:
  VARNIX_HEAP_OPERATORS
  virtual ~CHeapObject() {}
};

}  // namespace varnix

#endif

#ifndef VARNIX_MESSAGING_ARGUMENTS_H
#define VARNIX_MESSAGING_ARGUMENTS_H

/// @file
/// The argument list of one message: text fields, each followed by a
/// separator byte, then a zero byte ("a|bc||" holds a, bc and an empty
/// field). A message is built with Append; a received one is read into
/// Buffer() and cut into fields in place with Split, after which Count and At
/// give the fields. There is no quoting: a field never holds the separator or
/// a zero byte.

#include <stddef.h>
#include <stdint.h>

#include "base/heap_object.h"

namespace varnix {

class MArguments {
 public:
  virtual ~MArguments() {}

  /// Empties the list and releases its heap memory.
  virtual void Reset() = 0;
  /// Appends text and the separator; returns the length of the text before
  /// the new separator, or -1 (the list unchanged) when the memory for a
  /// larger buffer cannot be obtained.
  virtual int32_t Append(const char* text) = 0;
  /// The text in use; writable, at least 1024 bytes (or the size reserved).
  virtual char* Buffer() = 0;
  /// Cuts the text at the separators; the piece after the last one is not a
  /// field.
  virtual void Split() = 0;
  /// Fields found by the last Split; 0 after Reset or Reserve.
  virtual int32_t Count() const = 0;
  /// Field index of the last Split, or null when out of range. Valid until
  /// the next Reset, Reserve or Append.
  virtual char* At(int32_t index) const = 0;
  /// Empties the list, then provides a heap buffer of exactly size bytes;
  /// 1 when it was obtained, else 0 (the list then uses its inline buffer).
  virtual int Reserve(int32_t size) = 0;
};

/// Common base of SDK objects: allocated zero-filled, released with free.
class CSdkBase : public CHeapObject {
 public:
  static void* operator new(size_t size) noexcept;
  static void operator delete(void* block) noexcept;
};

/// The argument list of every endpoint. Messages of up to 1023 bytes of text
/// and 30 fields need no heap memory.
class CCsvArguments : public MArguments, public CSdkBase {
 public:
  static const int32_t KInlineTextSize = 1024;
  static const int32_t KInlineFieldSlots = 32;
  static const int32_t KFirstHeapSize = 2048;
  static const int32_t KGrowStep = 1024;

  explicit CCsvArguments(char separator);
  ~CCsvArguments() override;

  void Reset() override;
  int32_t Append(const char* text) override;
  char* Buffer() override;
  void Split() override;
  int32_t Count() const override;
  char* At(int32_t index) const override;
  int Reserve(int32_t size) override;

  char Separator() const { return separator; }
  /// Bytes of the heap text buffer, 0 while the inline one is in use.
  int32_t HeapCapacity() const { return heapCapacity; }
  /// Whether the last Split needed a heap field table.
  bool UsesHeapFieldTable() const { return heapFields != nullptr; }

 private:
  char inlineText[KInlineTextSize];
  char* heapText;
  int32_t heapCapacity;
  char* inlineFields[KInlineFieldSlots];
  char** heapFields;
  int32_t heapFieldsSize;
  int32_t fieldCount;
  char separator;
};

}  // namespace varnix

#endif

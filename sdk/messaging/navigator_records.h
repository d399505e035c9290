#ifndef VARNIX_MESSAGING_NAVIGATOR_RECORDS_H
#define VARNIX_MESSAGING_NAVIGATOR_RECORDS_H

/// @file
/// What a navigator call works with: the call context, the records that
/// replies fill, and the field layouts that describe those records.

#include <stdint.h>

namespace varnix {

class MVarnixCommunicationLayerInterface;
class MVarnixSession;

/// The first argument of every navigator call. The application creates it,
/// owns it and keeps it alive while it makes calls: `endpoint` is its client
/// endpoint (CreateFileLayer with its own name and "VarnixNavigationServer"),
/// which it creates and deletes itself. Every integer argument is written
/// into `numberText` just before it is added to a request.
struct TCallContext {
  MVarnixCommunicationLayerInterface* endpoint;
  char numberText[16];
};

/// List records. The receive half allocates `items` (and each text of a
/// TCustomUIResult) with malloc; they belong to the caller, who releases each
/// text and then the array with FreeMemory before the record is used again.
struct TCoordinatePair {
  int32_t first;
  int32_t second;
};

struct TRouteCoordinates {
  int32_t count;
  TCoordinatePair* items;
};

struct TCustomUIResult {
  int32_t count;
  char** items;
};

// The fixed output records, from navigator_records.inc.
#define VARNIX_INTEGER(name) int32_t name;
#define VARNIX_TEXT(name, capacity) char name[capacity];
#define VARNIX_RECORD(type, fields) \
  struct type {                     \
    fields                          \
  };
#include "messaging/navigator_records.inc"
#undef VARNIX_RECORD
#undef VARNIX_TEXT
#undef VARNIX_INTEGER

/// The layout of an output record, read by the reply decoder and by tools
/// that print records.
enum TRecordFieldType { EFieldInteger, EFieldText };

struct TRecordField {
  const char* name;
  TRecordFieldType type;
  uint32_t offset;    ///< bytes from the start of the record
  uint32_t capacity;  ///< text fields: bytes, terminator included
};

struct TRecordLayout {
  const char* name;
  const TRecordField* fields;
  int32_t count;  ///< a full reply has count + 1 fields
};

/// TRecordTraits<T>::KLayout for every record above, and for the single
/// integer (int32_t) that the integer replies fill.
template <class T>
struct TRecordTraits;

#define VARNIX_RECORD(type, fields) \
  template <>                       \
  struct TRecordTraits<type> {      \
    static const TRecordLayout KLayout; \
  };
#include "messaging/navigator_records.inc"
#undef VARNIX_RECORD

template <>
struct TRecordTraits<int32_t> {
  static const TRecordLayout KLayout;
};

}  // namespace varnix

#endif

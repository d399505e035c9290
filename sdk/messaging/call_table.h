#ifndef VARNIX_MESSAGING_CALL_TABLE_H
#define VARNIX_MESSAGING_CALL_TABLE_H

/// @file
/// The navigator call table (navigator_calls.inc) as data, and the few macros
/// that expand its request-field lists.

#include <stdint.h>

#include "messaging/navigator_records.h"

namespace varnix {

/// How a reply is read (field 0 is always the server's result code):
///   EReplyCode            exactly 1 field
///   EReplyInteger         1 field, or 2: field 1 fills one integer
///   EReplyRecord          1 field, or exactly layout count + 1: a record
///   EReplyCoordinateList  code, count, pairs of integers: TRouteCoordinates
///   EReplyTextList        code, count, texts: TCustomUIResult
enum TReplyShape { EReplyCode, EReplyInteger, EReplyRecord, EReplyCoordinateList, EReplyTextList };

/// One row of the table.
struct TNavigatorCall {
  const char* name;             ///< as it travels
  const char* request;          ///< one letter per request field: 't' text, 'i' integer
  TReplyShape shape;
  const char* output;           ///< the output's type name; "" for code-only calls
  const TRecordLayout* layout;  ///< integer and record shapes; null otherwise
};

#define VARNIX_NAVIGATOR_CALL(name, request, shape, output, blocking) +1
const int KNavigatorCallCount = 0
#include "messaging/navigator_calls.inc"
    ;
#undef VARNIX_NAVIGATOR_CALL

/// The calls in the library's order.
extern const TNavigatorCall KNavigatorCalls[KNavigatorCallCount];

/// The row whose name equals name exactly, or null.
const TNavigatorCall* FindNavigatorCall(const char* name);

/// Short words for a shape ("code", "integer", "record", "coordinate list",
/// "text list").
const char* ReplyShapeName(TReplyShape shape);

}  // namespace varnix

// VARNIX_REQUEST_FIELDS(M, (Text, Integer)) expands to M(Text, 1) M(Integer, 2);
// (None) gives M(None, 1). The request lists of the table have 1 to 5 entries.
#define VARNIX_REQUEST_FIELDS(M, request) VARNIX_REQUEST_APPLY(M, VARNIX_REQUEST_UNPAREN request)
#define VARNIX_REQUEST_UNPAREN(...) __VA_ARGS__
#define VARNIX_REQUEST_APPLY(M, ...)                                                                 \
  VARNIX_REQUEST_PICK(__VA_ARGS__, VARNIX_REQUEST_5, VARNIX_REQUEST_4, VARNIX_REQUEST_3, VARNIX_REQUEST_2, \
                      VARNIX_REQUEST_1, unused)                                                      \
  (M, __VA_ARGS__)
#define VARNIX_REQUEST_PICK(f1, f2, f3, f4, f5, chosen, ...) chosen
#define VARNIX_REQUEST_1(M, f1) M(f1, 1)
#define VARNIX_REQUEST_2(M, f1, f2) M(f1, 1) M(f2, 2)
#define VARNIX_REQUEST_3(M, f1, f2, f3) M(f1, 1) M(f2, 2) M(f3, 3)
#define VARNIX_REQUEST_4(M, f1, f2, f3, f4) M(f1, 1) M(f2, 2) M(f3, 3) M(f4, 4)
#define VARNIX_REQUEST_5(M, f1, f2, f3, f4, f5) M(f1, 1) M(f2, 2) M(f3, 3) M(f4, 4) M(f5, 5)

// Parameters of a request field: ", const char* arg1", ", int32_t arg2", or
// nothing for None.
#define VARNIX_REQUEST_PARAMETER(type, n) VARNIX_REQUEST_PARAMETER_##type(n)
#define VARNIX_REQUEST_PARAMETER_None(n)
#define VARNIX_REQUEST_PARAMETER_Text(n) , const char* arg##n
#define VARNIX_REQUEST_PARAMETER_Integer(n) , int32_t arg##n

// The same fields as arguments of a call: ", arg1".
#define VARNIX_REQUEST_ARGUMENT(type, n) VARNIX_REQUEST_ARGUMENT_##type(n)
#define VARNIX_REQUEST_ARGUMENT_None(n)
#define VARNIX_REQUEST_ARGUMENT_Text(n) , arg##n
#define VARNIX_REQUEST_ARGUMENT_Integer(n) , arg##n

// The output parameter of the blocking operation and the receive half.
#define VARNIX_OUTPUT_PARAMETER(shape, type) VARNIX_OUTPUT_PARAMETER_##shape(type)
#define VARNIX_OUTPUT_PARAMETER_Code(type)
#define VARNIX_OUTPUT_PARAMETER_Integer(type) , type* output
#define VARNIX_OUTPUT_PARAMETER_Record(type) , type* output
#define VARNIX_OUTPUT_PARAMETER_CoordinateList(type) , type* output
#define VARNIX_OUTPUT_PARAMETER_TextList(type) , type* output

#define VARNIX_OUTPUT_ARGUMENT(shape) VARNIX_OUTPUT_ARGUMENT_##shape
#define VARNIX_OUTPUT_ARGUMENT_Code
#define VARNIX_OUTPUT_ARGUMENT_Integer , output
#define VARNIX_OUTPUT_ARGUMENT_Record , output
#define VARNIX_OUTPUT_ARGUMENT_CoordinateList , output
#define VARNIX_OUTPUT_ARGUMENT_TextList , output

#endif

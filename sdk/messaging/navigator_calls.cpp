#include "messaging/navigator_calls.h"

#include "messaging/call_proxy.h"

// The three operations of every call, expanded from navigator_calls.inc.

namespace varnix {

#define VARNIX_ADD_REQUEST_FIELD(type, n) VARNIX_ADD_REQUEST_FIELD_##type(n)
#define VARNIX_ADD_REQUEST_FIELD_None(n)
#define VARNIX_ADD_REQUEST_FIELD_Text(n) message.Add(arg##n);
#define VARNIX_ADD_REQUEST_FIELD_Integer(n) message.Add(arg##n);

#define VARNIX_RECEIVE_Code(type) ReceiveCodeReply(context, session, error)
#define VARNIX_RECEIVE_Integer(type) \
  ReceiveRecordReply(context, session, error, TRecordTraits<type>::KLayout, output)
#define VARNIX_RECEIVE_Record(type) \
  ReceiveRecordReply(context, session, error, TRecordTraits<type>::KLayout, output)
#define VARNIX_RECEIVE_CoordinateList(type) ReceiveCoordinateListReply(context, session, error, output)
#define VARNIX_RECEIVE_TextList(type) ReceiveTextListReply(context, session, error, output)

// The blocking form: the send half, then the receive half with its session.
// Own: written by the library itself (navigator_library.cpp).
#define VARNIX_BLOCKING_Own(name, request, shape, type)
#define VARNIX_BLOCKING_Plain(name, request, shape, type)                                          \
  int32_t name(TCallContext* context, int32_t* error VARNIX_OUTPUT_PARAMETER(shape, type)          \
                   VARNIX_REQUEST_FIELDS(VARNIX_REQUEST_PARAMETER, request)) {                     \
    *error = 0;                                                                                    \
    MVarnixSession* session = Send##name(context VARNIX_REQUEST_FIELDS(VARNIX_REQUEST_ARGUMENT, request)); \
    if (session == nullptr) {                                                                      \
      *error = KErrNoSession;                                                                      \
      return KErrNoSession;                                                                        \
    }                                                                                              \
    return Receive##name(context, session, error VARNIX_OUTPUT_ARGUMENT(shape));                   \
  }

#define VARNIX_NAVIGATOR_CALL(name, request, shape, type, blocking)                                \
  MVarnixSession* Send##name(TCallContext* context VARNIX_REQUEST_FIELDS(VARNIX_REQUEST_PARAMETER, request)) { \
    CRequest message(context, #name);                                                                \
    VARNIX_REQUEST_FIELDS(VARNIX_ADD_REQUEST_FIELD, request)                                       \
    return message.Send();                                                                         \
  }                                                                                                \
  int32_t Receive##name(TCallContext* context, MVarnixSession* session,                            \
                        int32_t* error VARNIX_OUTPUT_PARAMETER(shape, type)) {                     \
    return VARNIX_RECEIVE_##shape(type);                                                           \
  }                                                                                                \
  VARNIX_BLOCKING_##blocking(name, request, shape, type)

#include "messaging/navigator_calls.inc"

}  // namespace varnix

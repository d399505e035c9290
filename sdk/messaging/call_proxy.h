#ifndef VARNIX_MESSAGING_CALL_PROXY_H
#define VARNIX_MESSAGING_CALL_PROXY_H

// The work that every navigator call shares: building its request and
// decoding its reply by shape. The operations of navigator_calls.h are
// expanded from the call table into calls of these.

#include <stdint.h>

#include "messaging/navigator_records.h"

namespace varnix {

// A request under construction on the context's endpoint. A field that
// cannot be added (no memory) spoils the request: Send then writes nothing
// and gives null, so the server never sees a request with a field missing.
class CRequest {
 public:
  // NewRequest on the endpoint and the call's name as field 0.
  CRequest(TCallContext* context, const char* callName);

  // A text as it is (null is sent as an empty field); an integer in decimal,
  // through the context's number buffer.
  void Add(const char* text);
  void Add(int32_t value);

  // The endpoint's Send: the new session, or null.
  MVarnixSession* Send();

 private:
  TCallContext* context;
  bool usable;
};

// The receive halves of the five shapes. Each waits for the session's reply
// (WaitForReply deletes the session) and decodes it as navigator_calls.h
// tells.
int32_t ReceiveCodeReply(TCallContext* context, MVarnixSession* session, int32_t* error);
int32_t ReceiveRecordReply(TCallContext* context, MVarnixSession* session, int32_t* error,
                           const TRecordLayout& layout, void* output);
int32_t ReceiveCoordinateListReply(TCallContext* context, MVarnixSession* session, int32_t* error,
                                   TRouteCoordinates* output);
int32_t ReceiveTextListReply(TCallContext* context, MVarnixSession* session, int32_t* error,
                             TCustomUIResult* output);

}  // namespace varnix

#endif

#ifndef VARNIX_MESSAGING_NAVIGATOR_CALLS_H
#define VARNIX_MESSAGING_NAVIGATOR_CALLS_H

/// @file
/// The calls to the navigation server. Every call X of navigator_calls.inc is
/// offered three ways:
///
///   int32_t X(TCallContext* context, int32_t* error, [Output* output,] request...);
///   MVarnixSession* SendX(TCallContext* context, request...);
///   int32_t ReceiveX(TCallContext* context, MVarnixSession* session, int32_t* error,
///                    [Output* output]);
///
/// for example
///
///   TRouteCoordinates route;
///   int32_t error;
///   if (GetRouteCoordinatesV01(&context, &error, &route) == 0 && error == 0) {
///     ... route.items[0].first ...
///     FreeMemory(&context, route.items);
///   }
///
/// Request fields are `const char*` (sent as they are, without escaping) or
/// `int32_t` (sent in decimal), named arg1, arg2, ... in catalogue order. Code-only
/// calls have no output parameter.
///
/// The send half writes the request and returns its session (null when it
/// could not be written); the receive half waits for that session's reply,
/// without time-out, and decodes it. The blocking form does both.
///
/// Result of the blocking form and the receive half: 0 when a reply was
/// received and accepted, whatever code it carries; the code is then in
/// *error. Otherwise a local code, also in *error:
///   -1  no session: the request could not be written, or a receive half was
///       given null;
///   -2  the reply's fields do not fit the call's shape;
///   -5  a coordinate list with no pair.
/// List replies that cannot be stored (no memory, too few texts for the
/// count) give result 0 and error -5, with nothing left to release.
///
/// An output record is filled whenever the reply has all its fields, whatever
/// the code; texts longer than a field are cut to it. A list record is set to
/// count -1 and items null before its reply is read.
///
/// The blocking StopApplicationV01 waits after a reply with code 0 until the
/// navigator has gone, at most 11 seconds; its halves do not wait.

#include <stdint.h>

#include "messaging/call_table.h"
#include "messaging/navigator_records.h"

namespace varnix {

/// Local results of the calls (the server's own codes are passed through).
const int32_t KErrNoSession = -1;  ///< the request could not be written, or a receive half got no session
const int32_t KErrBadReply = -2;   ///< the reply's fields do not fit the call's shape
const int32_t KErrBadList = -5;    ///< a route without a pair; a list reply that could not be stored
/// The code with which GetResultFromCustomUIV01 says that the result is not
/// there yet.
const int32_t KCustomUIPending = -9;

#define VARNIX_NAVIGATOR_CALL(name, request, shape, type, blocking)                            \
  int32_t name(TCallContext* context, int32_t* error VARNIX_OUTPUT_PARAMETER(shape, type)      \
                   VARNIX_REQUEST_FIELDS(VARNIX_REQUEST_PARAMETER, request));                    \
  MVarnixSession* Send##name(TCallContext* context VARNIX_REQUEST_FIELDS(VARNIX_REQUEST_PARAMETER, request)); \
  int32_t Receive##name(TCallContext* context, MVarnixSession* session,                          \
                        int32_t* error VARNIX_OUTPUT_PARAMETER(shape, type));
#include "messaging/navigator_calls.inc"
#undef VARNIX_NAVIGATOR_CALL

/// Releases a block that a list reply allocated (an array, or one text of a
/// TCustomUIResult). Null is ignored. The context is not used.
void FreeMemory(TCallContext* context, void* block);

/// The library's own version: *error 0, text "6.0", number 206; returns 0 and
/// sends nothing. The context is not used.
int32_t GetSdkVersion(TCallContext* context, int32_t* error, TVersionInfo* version);

/// Whether the navigator runs: *error 0, and always 1. Consults nothing.
int32_t IsNavigatorRunning(TCallContext* context, int32_t* error);

/// Sends SendCallToCustomUIV01 (integer, text), then asks for the result with
/// GetResultFromCustomUIV01 every 100 ms, at most 10 times per second of
/// timeout, while the custom UI answers -9 (not there yet). Returns
///   0   with the first code other than -9 in *error, and its texts in output;
///       also when the send itself failed (its code in *error);
///   -2  with *error -9 when the time ran out; a timeout of 0 or less asks
///       nothing after the send and ends the same way at once;
///   -2  with *error 0 when the navigator does not run.
int32_t SendCallToCustomUIAndWait(TCallContext* context, int32_t* error, TCustomUIResult* output,
                                  int32_t arg1, const char* arg2, int32_t timeoutSeconds);

}  // namespace varnix

#endif

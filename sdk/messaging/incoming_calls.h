#ifndef VARNIX_MESSAGING_INCOMING_CALLS_H
#define VARNIX_MESSAGING_INCOMING_CALLS_H

/// @file
/// The incoming-call pump: one pass over the run-time directory that hands
/// every finished call addressed to an application's name to its handler.

#include "messaging/endpoint.h"

namespace varnix {

class MIncomingCallHandler {
 public:
  /// The request's fields are in endpoint->arguments. The handler may answer
  /// with NewReply(session), AddArgument and Send. Endpoint and session
  /// belong to the pump and are deleted when HandleCall returns.
  virtual void HandleCall(MVarnixCommunicationLayerInterface* endpoint, MVarnixSession* session) = 0;

 protected:
  ~MIncomingCallHandler() {}
};

/// Handles, one at a time, every call found in one pass whose receiver equals
/// localName (ignoring letter case). Prints nothing.
void ProcessIncomingCalls(const char* localName, MIncomingCallHandler* handler);

}  // namespace varnix

#endif

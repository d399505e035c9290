// Navigator calls in two halves, with other work in between.
//
// The send half writes the request and returns at once with its session;
// the receive half waits for that session's reply and decodes it. In
// between the application is free: here it keeps two calls outstanding,
// goes on with its own work, asks the endpoint now and then whether a reply
// has come, and takes the replies in the order that suits it.
//
//   example-call-halves
//
// Needs the navigation server (varnix-navsim on a desktop). Exit status 0
// when both calls were answered with code 0.
#include <stdio.h>

#include "varnix.h"

using namespace varnix;

namespace {

const int KWorkSliceMicroseconds = 1000;
const int KMaxSlices = 10000;  // about ten seconds

// A slice of the application's own work: here, stepping a number generator.
uint32_t DoSomeWork(uint32_t state) {
  for (int i = 0; i < 1000; ++i) state = state * 1664525u + 1013904223u;
  SleepMicroseconds(KWorkSliceMicroseconds);
  return state;
}

}  // namespace

int main() {
  MVarnixCommunicationLayerInterface* endpoint = CreateFileLayer("halvesexample", "VarnixNavigationServer", -1);
  if (endpoint == nullptr) {
    puts("Out of memory");
    return 1;
  }
  TCallContext context;
  context.endpoint = endpoint;

  // Two requests on their way; each session belongs to us until its
  // receive half takes it. A null session (the request could not be
  // written) is handed over all the same: the receive half reports -1.
  MVarnixSession* routeCall = SendGetRouteInfoV01(&context);
  MVarnixSession* positionCall = SendGetCurrentPositionV01(&context);
  puts("Sent GetRouteInfoV01 and GetCurrentPositionV01; working meanwhile");

  // The application's main loop: a slice of its own work, then a look
  // whether the reply has come (IsReplyReady does not wait).
  int slices = 0;
  uint32_t work = 1;
  do {
    work = DoSomeWork(work);
    ++slices;
  } while (positionCall != nullptr && !endpoint->IsReplyReady(positionCall) && slices < KMaxSlices);
  printf("Slices of work done until the position reply was there: %d (state %08x)\n", slices,
         static_cast<unsigned>(work));
  if (slices == KMaxSlices) {
    // A receive half would wait for ever; the sessions are still ours to
    // delete.
    puts("No reply: is the navigator running?");
    delete routeCall;
    delete positionCall;
    delete endpoint;
    return 1;
  }

  // Replies may be taken in any order: the position first.
  int32_t positionError, routeError;
  TCurrentPosition position;
  TRouteInfo route;
  int32_t positionResult = ReceiveGetCurrentPositionV01(&context, positionCall, &positionError, &position);
  int32_t routeResult = ReceiveGetRouteInfoV01(&context, routeCall, &routeError, &route);

  bool ok = positionResult == 0 && positionError == 0 && routeResult == 0 && routeError == 0;
  if (positionResult == 0 && positionError == 0)
    printf("Position:  %d, %d\n", static_cast<int>(position.integer1), static_cast<int>(position.integer2));
  else
    printf("Position:  failed (result %d, code %d)\n", static_cast<int>(positionResult),
           static_cast<int>(positionError));
  if (routeResult == 0 && routeError == 0)
    printf("Route:     %d m and %d s to go\n", static_cast<int>(route.integer1), static_cast<int>(route.integer2));
  else
    printf("Route:     failed (result %d, code %d)\n", static_cast<int>(routeResult), static_cast<int>(routeError));

  delete endpoint;
  return ok ? 0 : 1;
}

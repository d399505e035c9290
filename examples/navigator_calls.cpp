// Blocking navigator calls and their error handling.
//
// A blocking call writes its request, waits for the navigator's reply and
// decodes it. Two numbers tell how it went:
//   the result       0 when a reply came and had the call's shape; otherwise
//                    a local code: -1 the request could not be written,
//                    -2 the reply did not fit the call, -5 an empty route;
//   the error value  with result 0, the navigator's own code (0: done);
//                    otherwise the local code again.
// So an application checks the result first, then the code.
//
//   example-navigator-calls
//
// Needs the navigation server (varnix-navsim on a desktop). Exit status 0
// when every call worked.
#include <stdio.h>
#include <string.h>

#include "varnix.h"

using namespace varnix;

namespace {

// True when the call was answered with code 0; says what went wrong if not.
bool Succeeded(const char* call, int32_t result, int32_t error) {
  if (result != 0) {
    printf("%s: no usable reply (local code %d)\n", call, static_cast<int>(result));
    return false;
  }
  if (error != 0) {
    printf("%s: the navigator answered with code %d\n", call, static_cast<int>(error));
    return false;
  }
  return true;
}

// Coordinates travel as integers; varnix-navsim uses millionths of a degree.
double Degrees(int32_t microdegrees) { return microdegrees / 1e6; }

bool ShowPosition(TCallContext* context) {
  TCurrentPosition position;
  int32_t error;
  int32_t result = GetCurrentPositionV01(context, &error, &position);
  if (!Succeeded("GetCurrentPositionV01", result, error)) return false;
  printf("Position:       %.6f, %.6f at %d km/h, heading %d, %d satellites\n", Degrees(position.integer1),
         Degrees(position.integer2), static_cast<int>(position.integer3), static_cast<int>(position.integer4),
         static_cast<int>(position.integer5));
  return true;
}

bool ShowRoute(TCallContext* context) {
  TRouteInfo info;
  int32_t error;
  int32_t result = GetRouteInfoV01(context, &error, &info);
  if (!Succeeded("GetRouteInfoV01", result, error)) return false;
  printf("Route:          %d m and %d s to go\n", static_cast<int>(info.integer1), static_cast<int>(info.integer2));

  // A list reply is allocated for the caller, who releases it.
  TRouteCoordinates route;
  result = GetRouteCoordinatesV01(context, &error, &route);
  if (!Succeeded("GetRouteCoordinatesV01", result, error)) return false;
  printf("Route points:   %d, the first at %.6f, %.6f\n", static_cast<int>(route.count),
         Degrees(route.items[0].first), Degrees(route.items[0].second));
  FreeMemory(context, route.items);
  return true;
}

bool FlashMessage(TCallContext* context) {
  int32_t error;
  int32_t result = FlashMessageV01(context, &error, "Hello from an example application", 3000);
  if (!Succeeded("FlashMessageV01", result, error)) return false;
  puts("Flash message:  shown");
  return true;
}

bool Favourites(TCallContext* context) {
  const int32_t slot = 7;
  int32_t error;
  int32_t result = SetFavoriteV01(context, &error, slot, "Home", "1 Main Street, Simcity", 52370216, 4895168);
  if (!Succeeded("SetFavoriteV01", result, error)) return false;

  TFavorite favourite;
  result = GetFavoriteV01(context, &error, &favourite, slot);
  if (!Succeeded("GetFavoriteV01", result, error)) return false;
  printf("Favourite %d:    \"%s\", %s\n", static_cast<int>(slot), favourite.text1, favourite.text2);
  if (strcmp(favourite.text1, "Home") != 0) {
    puts("The favourite read back is not the one stored");
    return false;
  }

  // A code other than 0 is the navigator's answer, not a failure of the
  // call: here, an empty slot.
  result = GetFavoriteV01(context, &error, &favourite, slot + 1);
  if (result == 0 && error != 0)
    printf("Favourite %d:    none (the navigator answered code %d)\n", static_cast<int>(slot + 1),
           static_cast<int>(error));
  return result == 0;
}

bool Geocode(TCallContext* context) {
  TGeocodeResult place;
  int32_t error;
  int32_t result = GeocodeV01(context, &error, &place, "Simcity", "Main Street", "1");
  if (!Succeeded("GeocodeV01", result, error)) return false;
  printf("Geocoded:       \"%s\" at %.6f, %.6f\n", place.text1, Degrees(place.integer1), Degrees(place.integer2));
  return true;
}

// The custom UI answers a call later: SendCallToCustomUIAndWait sends it and
// asks for the result every 100 ms until it is there or the time is up.
bool CustomUI(TCallContext* context) {
  int32_t error;
  int32_t result = StartCustomUIV01(context, &error, 1, "example", "Pick a route");
  if (!Succeeded("StartCustomUIV01", result, error)) return false;

  TCustomUIResult answer;
  result = SendCallToCustomUIAndWait(context, &error, &answer, 42, "Fastest or shortest?", 5);
  if (result == -2 && error == KCustomUIPending) {
    puts("The custom UI did not answer in time");
    return false;
  }
  if (!Succeeded("SendCallToCustomUIAndWait", result, error)) return false;
  printf("Custom UI:      %d texts:", static_cast<int>(answer.count));
  for (int32_t i = 0; i < answer.count; ++i) {
    printf(" \"%s\"", answer.items[i]);
    FreeMemory(context, answer.items[i]);
  }
  printf("\n");
  FreeMemory(context, answer.items);

  result = StopCustomUIV01(context, &error);
  return Succeeded("StopCustomUIV01", result, error);
}

}  // namespace

int main() {
  // The application's own endpoint: its name, the navigator's, and -1 for
  // this process's id. Null when memory is short.
  MVarnixCommunicationLayerInterface* endpoint = CreateFileLayer("navexample", "VarnixNavigationServer", -1);
  if (endpoint == nullptr) {
    puts("Out of memory");
    return 1;
  }
  TCallContext context;
  context.endpoint = endpoint;

  bool ok = ShowPosition(&context);
  ok = ShowRoute(&context) && ok;
  ok = FlashMessage(&context) && ok;
  ok = Favourites(&context) && ok;
  ok = Geocode(&context) && ok;
  ok = CustomUI(&context) && ok;

  delete endpoint;
  return ok ? 0 : 1;
}

#ifndef VARNIX_SIM_NAVIGATOR_SIM_H
#define VARNIX_SIM_NAVIGATOR_SIM_H

// The simulated navigation server behind varnix-navsim: plausible state for
// every call of the catalogue, answered as reply fields. It knows nothing of
// files; varnix-navsim feeds it the requests that the runtime's pump hands
// over and sends back what it answers.
//
// Conventions of the simulator (the real navigator gives them its own
// meaning):
//   coordinates  integers in millionths of a degree, latitude first
//   codes        0 done, -1 unknown call, -3 bad request (wrong number of
//                fields or a value out of range), -4 nothing there (no
//                route, no such favourite, point, itinerary or result),
//                -9 custom UI result not there yet

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

namespace varnix {
namespace sim {

struct TGeoPoint {
  double lat = 0;
  double lon = 0;
};

class CNavigatorSim {
 public:
  static const int32_t KDone = 0;
  static const int32_t KUnknownCall = -1;
  static const int32_t KBadRequest = -3;
  static const int32_t KNothingThere = -4;
  static const int32_t KPending = -9;

  // deviceId: the text of GetUniqueDeviceIdV01.
  explicit CNavigatorSim(std::string deviceId);

  // The reply fields to one request (field 0 its call name), at `now`
  // seconds of the simulator's clock. Every reply has the shape of its call.
  // *stop is set when the navigator is to end after this reply.
  std::vector<std::string> Answer(const std::vector<std::string>& request, double now, bool* stop);

  // The reply fields for a code alone, shaped for the call (a coordinate
  // list needs a count after its code).
  static std::vector<std::string> CodeReply(const std::string& call, int32_t code);

  // Where the car is at `now`.
  TGeoPoint Position(double now) const;

 private:
  struct TStop {
    std::string name;
    TGeoPoint point;
  };
  struct TFavorite {
    std::string name;
    std::string address;
    TGeoPoint point;
  };
  struct TPoi {
    std::string category;
    TGeoPoint point;
    std::string name;
    std::string description;
  };
  struct TCustomUICall {
    int32_t number = 0;
    std::string text;
    int pendingPolls = 0;
  };
  // The route being driven: a polyline from `start` (seconds) at `speed`
  // metres per second; a loop starts over at its end, a drive to a
  // destination stays there.
  struct TRoute {
    std::vector<TGeoPoint> points;
    std::vector<double> along;  // distance of each point from the first
    bool loop = false;
    double start = 0;
    double speed = 0;
  };
  struct TRoutePlace {
    TGeoPoint point;
    double travelled = 0;   // metres from the route's first point
    size_t nextPoint = 0;   // index of the next point ahead
    double heading = 0;     // degrees, 0 north, clockwise
    bool arrived = false;
  };

  typedef std::vector<std::string> TFields;

  TFields Dispatch(const TFields& request, double now, bool* stop);

  // Requests; each gets the request's fields after the name.
  TFields CurrentPosition(double now) const;
  TFields RouteInfo(double now) const;
  TFields RouteCoordinates(double now) const;
  TFields LocationInfo(const TFields& f, bool extended) const;
  TFields Geocode(const TFields& texts) const;
  int32_t NavigateTo(const std::string& name, TGeoPoint destination, double now);
  TFields GetFavorite(const TFields& f) const;
  int32_t SetFavorite(const TFields& f);
  int32_t ClearFavorite(const TFields& f);
  int32_t NavigateToFavorite(const TFields& f, double now);
  int32_t AddPoi(const TFields& f);
  int32_t DeleteClosestPoi(const TFields& f);
  int32_t DeleteAllPoi(const TFields& f);
  int32_t MoveClosestPoi(const TFields& f);
  int32_t MakeUserPoiVisible(const TFields& f);
  int32_t SaveItinerary(const TFields& f);
  int32_t LoadItinerary(const TFields& f, double now);
  int32_t ClearItinerary(double now);
  int32_t NextStopover(double now);
  int32_t AbortLeg(double now);
  TFields CurrentStopover() const;
  int32_t StartCustomUI();
  int32_t SendToCustomUI(const TFields& f);
  TFields CustomUIResult();

  void DriveTo(TGeoPoint destination, double now);
  void StopDriving(double now);
  void SetRoute(std::vector<TGeoPoint> points, bool loop, double now);
  TRoutePlace PlaceAt(double now) const;
  bool Driving(double now) const;
  std::vector<TPoi>::iterator ClosestPoi(const std::string& category, TGeoPoint near);

  std::string deviceId_;
  TRoute route_;
  bool routeActive_ = false;
  TGeoPoint parked_;  // where the car stands when no route is driven
  std::map<int32_t, TFavorite> favorites_;
  std::vector<TPoi> pois_;
  std::map<std::string, bool> poiCategoryVisible_;
  std::vector<TStop> itinerary_;
  int currentStop_ = -1;
  std::map<std::string, std::vector<TStop>> savedItineraries_;
  bool customUIStarted_ = false;
  bool customUICallPending_ = false;
  TCustomUICall customUICall_;
  bool internetOpen_ = false;
  bool externalGps_ = false;
};

// Millionths of a degree, as the calls carry coordinates.
int32_t ToMicrodegrees(double degrees);
double FromMicrodegrees(int32_t value);

// Metres between two points (flat-earth approximation, good for a town).
double DistanceMetres(TGeoPoint a, TGeoPoint b);

}  // namespace sim
}  // namespace varnix

#endif

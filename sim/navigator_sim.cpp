#include "navigator_sim.h"

#include <math.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <utility>

#include "base/format.h"
#include "messaging/call_table.h"

namespace varnix {
namespace sim {
namespace {

const double KPi = 3.14159265358979323846;
const double KMetresPerDegreeLat = 110574.0;
const double KMetresPerDegreeLon = 111320.0;
const double KCitySpeed = 50.0 / 3.6;  // metres per second
const int32_t KFavoriteSlots = 100;
const int KCustomUIPendingPolls = 2;
const int32_t KSatellites = 9;

// Simcity, where the simulated car drives.
const TGeoPoint KCentre = {52.0907, 5.1214};
const TGeoPoint KDemoLoop[] = {
    {52.0907, 5.1214}, {52.0935, 5.1214}, {52.0951, 5.1262}, {52.0940, 5.1318},
    {52.0905, 5.1322}, {52.0889, 5.1270}, {52.0907, 5.1214},
};
const char* const KStreets[] = {"Main Street",   "Station Road", "Canal Street", "Market Square",
                                "Church Lane",   "Park Avenue",  "Mill Road",    "Harbour Way",
                                "Orchard Close", "Bridge Street"};
const char KCity[] = "Simcity";

std::string Int(int64_t value) { return std::to_string(value); }
int32_t IntField(const std::string& text) { return TextToInt(text.c_str()); }

TGeoPoint PointOf(const std::string& lat, const std::string& lon) {
  return {FromMicrodegrees(IntField(lat)), FromMicrodegrees(IntField(lon))};
}

uint32_t Hash(const std::string& text) {
  uint32_t hash = 2166136261u;
  for (unsigned char c : text) hash = (hash ^ c) * 16777619u;
  return hash;
}

// The street at a point: the same answer for every point of a ~100 m cell.
uint32_t CellHash(TGeoPoint p) {
  return Hash(Int(static_cast<int64_t>(floor(p.lat * 1000))) + "," + Int(static_cast<int64_t>(floor(p.lon * 1000))));
}

std::string PostalCode(TGeoPoint p) {
  uint32_t h = CellHash(p);
  std::string code = Int(3500 + h % 100) + " ";
  code += static_cast<char>('A' + (h >> 8) % 26);
  code += static_cast<char>('A' + (h >> 16) % 26);
  return code;
}

double HeadingDegrees(TGeoPoint from, TGeoPoint to) {
  double x = (to.lon - from.lon) * KMetresPerDegreeLon * cos((from.lat + to.lat) / 2 * KPi / 180);
  double y = (to.lat - from.lat) * KMetresPerDegreeLat;
  double heading = atan2(x, y) * 180 / KPi;
  return heading < 0 ? heading + 360 : heading;
}

std::vector<std::string> Code(int32_t code) { return {Int(code)}; }

}  // namespace

int32_t ToMicrodegrees(double degrees) { return static_cast<int32_t>(lround(degrees * 1e6)); }
double FromMicrodegrees(int32_t value) { return static_cast<double>(value) / 1e6; }

double DistanceMetres(TGeoPoint a, TGeoPoint b) {
  double x = (b.lon - a.lon) * KMetresPerDegreeLon * cos((a.lat + b.lat) / 2 * KPi / 180);
  double y = (b.lat - a.lat) * KMetresPerDegreeLat;
  return sqrt(x * x + y * y);
}

CNavigatorSim::CNavigatorSim(std::string deviceId) : deviceId_(std::move(deviceId)) {
  parked_ = KCentre;
  SetRoute(std::vector<TGeoPoint>(std::begin(KDemoLoop), std::end(KDemoLoop)), true, 0);
  savedItineraries_["demo"] = {{"Station", {52.0890, 5.1100}}, {"Old town", {52.0920, 5.1200}},
                               {"University", {52.0850, 5.1750}}};
}

std::vector<std::string> CNavigatorSim::CodeReply(const std::string& call, int32_t code) {
  const TNavigatorCall* row = FindNavigatorCall(call.c_str());
  if (row != nullptr && row->shape == EReplyCoordinateList) return {Int(code), "0"};
  return Code(code);
}

std::vector<std::string> CNavigatorSim::Answer(const TFields& request, double now, bool* stop) {
  *stop = false;
  if (request.empty()) return Code(KUnknownCall);
  const TNavigatorCall* call = FindNavigatorCall(request[0].c_str());
  if (call == nullptr) return Code(KUnknownCall);
  if (request.size() != 1 + std::char_traits<char>::length(call->request)) return CodeReply(call->name, KBadRequest);
  TFields reply = Dispatch(request, now, stop);
  // Texts never exceed what the client's record holds.
  if (call->shape == EReplyRecord && reply.size() == static_cast<size_t>(call->layout->count) + 1) {
    for (int32_t i = 0; i < call->layout->count; ++i) {
      const TRecordField& field = call->layout->fields[i];
      if (field.type == EFieldText && reply[i + 1].size() > field.capacity - 1) reply[i + 1].resize(field.capacity - 1);
    }
  }
  return reply;
}

CNavigatorSim::TFields CNavigatorSim::Dispatch(const TFields& request, double now, bool* stop) {
  typedef std::function<TFields(CNavigatorSim&, const TFields&, double, bool*)> THandler;
  auto code = [](std::function<int32_t(CNavigatorSim&, const TFields&, double)> f) -> THandler {
    return [f](CNavigatorSim& s, const TFields& a, double t, bool*) { return Code(f(s, a, t)); };
  };
  auto done = code([](CNavigatorSim&, const TFields&, double) { return KDone; });
  auto needsText = code([](CNavigatorSim&, const TFields& a, double) { return a[0].empty() ? KBadRequest : KDone; });
  static const std::map<std::string, THandler> handlers = {
      {"GetRouteCoordinatesV01", [](CNavigatorSim& s, const TFields&, double t, bool*) { return s.RouteCoordinates(t); }},
      {"StopApplicationV01",
       [](CNavigatorSim&, const TFields&, double, bool* end) {
         *end = true;
         return Code(KDone);
       }},
      {"GetResultFromCustomUIV01", [](CNavigatorSim& s, const TFields&, double, bool*) { return s.CustomUIResult(); }},
      {"GetApplicationVersionV01", [](CNavigatorSim&, const TFields&, double, bool*) { return TFields{"0", "5.4.1", "541"}; }},
      {"FlashMessageV01", done},
      {"GetDataSetInfoV01",
       [](CNavigatorSim&, const TFields&, double, bool*) {
         return TFields{"0", "Simcity and surroundings", "Simulated map 2024.10", "202410", "1"};
       }},
      {"GetUniqueDeviceIdV01", [](CNavigatorSim& s, const TFields&, double, bool*) { return TFields{"0", s.deviceId_, "1"}; }},
      {"NavigateToCoordinatesV01",
       code([](CNavigatorSim& s, const TFields& a, double t) { return s.NavigateTo(a[2], PointOf(a[0], a[1]), t); })},
      {"NavigateToFavoriteV01", code([](CNavigatorSim& s, const TFields& a, double t) { return s.NavigateToFavorite(a, t); })},
      {"NavigateToAddressV01",
       code([](CNavigatorSim& s, const TFields& a, double t) {
         TFields found = s.Geocode(a);
         if (found[0] != "0") return KNothingThere;
         return s.NavigateTo(found[4], PointOf(found[1], found[2]), t);
       })},
      {"NavigateToPostalCodeV01",
       code([](CNavigatorSim& s, const TFields& a, double t) {
         TFields found = s.Geocode(a);
         if (found[0] != "0") return KNothingThere;
         return s.NavigateTo(found[4], PointOf(found[1], found[2]), t);
       })},
      {"ShowAddressOnMapV01", code([](CNavigatorSim& s, const TFields& a, double) { return s.Geocode(a)[0] == "0" ? KDone : KNothingThere; })},
      {"ShowPostalCodeOnMapV01", code([](CNavigatorSim& s, const TFields& a, double) { return s.Geocode(a)[0] == "0" ? KDone : KNothingThere; })},
      {"ShowCoordinatesOnMapV01", done},
      {"ShowRectangleOnMapV01", done},
      {"GetLocationInfoV01", [](CNavigatorSim& s, const TFields& a, double, bool*) { return s.LocationInfo(a, false); }},
      {"GetLocationInfoExV01", [](CNavigatorSim& s, const TFields& a, double, bool*) { return s.LocationInfo(a, true); }},
      {"GetRouteInfoV01", [](CNavigatorSim& s, const TFields&, double t, bool*) { return s.RouteInfo(t); }},
      {"ChangeSettingV01", done},
      {"SwitchMapV01", needsText},
      {"SetNavigatorPropertyV01", done},
      {"GetCurrentPositionV01", [](CNavigatorSim& s, const TFields&, double t, bool*) { return s.CurrentPosition(t); }},
      {"GeocodeV01", [](CNavigatorSim& s, const TFields& a, double, bool*) { return s.Geocode(a); }},
      {"GeocodeExtendedV01", [](CNavigatorSim& s, const TFields& a, double, bool*) { return s.Geocode(a); }},
      {"GeocodeByPostalCode", [](CNavigatorSim& s, const TFields& a, double, bool*) { return s.Geocode(a); }},
      {"ClearFavoriteV01", code([](CNavigatorSim& s, const TFields& a, double) { return s.ClearFavorite(a); })},
      {"SetFavoriteV01", code([](CNavigatorSim& s, const TFields& a, double) { return s.SetFavorite(a); })},
      {"GetFavoriteV01", [](CNavigatorSim& s, const TFields& a, double, bool*) { return s.GetFavorite(a); }},
      {"MakePoiVisibleV01", done},
      {"AddPoiV01", code([](CNavigatorSim& s, const TFields& a, double) { return s.AddPoi(a); })},
      {"DeleteClosestPoiV01", code([](CNavigatorSim& s, const TFields& a, double) { return s.DeleteClosestPoi(a); })},
      {"DeleteAllPoiV01", code([](CNavigatorSim& s, const TFields& a, double) { return s.DeleteAllPoi(a); })},
      {"MakeUserPoiVisibleV01", code([](CNavigatorSim& s, const TFields& a, double) { return s.MakeUserPoiVisible(a); })},
      {"MoveClosestPoiV01", code([](CNavigatorSim& s, const TFields& a, double) { return s.MoveClosestPoi(a); })},
      {"BringNavigatorToForegroundV01", done},
      {"SwitchToNavigatorViewV01", done},
      {"EnableExternalGPSInputV01",
       [](CNavigatorSim& s, const TFields&, double, bool*) {
         s.externalGps_ = true;
         return TFields{"0", "1"};
       }},
      {"DisableExternalGPSInputV01",
       code([](CNavigatorSim& s, const TFields&, double) {
         s.externalGps_ = false;
         return KDone;
       })},
      {"SetRouteSummaryVisibleV01", done},
      {"ClearRouteV01",
       code([](CNavigatorSim& s, const TFields&, double t) {
         s.StopDriving(t);
         return KDone;
       })},
      {"EnableRawGPSOutputV01", needsText},
      {"DisableRawGPSOutputV01", done},
      {"StartCustomUIV01", code([](CNavigatorSim& s, const TFields&, double) { return s.StartCustomUI(); })},
      {"StopCustomUIV01",
       code([](CNavigatorSim& s, const TFields&, double) {
         s.customUIStarted_ = false;
         s.customUICallPending_ = false;
         return KDone;
       })},
      {"SendCallToCustomUIV01", code([](CNavigatorSim& s, const TFields& a, double) { return s.SendToCustomUI(a); })},
      {"SaveItineraryV01", code([](CNavigatorSim& s, const TFields& a, double) { return s.SaveItinerary(a); })},
      {"LoadItineraryV01", code([](CNavigatorSim& s, const TFields& a, double t) { return s.LoadItinerary(a, t); })},
      {"ClearItineraryV01", code([](CNavigatorSim& s, const TFields&, double t) { return s.ClearItinerary(t); })},
      {"NavigateToNextStopoverV01", code([](CNavigatorSim& s, const TFields&, double t) { return s.NextStopover(t); })},
      {"AbortItineraryLegV01", code([](CNavigatorSim& s, const TFields&, double t) { return s.AbortLeg(t); })},
      {"GetCurrentStopoverV01", [](CNavigatorSim& s, const TFields&, double, bool*) { return s.CurrentStopover(); }},
      {"UseGFFileV01", needsText},
      {"EnableGFRecordV01", done},
      {"ShowExactDestinationV01", done},
      {"OpenInternetConnectionV01",
       code([](CNavigatorSim& s, const TFields&, double) {
         s.internetOpen_ = true;
         return KDone;
       })},
      {"CloseInternetConnectionV01",
       code([](CNavigatorSim& s, const TFields&, double) {
         s.internetOpen_ = false;
         return KDone;
       })},
      {"GetInternetConnectionStatusV01",
       [](CNavigatorSim& s, const TFields&, double, bool*) { return TFields{"0", s.internetOpen_ ? "1" : "0"}; }},
      {"PlaySoundFileV01", needsText},
  };
  auto handler = handlers.find(request[0]);
  if (handler == handlers.end()) return CodeReply(request[0], KUnknownCall);
  return handler->second(*this, TFields(request.begin() + 1, request.end()), now, stop);
}

// The route.

void CNavigatorSim::SetRoute(std::vector<TGeoPoint> points, bool loop, double now) {
  route_.points = std::move(points);
  route_.along.assign(1, 0.0);
  for (size_t i = 1; i < route_.points.size(); ++i)
    route_.along.push_back(route_.along.back() + DistanceMetres(route_.points[i - 1], route_.points[i]));
  route_.loop = loop;
  route_.start = now;
  route_.speed = KCitySpeed;
  routeActive_ = true;
}

void CNavigatorSim::DriveTo(TGeoPoint destination, double now) {
  TGeoPoint from = Position(now);
  // Town streets: first along the latitude, then along the longitude.
  SetRoute({from, {destination.lat, from.lon}, destination}, false, now);
}

void CNavigatorSim::StopDriving(double now) {
  parked_ = Position(now);
  routeActive_ = false;
}

CNavigatorSim::TRoutePlace CNavigatorSim::PlaceAt(double now) const {
  TRoutePlace place;
  const std::vector<TGeoPoint>& points = route_.points;
  double total = route_.along.back();
  double travelled = std::max(0.0, now - route_.start) * route_.speed;
  if (route_.loop && total > 0) travelled = fmod(travelled, total);
  if (travelled >= total) {
    place.point = points.back();
    place.travelled = total;
    place.nextPoint = points.size();
    place.heading = points.size() > 1 ? HeadingDegrees(points[points.size() - 2], points.back()) : 0;
    place.arrived = true;
    return place;
  }
  size_t next = 1;
  while (next < points.size() && route_.along[next] <= travelled) ++next;
  double legLength = route_.along[next] - route_.along[next - 1];
  double share = legLength > 0 ? (travelled - route_.along[next - 1]) / legLength : 0;
  place.point.lat = points[next - 1].lat + (points[next].lat - points[next - 1].lat) * share;
  place.point.lon = points[next - 1].lon + (points[next].lon - points[next - 1].lon) * share;
  place.travelled = travelled;
  place.nextPoint = next;
  place.heading = HeadingDegrees(points[next - 1], points[next]);
  return place;
}

TGeoPoint CNavigatorSim::Position(double now) const { return routeActive_ ? PlaceAt(now).point : parked_; }

bool CNavigatorSim::Driving(double now) const { return routeActive_ && !PlaceAt(now).arrived; }

CNavigatorSim::TFields CNavigatorSim::CurrentPosition(double now) const {
  TGeoPoint p = Position(now);
  int speed = Driving(now) ? static_cast<int>(lround(route_.speed * 3.6)) : 0;
  int heading = routeActive_ ? static_cast<int>(lround(PlaceAt(now).heading)) % 360 : 0;
  return {"0", Int(ToMicrodegrees(p.lat)), Int(ToMicrodegrees(p.lon)), Int(speed), Int(heading), Int(KSatellites)};
}

// Route information: remaining metres and seconds, metres and seconds to the
// next route point, the destination, route points ahead, current stopover
// (from 1, 0 for none) and number of stopovers, speed limit, speed and
// heading, and the kind of route (1 the demonstration loop, 2 a drive to a
// destination).
CNavigatorSim::TFields CNavigatorSim::RouteInfo(double now) const {
  if (!routeActive_) return Code(KNothingThere);
  TRoutePlace place = PlaceAt(now);
  double total = route_.along.back();
  double remaining = total - place.travelled;
  double toNext = place.arrived ? 0 : route_.along[place.nextPoint] - place.travelled;
  TGeoPoint destination = route_.points.back();
  int speed = place.arrived ? 0 : static_cast<int>(lround(route_.speed * 3.6));
  return {"0",
          Int(lround(remaining)),
          Int(lround(remaining / route_.speed)),
          Int(lround(toNext)),
          Int(lround(toNext / route_.speed)),
          Int(ToMicrodegrees(destination.lat)),
          Int(ToMicrodegrees(destination.lon)),
          Int(static_cast<int64_t>(route_.points.size() - std::min(place.nextPoint, route_.points.size()))),
          Int(currentStop_ + 1),
          Int(static_cast<int64_t>(itinerary_.size())),
          "50",
          Int(speed),
          Int(lround(place.heading) % 360),
          route_.loop ? "1" : "2"};
}

// Where the car is, then the route points still ahead.
CNavigatorSim::TFields CNavigatorSim::RouteCoordinates(double now) const {
  if (!routeActive_) return {Int(KNothingThere), "0"};
  TRoutePlace place = PlaceAt(now);
  TFields reply = {"0", ""};
  auto add = [&reply](TGeoPoint p) {
    reply.push_back(Int(ToMicrodegrees(p.lat)));
    reply.push_back(Int(ToMicrodegrees(p.lon)));
  };
  add(place.point);
  for (size_t i = place.nextPoint; i < route_.points.size(); ++i) add(route_.points[i]);
  reply[1] = Int(static_cast<int64_t>((reply.size() - 2) / 2));
  return reply;
}

// Location: the point, the house number, the street, its speed limit and
// road class (1 motorway to 5 residential); the extended form adds postal
// code and town.
CNavigatorSim::TFields CNavigatorSim::LocationInfo(const TFields& f, bool extended) const {
  TGeoPoint p = PointOf(f[0], f[1]);
  uint32_t h = CellHash(p);
  TFields reply = {"0",
                   Int(ToMicrodegrees(p.lat)),
                   Int(ToMicrodegrees(p.lon)),
                   Int(1 + h % 150),
                   KStreets[h % (sizeof KStreets / sizeof KStreets[0])],
                   h % 3 == 0 ? "30" : "50",
                   Int(h % 3 == 0 ? 5 : 4)};
  if (extended) reply.push_back(PostalCode(p) + " " + KCity);
  return reply;
}

// Any address of Simcity is found: the texts given, as one line, a point
// taken from them, the match quality (100 when every text was given) and
// postal code and town.
CNavigatorSim::TFields CNavigatorSim::Geocode(const TFields& texts) const {
  std::string line;
  int given = 0;
  for (const std::string& text : texts) {
    if (text.empty()) continue;
    ++given;
    line += (line.empty() ? "" : ", ") + text;
  }
  if (given == 0) return Code(KNothingThere);
  uint32_t h = Hash(line);
  TGeoPoint p = {KCentre.lat + (static_cast<double>(h % 4001) - 2000) / 100000.0,
                 KCentre.lon + (static_cast<double>((h >> 12) % 4001) - 2000) / 100000.0};
  int quality = given == static_cast<int>(texts.size()) ? 100 : 50 + 50 * given / static_cast<int>(texts.size());
  return {"0", Int(ToMicrodegrees(p.lat)), Int(ToMicrodegrees(p.lon)), Int(quality), line,
          PostalCode(p) + " " + KCity};
}

int32_t CNavigatorSim::NavigateTo(const std::string& name, TGeoPoint destination, double now) {
  itinerary_ = {{name, destination}};
  currentStop_ = 0;
  DriveTo(destination, now);
  return KDone;
}

// Favourites: number, name, address, latitude, longitude.

int32_t CNavigatorSim::SetFavorite(const TFields& f) {
  int32_t slot = IntField(f[0]);
  if (slot < 0 || slot >= KFavoriteSlots) return KBadRequest;
  favorites_[slot] = {f[1], f[2], PointOf(f[3], f[4])};
  return KDone;
}

CNavigatorSim::TFields CNavigatorSim::GetFavorite(const TFields& f) const {
  int32_t slot = IntField(f[0]);
  if (slot < 0 || slot >= KFavoriteSlots) return Code(KBadRequest);
  auto found = favorites_.find(slot);
  if (found == favorites_.end()) return Code(KNothingThere);
  const TFavorite& favorite = found->second;
  return {"0", favorite.name, favorite.address, Int(ToMicrodegrees(favorite.point.lat)),
          Int(ToMicrodegrees(favorite.point.lon))};
}

int32_t CNavigatorSim::ClearFavorite(const TFields& f) {
  int32_t slot = IntField(f[0]);
  if (slot < 0 || slot >= KFavoriteSlots) return KBadRequest;
  return favorites_.erase(slot) == 1 ? KDone : KNothingThere;
}

int32_t CNavigatorSim::NavigateToFavorite(const TFields& f, double now) {
  int32_t slot = IntField(f[0]);
  auto found = favorites_.find(slot);
  if (found == favorites_.end()) return slot < 0 || slot >= KFavoriteSlots ? KBadRequest : KNothingThere;
  return NavigateTo(found->second.name, found->second.point, now);
}

// User points of interest: category, point, name, description.

std::vector<CNavigatorSim::TPoi>::iterator CNavigatorSim::ClosestPoi(const std::string& category, TGeoPoint near) {
  auto best = pois_.end();
  double bestDistance = std::numeric_limits<double>::max();
  for (auto poi = pois_.begin(); poi != pois_.end(); ++poi) {
    if (poi->category != category) continue;
    double distance = DistanceMetres(poi->point, near);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = poi;
    }
  }
  return best;
}

int32_t CNavigatorSim::AddPoi(const TFields& f) {
  if (f[0].empty()) return KBadRequest;
  pois_.push_back({f[0], PointOf(f[1], f[2]), f[3], f[4]});
  poiCategoryVisible_.emplace(f[0], true);
  return KDone;
}

int32_t CNavigatorSim::DeleteClosestPoi(const TFields& f) {
  auto poi = ClosestPoi(f[0], PointOf(f[1], f[2]));
  if (poi == pois_.end()) return KNothingThere;
  pois_.erase(poi);
  return KDone;
}

int32_t CNavigatorSim::DeleteAllPoi(const TFields& f) {
  size_t before = pois_.size();
  pois_.erase(std::remove_if(pois_.begin(), pois_.end(), [&f](const TPoi& poi) { return poi.category == f[0]; }),
              pois_.end());
  return pois_.size() < before ? KDone : KNothingThere;
}

int32_t CNavigatorSim::MoveClosestPoi(const TFields& f) {
  auto poi = ClosestPoi(f[0], PointOf(f[1], f[2]));
  if (poi == pois_.end()) return KNothingThere;
  poi->point = PointOf(f[3], f[4]);
  return KDone;
}

int32_t CNavigatorSim::MakeUserPoiVisible(const TFields& f) {
  auto category = poiCategoryVisible_.find(f[0]);
  if (category == poiCategoryVisible_.end()) return KNothingThere;
  category->second = IntField(f[1]) != 0;
  return KDone;
}

// The itinerary: stopovers driven to one after the other.

int32_t CNavigatorSim::SaveItinerary(const TFields& f) {
  if (f[0].empty()) return KBadRequest;
  if (itinerary_.empty()) return KNothingThere;
  savedItineraries_[f[0]] = itinerary_;
  return KDone;
}

int32_t CNavigatorSim::LoadItinerary(const TFields& f, double now) {
  auto found = savedItineraries_.find(f[0]);
  if (found == savedItineraries_.end()) return KNothingThere;
  itinerary_ = found->second;
  currentStop_ = 0;
  DriveTo(itinerary_[0].point, now);
  return KDone;
}

int32_t CNavigatorSim::ClearItinerary(double now) {
  itinerary_.clear();
  currentStop_ = -1;
  StopDriving(now);
  return KDone;
}

int32_t CNavigatorSim::NextStopover(double now) {
  if (currentStop_ < 0 || currentStop_ + 1 >= static_cast<int>(itinerary_.size())) return KNothingThere;
  ++currentStop_;
  DriveTo(itinerary_[static_cast<size_t>(currentStop_)].point, now);
  return KDone;
}

// Gives up the leg being driven: on to the next stopover, or, after the
// last, the end of the trip.
int32_t CNavigatorSim::AbortLeg(double now) {
  if (currentStop_ < 0) return KNothingThere;
  if (NextStopover(now) == KDone) return KDone;
  currentStop_ = -1;
  StopDriving(now);
  return KDone;
}

CNavigatorSim::TFields CNavigatorSim::CurrentStopover() const {
  if (currentStop_ < 0) return Code(KNothingThere);
  return {"0", Int(currentStop_ + 1)};
}

// The custom UI answers a call after two polls that find it busy: its
// texts are the call's number, its text and "done".

int32_t CNavigatorSim::StartCustomUI() {
  customUIStarted_ = true;
  return KDone;
}

int32_t CNavigatorSim::SendToCustomUI(const TFields& f) {
  if (!customUIStarted_) return KNothingThere;
  customUICall_.number = IntField(f[0]);
  customUICall_.text = f[1];
  customUICall_.pendingPolls = KCustomUIPendingPolls;
  customUICallPending_ = true;
  return KDone;
}

CNavigatorSim::TFields CNavigatorSim::CustomUIResult() {
  if (!customUICallPending_) return Code(KNothingThere);
  if (customUICall_.pendingPolls > 0) {
    --customUICall_.pendingPolls;
    return Code(KPending);
  }
  customUICallPending_ = false;
  return {"0", "3", Int(customUICall_.number), customUICall_.text, "done"};
}

}  // namespace sim
}  // namespace varnix

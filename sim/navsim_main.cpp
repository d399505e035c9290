// varnix-navsim: the desktop stand-in for the navigation server. See Usage.
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "base/format.h"
#include "base/host_root.h"
#include "messaging/endpoint.h"
#include "messaging/incoming_calls.h"
#include "navigator_sim.h"
#include "reply_script.h"

namespace {

const char KUsage[] =
    "Usage: varnix-navsim [--script FILE] [--verbose]\n"
    "\n"
    "Stands in for the navigation server \"VarnixNavigationServer\": answers\n"
    "every call of the navigator catalogue (see varnix-call --list) that an\n"
    "application sends through /var/run/ below the host root (the environment\n"
    "variable VARNIX_ROOT; without it the real /var/run/). Calls are taken in\n"
    "with the runtime's own incoming-call pump, run every 2 ms, and each is\n"
    "answered at once with a reply of the call's shape.\n"
    "\n"
    "  --script FILE  answer from FILE where it has a reply: one line per reply,\n"
    "                 the call's name, a blank, then the reply text exactly as\n"
    "                 it is to be written (\"0|3|1|2|\", \"-2|\", or nothing for an\n"
    "                 empty reply), so that wrong field counts, error codes and\n"
    "                 short lists can be provoked. Several lines for one call\n"
    "                 are used in turn, the last one from then on; calls the\n"
    "                 file does not name are answered by the simulation. Empty\n"
    "                 lines and lines starting with '#' are skipped.\n"
    "  --verbose      print every call and its reply on standard output\n"
    "  --help         this text\n"
    "\n"
    "The simulation keeps plausible state. Coordinates are integers in\n"
    "millionths of a degree, latitude first.\n"
    "  position      a car drives a 2.5 km loop through Simcity at 50 km/h;\n"
    "                GetCurrentPositionV01 gives latitude, longitude, speed\n"
    "                (km/h), heading (degrees) and satellites;\n"
    "                GetRouteCoordinatesV01 the car's place and the route points\n"
    "                ahead; GetRouteInfoV01 remaining metres and seconds, metres\n"
    "                and seconds to the next route point, the destination, points\n"
    "                ahead, current stopover and stopovers, speed limit, speed,\n"
    "                heading and route kind (1 loop, 2 destination);\n"
    "                GetLocationInfoV01/ExV01 a street, house number, speed limit,\n"
    "                road class (and postal code and town) for any point\n"
    "  navigation    NavigateTo... drive from where the car is to the place given\n"
    "                (any address is found: Geocode... give a point made from the\n"
    "                texts); ClearRouteV01 stops the car\n"
    "  favourites    SetFavoriteV01, GetFavoriteV01, ClearFavoriteV01,\n"
    "                NavigateToFavoriteV01; numbers 0 to 99\n"
    "  user POIs     AddPoiV01, DeleteClosestPoiV01, DeleteAllPoiV01,\n"
    "                MoveClosestPoiV01, MakeUserPoiVisibleV01 (by category)\n"
    "  itinerary     SaveItineraryV01, LoadItineraryV01 (\"demo\" holds three\n"
    "                stopovers), ClearItineraryV01, NavigateToNextStopoverV01,\n"
    "                AbortItineraryLegV01, GetCurrentStopoverV01 (from 1)\n"
    "  custom UI     StartCustomUIV01, then SendCallToCustomUIV01; the next two\n"
    "                GetResultFromCustomUIV01 answer -9 (not there yet), the\n"
    "                third the texts: the call's number, its text, \"done\"\n"
    "  others        GetApplicationVersionV01 (\"5.4.1\", 541), GetDataSetInfoV01,\n"
    "                GetUniqueDeviceIdV01 (an id made from the host's name),\n"
    "                Open/CloseInternetConnectionV01 and\n"
    "                GetInternetConnectionStatusV01 (1 open, 0 closed); the rest\n"
    "                are accepted with 0\n"
    "Codes: 0 done, -1 unknown call, -3 bad request (wrong number of fields, a\n"
    "value out of range), -4 nothing there (no route, favourite, point,\n"
    "itinerary or result), -9 custom UI result not there yet.\n"
    "\n"
    "StopApplicationV01 is answered with 0 and then the simulator exits (with\n"
    "--script, when the scripted reply's code is 0). SIGINT and SIGTERM stop it\n"
    "cleanly. Exit status 0; 2 on a bad command line or script.\n";

const char KServerName[] = "VarnixNavigationServer";
const useconds_t KIdlePause = 2000;

volatile sig_atomic_t gStop = 0;
void OnStopSignal(int) { gStop = 1; }

double Seconds() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

std::string DeviceId() {
  char host[256] = "";
  gethostname(host, sizeof host - 1);
  uint64_t hash = 14695981039346656037ull;
  for (const char* p = host; *p != 0; ++p) hash = (hash ^ static_cast<unsigned char>(*p)) * 1099511628211ull;
  hash ^= static_cast<uint64_t>(gethostid());
  char id[32];
  snprintf(id, sizeof id, "SIM-%012llX", static_cast<unsigned long long>(hash & 0xFFFFFFFFFFFFull));
  return id;
}

std::string Joined(const std::vector<std::string>& fields) {
  std::string text;
  for (const std::string& field : fields) text += field + "|";
  return text;
}

class CServer : public varnix::MIncomingCallHandler {
 public:
  CServer(varnix::sim::CReplyScript* script, bool verbose, double start)
      : script_(script), verbose_(verbose), start_(start), simulation_(DeviceId()) {}

  void HandleCall(varnix::MVarnixCommunicationLayerInterface* endpoint, varnix::MVarnixSession* session) override {
    ++handled_;
    std::vector<std::string> request;
    for (int32_t i = 0; i < endpoint->arguments->Count(); ++i) request.push_back(endpoint->arguments->At(i));
    std::string call = request.empty() ? "" : request[0];
    std::string literal;
    std::string reply;
    bool stop = false;
    if (script_ != nullptr && script_->Next(call, &literal)) {
      reply = literal;
      stop = call == "StopApplicationV01" && !literal.empty() && varnix::TextToInt(literal.c_str()) == 0;
    } else {
      reply = Joined(simulation_.Answer(request, Seconds() - start_, &stop));
    }
    Reply(endpoint, session, reply);
    if (verbose_) {
      printf("%s -> %s\n", Joined(request).c_str(), reply.c_str());
      fflush(stdout);
    }
    if (stop) stopRequested_ = true;
  }

  int Handled() const { return handled_; }
  bool StopRequested() const { return stopRequested_; }

 private:
  // Writes the reply text exactly as given, through the endpoint's own
  // argument list and Send.
  static void Reply(varnix::MVarnixCommunicationLayerInterface* endpoint, varnix::MVarnixSession* session,
                    const std::string& text) {
    endpoint->NewReply(session);
    varnix::MArguments* list = endpoint->arguments;
    int32_t size = static_cast<int32_t>(text.size()) + 1;
    if (size > varnix::CCsvArguments::KInlineTextSize && list->Reserve(size) == 0) {
      fprintf(stderr, "varnix-navsim: no memory for a reply of %d bytes\n", size);
      return;
    }
    memcpy(list->Buffer(), text.c_str(), text.size() + 1);
    endpoint->Send();
  }

  varnix::sim::CReplyScript* script_;
  bool verbose_;
  double start_;
  varnix::sim::CNavigatorSim simulation_;
  int handled_ = 0;
  bool stopRequested_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  std::string scriptFile;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      fputs(KUsage, stdout);
      return 0;
    } else if (arg == "--script" && i + 1 < argc) {
      scriptFile = argv[++i];
    } else if (arg == "--verbose") {
      verbose = true;
    } else {
      fprintf(stderr, "varnix-navsim: bad command line (see --help)\n");
      return 2;
    }
  }
  varnix::sim::CReplyScript script;
  if (!scriptFile.empty()) {
    std::string problem;
    if (!script.Load(scriptFile, &problem)) {
      fprintf(stderr, "varnix-navsim: %s\n", problem.c_str());
      return 2;
    }
  }

  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = OnStopSignal;  // no SA_RESTART: the idle pause ends at once
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  varnix::CPathString runDirectory;
  varnix::LocationPath(runDirectory, varnix::ELocationRun);
  printf("varnix-navsim: serving %s in %s%s\n", KServerName, runDirectory.Text(),
         scriptFile.empty() ? "" : (" with replies from " + scriptFile).c_str());
  fflush(stdout);

  CServer server(scriptFile.empty() ? nullptr : &script, verbose, Seconds());
  while (!gStop && !server.StopRequested()) {
    int before = server.Handled();
    varnix::ProcessIncomingCalls(KServerName, &server);
    if (server.Handled() == before && !gStop) usleep(KIdlePause);
  }
  printf("varnix-navsim: %s\n", server.StopRequested() ? "stopped by StopApplicationV01" : "stopped");
  return 0;
}

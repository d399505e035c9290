// varnix_bench_peer: a minimal navigation server for the round-trip
// benchmarks, for builds without varnix-navsim. It runs the runtime's own
// incoming-call pump over the run-time directory every millisecond and
// answers every call with result code 0 and a position record.
// SIGINT or SIGTERM stop it.

#include <signal.h>
#include <unistd.h>

#include "messaging/incoming_calls.h"

namespace {

volatile sig_atomic_t gStop;

void Stop(int) { gStop = 1; }

class CAnswer : public varnix::MIncomingCallHandler {
 public:
  void HandleCall(varnix::MVarnixCommunicationLayerInterface* endpoint, varnix::MVarnixSession* session) override {
    static const char* const KReply[] = {"0", "5234567", "1340512", "84", "50", "1"};
    endpoint->NewReply(session);
    for (const char* field : KReply) endpoint->AddArgument(field);
    endpoint->Send();
  }
};

}  // namespace

int main() {
  struct sigaction action = {};
  action.sa_handler = Stop;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  CAnswer answer;
  while (!gStop) {
    varnix::ProcessIncomingCalls("VarnixNavigationServer", &answer);
    usleep(1000);
  }
  return 0;
}

#ifndef VARNIX_BENCH_SUPPORT_ROUND_TRIP_CLIENTS_H
#define VARNIX_BENCH_SUPPORT_ROUND_TRIP_CLIENTS_H

// The two clients of the round-trip benchmarks. Each makes one call of
// KRoundTripCall to the navigation server and waits for its answer:
//   "varnix"        the runtime's call, GetCurrentPositionV01, through the
//                   client endpoint an application makes with
//                   CreateFileLayer
//   "system calls"  the same exchange written with nothing but system calls,
//                   the fewest that the protocol allows: per message file
//                   open, write, fsync, close; one open per test for the
//                   answer's marker (and its close once it is there), with
//                   the protocol's 100 ms between tests; open, one read,
//                   close for the answer; two unlinks.

#include <memory>
#include <string>

namespace varnix {
namespace bench {

class MRoundTripClient {
 public:
  virtual ~MRoundTripClient() {}
  // One call; true when the answer came and its result code is 0.
  virtual bool Call() = 0;
  // The 100 ms sleeps between tests for the answer, over all calls so far.
  virtual long Polls() const = 0;
};

extern const char KRuntimeClient[];
extern const char KPlainClient[];

// runDirectory ends in "/"; the process's host root must already point at
// the device root that holds it.
std::unique_ptr<MRoundTripClient> MakeClient(const std::string& kind, const std::string& runDirectory);

}  // namespace bench
}  // namespace varnix

#endif

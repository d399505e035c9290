#ifndef VARNIX_BENCH_SUPPORT_ANSWERING_PEER_H
#define VARNIX_BENCH_SUPPORT_ANSWERING_PEER_H

#include <sys/types.h>

#include <string>

namespace varnix {
namespace bench {

// A scratch device root with the navigation server running in it:
// varnix-navsim when the build has it, else the benchmarks' own
// varnix_bench_peer. The process's host root (and VARNIX_ROOT for children)
// points at the scratch root while the object lives; the server is stopped
// with SIGTERM at the end.
class CAnsweringPeer {
 public:
  CAnsweringPeer();
  ~CAnsweringPeer();
  CAnsweringPeer(const CAnsweringPeer&) = delete;
  CAnsweringPeer& operator=(const CAnsweringPeer&) = delete;

  const std::string& Root() const { return root_; }
  // The run-time directory, ending in "/".
  std::string RunDirectory() const { return root_ + "/var/run/"; }
  // "varnix-navsim" or "varnix_bench_peer".
  const std::string& ServerName() const { return server_; }

 private:
  std::string root_;
  std::string server_;
  pid_t pid_;
};

// The call the round trips make, and the server the messages go to.
extern const char KRoundTripCall[];
extern const char KServerName[];

}  // namespace bench
}  // namespace varnix

#endif

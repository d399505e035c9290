#ifndef VARNIX_BENCH_SUPPORT_NAVSIM_PROCESS_H
#define VARNIX_BENCH_SUPPORT_NAVSIM_PROCESS_H

#include <sys/types.h>

#include <string>

namespace varnix {
namespace bench {

// A scratch device root with the navigation server, varnix-navsim, running
// in it. The process's host root (and VARNIX_ROOT for children) points at
// the scratch root while the object lives; the server is stopped with
// SIGTERM at the end.
class CNavsimProcess {
 public:
  CNavsimProcess();
  ~CNavsimProcess();
  CNavsimProcess(const CNavsimProcess&) = delete;
  CNavsimProcess& operator=(const CNavsimProcess&) = delete;

  const std::string& Root() const { return root_; }
  // The run-time directory, ending in "/".
  std::string RunDirectory() const { return root_ + "/var/run/"; }

 private:
  std::string root_;
  pid_t pid_;
};

// The call the round trips make, and the server the messages go to.
extern const char KRoundTripCall[];
extern const char KServerName[];

}  // namespace bench
}  // namespace varnix

#endif

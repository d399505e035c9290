#ifndef VARNIX_SIM_LAUNCHERD_CHILDREN_H
#define VARNIX_SIM_LAUNCHERD_CHILDREN_H

#include <sys/types.h>

#include <deque>
#include <map>
#include <string>

#include "request.h"

namespace varnix {
namespace launcherd {

// The processes the launcher has started: it acts on these and on no
// other. An ended child is reaped at once (SIGCHLD) and its status kept
// until a WAIT4 has reported it.
class CChildren {
 public:
  // outputFd: where the children's standard output and error go, or -1 for
  // the launcher's own. hostRoot: a program given with an absolute path is
  // taken from under it when it exists there.
  CChildren(int outputFd, const std::string& hostRoot);

  // The answers to the three requests, without their zero byte.
  std::string Launch(const TRequest& request);
  std::string Wait4(int32_t pid);
  std::string Kill(int32_t pid);

  // Collects every child that has ended.
  void Reap();

  // Terminates every running child (its process group), waits up to
  // graceMs for them, then kills what is left; all are reaped on return.
  // wakeFd becomes readable when a signal arrives (SIGCHLD).
  void StopAll(int wakeFd, int graceMs);

  size_t RunningCount() const;

  // Running children at most; a launch beyond is refused.
  static const size_t KMaxRunning = 256;
  // Ended children whose status no WAIT4 has asked for yet, at most; the
  // oldest are forgotten first.
  static const size_t KMaxUnreported = 1024;

 private:
  struct TChild {
    std::string command;
    bool running = true;
    int status = 0;
  };

  // The file to execute for the command's first word: 0 and *path, or the
  // errno of why there is none.
  int ResolveProgram(const std::string& program, std::string* path) const;
  void Ended(pid_t pid, int status);
  void SignalAll(int signal);

  int outputFd;
  std::string hostRoot;
  std::map<pid_t, TChild> children;
  std::deque<pid_t> unreported;
};

}  // namespace launcherd
}  // namespace varnix

#endif

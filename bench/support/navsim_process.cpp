#include "support/navsim_process.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/host_root.h"
#include "support/bench_support.h"

namespace varnix {
namespace bench {

const char KRoundTripCall[] = "GetCurrentPositionV01";
const char KServerName[] = "VarnixNavigationServer";

namespace {

std::string MakeRoot() {
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/varnix-bench-device-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) Fail("mkdtemp " + pattern);
  for (const char* dir : {"/var", "/var/run", "/mnt", "/mnt/flash", "/mnt/sdcard", "/proc", "/proc/morvantis", "/etc",
                          "/bin"})
    mkdir((pattern + dir).c_str(), 0755);
  return pattern;
}

}  // namespace

CNavsimProcess::CNavsimProcess() : root_(MakeRoot()), pid_(-1) {
  setenv("VARNIX_ROOT", root_.c_str(), 1);
  SetHostRoot(root_.c_str());
  std::string program = ProgramDir() + "/varnix-navsim";
  if (access(program.c_str(), X_OK) != 0) Fail(program + " is not there");
  pid_ = fork();
  if (pid_ < 0) Fail("fork");
  if (pid_ == 0) {
    // The server's own lines would mix with the benchmark's report.
    freopen("/dev/null", "w", stdout);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
}

CNavsimProcess::~CNavsimProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  RemoveTree(root_);
}

}  // namespace bench
}  // namespace varnix

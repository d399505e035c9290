#ifndef VARNIX_SIM_LAUNCHERD_SERVER_H
#define VARNIX_SIM_LAUNCHERD_SERVER_H

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "children.h"

namespace varnix {
namespace launcherd {

struct TServerOptions {
  std::string childOutput;  // a device path under the host root; empty: the launcher's own output
  int idleTimeoutMs = 10000;
  int graceMs = 2000;
};

// The launcher: one thread, one poll loop over the listening socket, the
// clients' connections and a signal descriptor (SIGCHLD, SIGINT, SIGTERM).
// No client can hold up another: every socket is non-blocking and a request
// is handled once its zero byte has arrived.
class CLauncherServer {
 public:
  explicit CLauncherServer(const TServerOptions& options);
  ~CLauncherServer();
  CLauncherServer(const CLauncherServer&) = delete;
  CLauncherServer& operator=(const CLauncherServer&) = delete;

  // Takes the socket. 0 when the launcher is ready to serve; otherwise the
  // exit status of a launcher that does not start.
  int Start();

  // Serves until SIGINT or SIGTERM, then removes the socket and stops the
  // children. Returns the exit status.
  int Run();

  // Open connections at most; a client beyond is answered "ERR busy".
  static const size_t KMaxConnections = 256;

 private:
  struct TConnection {
    int fd;
    std::string received;
    std::chrono::steady_clock::time_point deadline;
  };

  bool WatchSignals();
  bool OpenChildOutput();
  bool TakeLock();
  bool ClearSocketPath();
  bool Listen();

  bool HandleSignals();
  void Accept();
  bool ReadFrom(TConnection& connection);
  std::string Handle(const std::string& text);
  void Answer(TConnection& connection, const std::string& answer);
  void Shutdown();

  TServerOptions options;
  std::string socketPath;
  std::string lockPath;
  int lockFd = -1;
  int listenFd = -1;
  int signalFd = -1;
  int outputFd = -1;
  ino_t socketInode = 0;
  std::unique_ptr<CChildren> children;
  std::vector<TConnection> connections;
};

}  // namespace launcherd
}  // namespace varnix

#endif

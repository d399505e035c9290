#include "server.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/file.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>

#include "base/dyn_string.h"
#include "base/host_root.h"
#include "log.h"
#include "request.h"

namespace varnix {
namespace launcherd {
namespace {

using Clock = std::chrono::steady_clock;

bool FillAddress(struct sockaddr_un& address, const std::string& path) {
  memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  memcpy(address.sun_path, path.data(), path.size());
  return true;
}

// Whether something accepts connections at path.
bool SomeoneAnswers(const std::string& path) {
  struct sockaddr_un address;
  if (!FillAddress(address, path)) return false;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool answers = connect(fd, reinterpret_cast<struct sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return answers;
}

const char* SignalName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    default: return "a signal";
  }
}

}  // namespace

CLauncherServer::CLauncherServer(const TServerOptions& settings) : options(settings) {}

CLauncherServer::~CLauncherServer() {
  for (TConnection& connection : connections) close(connection.fd);
  for (int fd : {listenFd, signalFd, outputFd, lockFd})
    if (fd >= 0) close(fd);
}

int CLauncherServer::Start() {
  CPathString path;
  socketPath = LocationPath(path, ELocationLauncherSocket);
  lockPath = socketPath + ".lock";
  struct sockaddr_un address;
  if (!FillAddress(address, socketPath)) {
    Log("the socket path %s is too long for a local socket; not starting", socketPath.c_str());
    return 1;
  }
  if (!WatchSignals() || !OpenChildOutput() || !TakeLock() || !ClearSocketPath() || !Listen()) return 1;
  children.reset(new CChildren(outputFd, HostRoot()));
  Log("listening on %s", socketPath.c_str());
  return 0;
}

bool CLauncherServer::WatchSignals() {
  // The signals arrive through a descriptor in the poll loop, never in a
  // handler; a client that goes away must not end the launcher.
  signal(SIGPIPE, SIG_IGN);
  sigset_t watched;
  sigemptyset(&watched);
  for (int s : {SIGCHLD, SIGINT, SIGTERM}) sigaddset(&watched, s);
  if (sigprocmask(SIG_BLOCK, &watched, nullptr) != 0 ||
      (signalFd = signalfd(-1, &watched, SFD_NONBLOCK | SFD_CLOEXEC)) < 0) {
    Log("cannot watch signals: %s", strerror(errno));
    return false;
  }
  return true;
}

bool CLauncherServer::OpenChildOutput() {
  if (options.childOutput.empty()) return true;
  CPathString path;
  RootedPath(path, options.childOutput.c_str());
  outputFd = open(path.Text(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (outputFd < 0) {
    Log("cannot open %s for the output of started processes: %s", path.Text(), strerror(errno));
    return false;
  }
  return true;
}

bool CLauncherServer::TakeLock() {
  // Held for the launcher's life (and dropped by the kernel when it dies):
  // two launchers starting at the same moment cannot both take the socket.
  lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lockFd < 0) {
    Log("cannot open %s: %s", lockPath.c_str(), strerror(errno));
    return false;
  }
  if (flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
    Log("another launcher runs on %s; not starting", socketPath.c_str());
    return false;
  }
  return true;
}

bool CLauncherServer::ClearSocketPath() {
  struct stat info;
  if (lstat(socketPath.c_str(), &info) != 0) return true;
  if (!S_ISSOCK(info.st_mode)) {
    Log("%s exists and is not a socket; not starting", socketPath.c_str());
    return false;
  }
  if (SomeoneAnswers(socketPath)) {
    Log("another launcher answers on %s; not starting", socketPath.c_str());
    return false;
  }
  Log("replacing the stale socket %s", socketPath.c_str());
  if (unlink(socketPath.c_str()) != 0 && errno != ENOENT) {
    Log("cannot remove %s: %s", socketPath.c_str(), strerror(errno));
    return false;
  }
  return true;
}

bool CLauncherServer::Listen() {
  struct sockaddr_un address;
  FillAddress(address, socketPath);
  listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  struct stat info;
  if (listenFd < 0 || bind(listenFd, reinterpret_cast<struct sockaddr*>(&address), sizeof address) != 0 ||
      listen(listenFd, 64) != 0 || stat(socketPath.c_str(), &info) != 0) {
    Log("cannot listen on %s: %s", socketPath.c_str(), strerror(errno));
    return false;
  }
  socketInode = info.st_ino;
  return true;
}

int CLauncherServer::Run() {
  int status = 0;
  bool stopping = false;
  std::vector<struct pollfd> watched;
  while (!stopping) {
    watched.clear();
    watched.push_back({signalFd, POLLIN, 0});
    watched.push_back({listenFd, POLLIN, 0});
    int timeoutMs = -1;
    Clock::time_point now = Clock::now();
    for (const TConnection& connection : connections) {
      watched.push_back({connection.fd, POLLIN, 0});
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(connection.deadline - now).count() + 1;
      int leftMs = static_cast<int>(std::max<long long>(0, left));
      if (timeoutMs < 0 || leftMs < timeoutMs) timeoutMs = leftMs;
    }
    if (poll(watched.data(), watched.size(), timeoutMs) < 0) {
      if (errno == EINTR) continue;
      Log("poll failed: %s", strerror(errno));
      status = 1;
      break;
    }
    if (watched[0].revents != 0) stopping = HandleSignals();

    // Connections accepted now are looked at in the next round; the ones
    // polled are the first watched.size() - 2.
    size_t polled = watched.size() - 2;
    std::vector<bool> finished(polled, false);
    for (size_t i = 0; i < polled; ++i)
      if (watched[i + 2].revents != 0) finished[i] = ReadFrom(connections[i]);
    now = Clock::now();
    for (size_t i = 0; i < polled; ++i) {
      if (finished[i] || connections[i].deadline > now) continue;
      Log("a client sent no complete request within %d ms", options.idleTimeoutMs);
      Answer(connections[i], "ERR timeout");
      finished[i] = true;
    }
    for (size_t i = polled; i-- > 0;)
      if (finished[i]) connections.erase(connections.begin() + static_cast<long>(i));
    if (watched[1].revents != 0 && !stopping) Accept();
  }
  Shutdown();
  return status;
}

bool CLauncherServer::HandleSignals() {
  bool stop = false;
  struct signalfd_siginfo info;
  while (read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    if (info.ssi_signo == SIGINT || info.ssi_signo == SIGTERM) {
      Log("stopping on %s", SignalName(static_cast<int>(info.ssi_signo)));
      stop = true;
    }
  }
  children->Reap();  // several SIGCHLD may have come as one
  return stop;
}

void CLauncherServer::Accept() {
  for (;;) {
    int fd = accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) Log("accept failed: %s", strerror(errno));
      return;
    }
    TConnection connection{fd, std::string(), Clock::now() + std::chrono::milliseconds(options.idleTimeoutMs)};
    if (connections.size() >= KMaxConnections) {
      Log("%zu clients are connected already; refusing one more", connections.size());
      Answer(connection, "ERR busy");
      continue;
    }
    connections.push_back(connection);
  }
}

// Reads what the client has sent; true when the connection is done with
// (answered or gone).
bool CLauncherServer::ReadFrom(TConnection& connection) {
  char buffer[1024];
  size_t room = KMaxRequestSize - connection.received.size();
  ssize_t got = read(connection.fd, buffer, std::min(sizeof buffer, room));
  if (got < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return false;
    Log("a connection failed: %s", strerror(errno));
    close(connection.fd);
    return true;
  }
  if (got == 0) {
    if (connection.received.empty())
      Log("a client closed without a request");
    else
      Log("a client left in the middle of its request [%s]", Printable(connection.received).c_str());
    close(connection.fd);
    return true;
  }
  connection.received.append(buffer, static_cast<size_t>(got));
  size_t end = connection.received.find('\0');
  if (end != std::string::npos) {
    Answer(connection, Handle(connection.received.substr(0, end)));
    return true;
  }
  if (connection.received.size() >= KMaxRequestSize) {
    Log("refused a request of %zu bytes without its zero byte", connection.received.size());
    Answer(connection, "ERR request too long");
    return true;
  }
  return false;
}

std::string CLauncherServer::Handle(const std::string& text) {
  TRequest request = ParseRequest(text);
  children->Reap();
  std::string answer;
  switch (request.verb) {
    case EVerbLaunch: answer = children->Launch(request); break;
    case EVerbWait: answer = children->Wait4(request.pid); break;
    case EVerbKill: answer = children->Kill(request.pid); break;
    case EVerbInvalid: answer = "ERR " + request.error; break;
  }
  Log("[%s] -> [%s]", Printable(text).c_str(), answer.c_str());
  return answer;
}

// Sends the answer and its zero byte and closes the connection: one request
// per connection. A client that is gone gets nothing, and nothing else
// happens.
void CLauncherServer::Answer(TConnection& connection, const std::string& answer) {
  send(connection.fd, answer.c_str(), answer.size() + 1, MSG_NOSIGNAL | MSG_DONTWAIT);
  close(connection.fd);
}

void CLauncherServer::Shutdown() {
  for (TConnection& connection : connections) close(connection.fd);
  connections.clear();
  close(listenFd);
  listenFd = -1;
  struct stat info;
  if (lstat(socketPath.c_str(), &info) == 0 && info.st_ino == socketInode) unlink(socketPath.c_str());
  children->StopAll(signalFd, options.graceMs);
  Log("stopped");
}

}  // namespace launcherd
}  // namespace varnix

#include "children.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <vector>

#include "log.h"

extern char** environ;

namespace varnix {
namespace launcherd {
namespace {

std::string DescribeStatus(int status) {
  if (WIFEXITED(status)) return "exit " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
  return "status " + std::to_string(status);
}

// A child starts with no blocked signals and the default action for the
// signals the launcher handles or ignores itself, in a process group of its
// own, reading nothing.
struct TSpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;

  explicit TSpawnSetup(int outputFd) {
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (outputFd >= 0) {
      posix_spawn_file_actions_adddup2(&actions, outputFd, 1);
      posix_spawn_file_actions_adddup2(&actions, outputFd, 2);
    }
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int s : {SIGCHLD, SIGINT, SIGTERM, SIGPIPE, SIGHUP}) sigaddset(&defaults, s);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  ~TSpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
};

}  // namespace

CChildren::CChildren(int output, const std::string& root) : outputFd(output), hostRoot(root) {}

namespace {

// A regular file that may be executed: 0, or why not.
int CheckProgram(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return errno;
  if (!S_ISREG(info.st_mode)) return EACCES;
  return access(path.c_str(), X_OK) == 0 ? 0 : errno;
}

}  // namespace

int CChildren::ResolveProgram(const std::string& program, std::string* path) const {
  if (program.find('/') != std::string::npos) {
    if (!hostRoot.empty() && program[0] == '/' && CheckProgram(hostRoot + program) == 0) {
      *path = hostRoot + program;
      return 0;
    }
    *path = program;
    return CheckProgram(program);
  }
  const char* search = getenv("PATH");
  std::stringstream directories(search != nullptr && *search != 0 ? search : "/usr/bin:/bin");
  int error = ENOENT;
  for (std::string directory; std::getline(directories, directory, ':');) {
    std::string candidate = (directory.empty() ? "." : directory) + "/" + program;
    int problem = CheckProgram(candidate);
    if (problem == 0) {
      *path = candidate;
      return 0;
    }
    if (problem != ENOENT) error = problem;
  }
  return error;
}

std::string CChildren::Launch(const TRequest& request) {
  if (RunningCount() >= KMaxRunning) {
    Log("refused to start [%s]: %zu processes run already", Printable(request.command).c_str(), RunningCount());
    return "ERR too many processes";
  }
  // The program is looked for and checked here rather than left to the
  // exec: whether a failed exec comes back from posix_spawn depends on the
  // C library (and on an emulator running the launcher).
  std::string path;
  int error = ResolveProgram(request.words[0], &path);
  pid_t pid = 0;
  if (error == 0) {
    std::vector<char*> argv;
    for (const std::string& word : request.words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    TSpawnSetup setup(outputFd);
    error = posix_spawn(&pid, path.c_str(), &setup.actions, &setup.attributes, argv.data(), environ);
  }
  if (error != 0) {
    Log("cannot start [%s]: %s", Printable(request.command).c_str(), strerror(error));
    return std::string("ERR cannot start: ") + strerror(error);
  }
  TChild child;
  child.command = request.command;
  children[pid] = child;
  Log("started pid %d: %s", static_cast<int>(pid), Printable(request.command).c_str());
  return "PID " + std::to_string(pid);
}

std::string CChildren::Wait4(int32_t pid) {
  auto found = children.find(pid);
  if (found == children.end()) return "ERR unknown pid " + std::to_string(pid);
  if (found->second.running) return "0 0";
  std::string answer = std::to_string(pid) + " " + std::to_string(found->second.status);
  children.erase(found);
  unreported.erase(std::remove(unreported.begin(), unreported.end(), pid), unreported.end());
  return answer;
}

std::string CChildren::Kill(int32_t pid) {
  auto found = children.find(pid);
  if (found == children.end()) return "ERR unknown pid " + std::to_string(pid);
  // An ended child is reaped already: its pid may belong to someone else.
  if (!found->second.running) return "-1";
  if (kill(pid, SIGTERM) != 0) {
    Log("cannot signal pid %d: %s", static_cast<int>(pid), strerror(errno));
    return "-1";
  }
  Log("sent SIGTERM to pid %d", static_cast<int>(pid));
  return "0";
}

void CChildren::Reap() {
  int status = 0;
  pid_t pid;
  while ((pid = waitpid(-1, &status, WNOHANG)) > 0) Ended(pid, status);
}

void CChildren::Ended(pid_t pid, int status) {
  auto found = children.find(pid);
  if (found == children.end() || !found->second.running) return;
  found->second.running = false;
  found->second.status = status;
  Log("pid %d ended (%s): %s", static_cast<int>(pid), DescribeStatus(status).c_str(),
      Printable(found->second.command).c_str());
  unreported.push_back(pid);
  while (unreported.size() > KMaxUnreported) {
    auto oldest = children.find(unreported.front());
    if (oldest != children.end() && !oldest->second.running) children.erase(oldest);
    unreported.pop_front();
  }
}

size_t CChildren::RunningCount() const {
  size_t n = 0;
  for (const auto& entry : children) n += entry.second.running ? 1 : 0;
  return n;
}

void CChildren::SignalAll(int signal) {
  for (const auto& entry : children) {
    if (!entry.second.running) continue;
    if (kill(-entry.first, signal) != 0) kill(entry.first, signal);  // it left its group
  }
}

void CChildren::StopAll(int wakeFd, int graceMs) {
  Reap();
  if (RunningCount() == 0) return;
  Log("terminating %zu running processes", RunningCount());
  SignalAll(SIGTERM);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
  while (RunningCount() > 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    struct pollfd wake = {wakeFd, POLLIN, 0};
    if (poll(&wake, 1, static_cast<int>(left.count())) > 0) {
      struct signalfd_siginfo drained[8];
      while (read(wakeFd, drained, sizeof drained) > 0) {
      }
    }
    Reap();
  }
  if (RunningCount() == 0) return;
  Log("killing %zu processes that did not end", RunningCount());
  SignalAll(SIGKILL);
  std::vector<pid_t> left;
  for (const auto& entry : children)
    if (entry.second.running) left.push_back(entry.first);
  for (pid_t pid : left) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    Ended(pid, status);
  }
}

}  // namespace launcherd
}  // namespace varnix

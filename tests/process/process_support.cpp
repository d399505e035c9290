#include "process_support.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "base/os.h"
#include "support/child_process.h"
#include "support/program.h"
#include "support/wait.h"

extern char** environ;

namespace varnix {
namespace test {
namespace {

std::string ReadWhole(FILE* file) {
  fflush(file);
  std::string text;
  char buffer[4096];
  off_t at = 0;
  ssize_t got;
  while ((got = pread(fileno(file), buffer, sizeof buffer, at)) > 0) {
    text.append(buffer, static_cast<size_t>(got));
    at += got;
  }
  return text;
}

// A request that keeps retrying far longer than any launcher takes to
// answer would never end: the test fails at once instead of at its time-out.
int gRetries;
const int KMaxRetries = 50000;

int ShortSleep(useconds_t microseconds) {
  if (++gRetries > KMaxRetries) {
    fprintf(stderr, "a launcher request has retried %d times without end\n", KMaxRetries);
    abort();
  }
  return ::usleep(microseconds > 200 ? 200 : microseconds);
}

// Waits up to timeoutMs for pid to end; its wait status, or -1 (it is then
// killed and reaped).
int ReapBounded(pid_t pid, int timeoutMs) {
  int status = -1;
  return ReapChild(pid, &status, timeoutMs) ? status : -1;
}

}  // namespace

std::string CapturedStdout(const std::function<void()>& body) {
  fflush(stdout);
  FILE* file = tmpfile();
  int saved = dup(1);
  dup2(fileno(file), 1);
  body();
  fflush(stdout);
  dup2(saved, 1);
  close(saved);
  std::string text = ReadWhole(file);
  fclose(file);
  return text;
}

void FastRetries::Install() {
  gRetries = 0;
  os::gOsCurrent.Usleep = &ShortSleep;
}
FastRetries::~FastRetries() { os::gOsCurrent.Usleep = os::gOsDefaults.Usleep; }

ForkedChild::ForkedChild(const std::function<int()>& body) {
  output_ = tmpfile();
  fflush(stdout);
  fflush(stderr);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(fileno(output_), 1);
    int code = body();
    fflush(stdout);
    _exit(code);
  }
}

ForkedChild::~ForkedChild() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (output_ != nullptr) fclose(output_);
}

int ForkedChild::Wait() {
  if (reaped_ || pid_ <= 0) return status_;
  status_ = ReapBounded(pid_, 20000);
  reaped_ = true;
  return status_;
}

std::string ForkedChild::Output() const { return ReadWhole(output_); }

std::string DescribeStatus(int status) {
  if (status == -1) return "did not end";
  if (WIFEXITED(status)) return "exit " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
  return "status " + std::to_string(status);
}

bool ProcessAlive(pid_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

LauncherDaemon::LauncherDaemon(const TempRoot& root) : root_(root) {}

LauncherDaemon::~LauncherDaemon() {
  // A launcher that does not end cleanly (a crash, a sanitizer report) fails
  // the test that ran it.
  if (pid_ <= 0) return;
  int status = Stop(SIGTERM);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    ADD_FAILURE() << "varnix-launcherd ended with " << DescribeStatus(status) << "\n" << Log();
}

void LauncherDaemon::Spawn(const std::vector<std::string>& options) {
  static int count = 0;
  logPath_ = root_("/launcherd." + std::to_string(++count) + ".log");
  std::vector<std::string> words = ProgramCommand("varnix-launcherd");
  std::vector<char*> argv;
  for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
  for (const std::string& option : options) argv.push_back(const_cast<char*>(option.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, logPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  fflush(stdout);
  if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
}

bool LauncherDaemon::Start(const std::vector<std::string>& options) {
  Spawn(options);
  if (pid_ <= 0) return false;
  int status = 0;
  bool listening = WaitUntil([&] {
    if (Log().find("listening on") != std::string::npos) return true;
    if (waitpid(pid_, &status, WNOHANG) == pid_) pid_ = -1;  // it gave up
    return pid_ <= 0;
  });
  return listening && pid_ > 0;
}

int LauncherDaemon::RunToEnd(const std::vector<std::string>& options) {
  Spawn(options);
  if (pid_ <= 0) return -1;
  int status = ReapBounded(pid_, 20000);
  pid_ = -1;
  return status;
}

int LauncherDaemon::Stop(int signal) {
  if (pid_ <= 0) return -1;
  kill(pid_, signal);
  int status = ReapBounded(pid_, 20000);
  pid_ = -1;
  return status;
}

std::string LauncherDaemon::Log() const {
  std::ifstream in(logPath_);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

bool LauncherDaemon::WaitForLog(const std::string& text) const {
  return WaitUntil([&] { return Log().find(text) != std::string::npos; });
}

RawConnection::RawConnection(const std::string& socketPath) {
  struct sockaddr_un address;
  memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
  fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ >= 0 && connect(fd_, reinterpret_cast<struct sockaddr*>(&address), sizeof address) != 0) Close();
}

RawConnection::~RawConnection() { Close(); }

bool RawConnection::Send(const std::string& bytes) {
  return fd_ >= 0 && send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

std::string RawConnection::ReadToEnd(int timeoutMs) {
  std::string received;
  if (fd_ < 0) return received;
  char buffer[1024];
  for (;;) {
    struct pollfd readable = {fd_, POLLIN, 0};
    if (poll(&readable, 1, timeoutMs) <= 0) return received + "<timeout>";
    ssize_t got = read(fd_, buffer, sizeof buffer);
    if (got <= 0) return received;
    received.append(buffer, static_cast<size_t>(got));
  }
}

void RawConnection::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

}  // namespace test
}  // namespace varnix

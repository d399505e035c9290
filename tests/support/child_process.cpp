#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "support/program.h"
#include "support/wait.h"

namespace varnix {
namespace test {
namespace {

std::string NewCaptureFile() {
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/varnix-child-XXXXXX";
  int fd = mkstemp(&pattern[0]);
  if (fd < 0) return "";
  close(fd);
  return pattern;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

}  // namespace

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (!outputPath_.empty()) unlink(outputPath_.c_str());
  if (!errorPath_.empty()) unlink(errorPath_.c_str());
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments) {
  outputPath_ = NewCaptureFile();
  errorPath_ = NewCaptureFile();
  if (outputPath_.empty() || errorPath_.empty()) return false;
  std::vector<std::string> command = ProgramCommand(program, arguments);
  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    int out = open(outputPath_.c_str(), O_WRONLY | O_TRUNC);
    int err = open(errorPath_.c_str(), O_WRONLY | O_TRUNC);
    int in = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    ExecCommand(command);
  }
  return true;
}

bool ChildProcess::Exited() {
  if (pid_ <= 0) return false;
  if (!reaped_ && waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
  return reaped_;
}

bool ChildProcess::Wait(int* status, int timeoutMs) {
  if (!WaitUntil([this] { return Exited(); }, timeoutMs)) return false;
  if (status != nullptr) *status = status_;
  return true;
}

bool ChildProcess::Signal(int signal) const { return pid_ > 0 && !reaped_ && kill(pid_, signal) == 0; }

std::string ChildProcess::Output() const { return ReadWhole(outputPath_); }
std::string ChildProcess::ErrorOutput() const { return ReadWhole(errorPath_); }

int RunProgram(const std::string& program, const std::vector<std::string>& arguments, std::string* output,
               std::string* errorOutput, int timeoutMs) {
  ChildProcess child;
  if (!child.Start(program, arguments)) return -1;
  int status = 0;
  if (!child.Wait(&status, timeoutMs)) return -1;
  if (output != nullptr) *output = child.Output();
  if (errorOutput != nullptr) *errorOutput = child.ErrorOutput();
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool ReapChild(pid_t pid, int* status, int timeoutMs) {
  bool ended = WaitUntil([&] { return waitpid(pid, status, WNOHANG) == pid; }, timeoutMs);
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, status, 0);
  }
  return ended;
}

size_t CountOccurrences(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

}  // namespace test
}  // namespace varnix

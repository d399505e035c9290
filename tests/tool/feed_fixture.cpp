#include "feed_fixture.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "position_tool.h"
#include "support/program.h"
#include "support/wait.h"

namespace varnix {
namespace test {
namespace {

// The forked child keeps only standard input, output and error (and one fd
// the test hands over): a writer end inherited from the test would keep the
// feed alive behind the test's back.
void CloseInheritedFds(int keepFd) {
  for (int fd = 3; fd < 1024; ++fd)
    if (fd != keepFd) close(fd);
}

}  // namespace

FeedFixture::FeedFixture() {}

FeedFixture::~FeedFixture() {
  if (child_ > 0) {
    kill(child_, SIGKILL);
    waitpid(child_, nullptr, 0);
  }
  if (output_ >= 0) close(output_);
  for (int i = 0; i < writerCount_; ++i) close(writers_[i]);
}

void FeedFixture::MakeFeed() const {
  if (mkfifo(FeedPath().c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
}

int FeedFixture::OpenWriter() {
  int fd = open(FeedPath().c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open the feed");
  if (writerCount_ < 8) writers_[writerCount_++] = fd;
  return fd;
}

void FeedFixture::WriteAll(int fd, const std::string& bytes) {
  if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    throw std::runtime_error("short write to the feed");
}

int FeedFixture::Pending(int fd) {
  int n = -1;
  if (ioctl(fd, FIONREAD, &n) != 0) return -1;
  return n;
}

bool FeedFixture::WaitDrained(int fd) {
  return WaitUntil([fd] { return Pending(fd) == 0; });
}

void FeedFixture::StartProgram() {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  std::vector<std::string> command = ProgramCommand("varnix-position");
  child_ = fork();
  if (child_ == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    ExecCommand(command);
  }
  close(pipeFds[1]);
  output_ = pipeFds[0];
}

void FeedFixture::StartInChild(const std::function<void()>& prepare, int keepFd) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  fflush(stdout);
  child_ = fork();
  if (child_ == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    CloseInheritedFds(keepFd);
    prepare();
    int status = RunPositionTool();
    fflush(stdout);
    _exit(status);
  }
  close(pipeFds[1]);
  output_ = pipeFds[0];
}

bool FeedFixture::Finish(int* status, std::string* output, int timeoutMs) {
  bool reaped = WaitUntil([this, status] { return waitpid(child_, status, WNOHANG) == child_; }, timeoutMs);
  if (!reaped) return false;
  child_ = -1;
  output->clear();
  char buffer[4096];
  ssize_t n;
  while ((n = read(output_, buffer, sizeof buffer)) > 0) output->append(buffer, static_cast<size_t>(n));
  close(output_);
  output_ = -1;
  return true;
}

}  // namespace test
}  // namespace varnix

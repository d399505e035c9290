#ifndef VARNIX_TESTS_PROCESS_PROCESS_SUPPORT_H
#define VARNIX_TESTS_PROCESS_PROCESS_SUPPORT_H

// Helpers of the process tests: capturing standard output, running code in
// forked processes, short retry sleeps, and a varnix-launcherd of the test's
// own under its temporary root.

#include <signal.h>
#include <stdio.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "support/temp_root.h"

namespace varnix {
namespace test {

// Runs body with standard output going to a file, and returns what was
// printed. Kept to the call under test, so that the test's own failure
// messages stay visible.
std::string CapturedStdout(const std::function<void()>& body);

// The retry sleeps of the launcher requests last at most 200 microseconds
// while this lives (the sleep goes through the OS seam); a request that
// retries without end aborts the test after some seconds.
class FastRetries {
 public:
  FastRetries() { Install(); }
  ~FastRetries();
  // Again, after something has put the OS seam back to its defaults.
  static void Install();
};

// A forked copy of this process running body; its standard output goes to a
// file of its own and its exit status is body's result.
class ForkedChild {
 public:
  explicit ForkedChild(const std::function<int()>& body);
  ~ForkedChild();
  ForkedChild(const ForkedChild&) = delete;
  ForkedChild& operator=(const ForkedChild&) = delete;

  pid_t Pid() const { return pid_; }
  // Waits (bounded) for its end and returns the wait status; a child that
  // does not end in time is killed and -1 returned.
  int Wait();
  // What it has printed so far.
  std::string Output() const;

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  bool reaped_ = false;
  FILE* output_ = nullptr;
};

// The wait status as text for a failure message: "exit 3", "signal 7".
std::string DescribeStatus(int status);

// The process id is in use (a process that has ended but is not reaped yet
// counts).
bool ProcessAlive(pid_t pid);

// varnix-launcherd started by the test under the temporary root. Its
// standard output and error go to a log file in the root.
class LauncherDaemon {
 public:
  explicit LauncherDaemon(const TempRoot& root);
  ~LauncherDaemon();
  LauncherDaemon(const LauncherDaemon&) = delete;
  LauncherDaemon& operator=(const LauncherDaemon&) = delete;

  // Starts it with the given options; true once it listens.
  bool Start(const std::vector<std::string>& options = {});
  // Starts it and waits for it to end by itself; the wait status.
  int RunToEnd(const std::vector<std::string>& options);
  // Sends signal and waits (bounded) for the end; the wait status.
  int Stop(int signal = SIGTERM);
  bool Running() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }

  std::string Log() const;
  bool WaitForLog(const std::string& text) const;

 private:
  void Spawn(const std::vector<std::string>& options);

  const TempRoot& root_;
  std::string logPath_;
  pid_t pid_ = -1;
};

// A client connection made by hand, for sending what the library's client
// never would.
class RawConnection {
 public:
  explicit RawConnection(const std::string& socketPath);
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  bool Connected() const { return fd_ >= 0; }
  bool Send(const std::string& bytes);
  // Everything up to the end of the connection (bounded wait); "<timeout>"
  // appended when it did not end in time.
  std::string ReadToEnd(int timeoutMs = 10000);
  void Close();

 private:
  int fd_ = -1;
};

}  // namespace test
}  // namespace varnix

#endif

#ifndef VARNIX_TESTS_SUPPORT_CHILD_PROCESS_H
#define VARNIX_TESTS_SUPPORT_CHILD_PROCESS_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace varnix {
namespace test {

// A built program (from BinaryDir()) run as a child process, with its
// standard output and standard error collected in files of their own. It
// inherits the environment, so a TempRoot's VARNIX_ROOT reaches it. A child
// still running at destruction is killed and reaped.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Start(const std::string& program, const std::vector<std::string>& arguments);
  // Waits until the child has exited (reaped); false when it is still
  // running after timeoutMs. *status is the wait status.
  bool Wait(int* status, int timeoutMs = 10000);
  bool Signal(int signal) const;
  // Whether it has exited; reaps it if so.
  bool Exited();

  std::string Output() const;       // standard output so far
  std::string ErrorOutput() const;  // standard error so far
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
  std::string outputPath_;
  std::string errorPath_;
};

// Runs a program to its end: its exit code (-1 when it did not exit
// normally within the time), and what it wrote.
int RunProgram(const std::string& program, const std::vector<std::string>& arguments, std::string* output,
               std::string* errorOutput = nullptr, int timeoutMs = 20000);

// Waits for a child of fork() to end, for at most timeoutMs; one still
// running then is killed. True when it ended by itself; *status is the wait
// status either way.
bool ReapChild(pid_t pid, int* status, int timeoutMs);

// How many times part occurs in text (overlapping ones included).
size_t CountOccurrences(const std::string& text, const std::string& part);

}  // namespace test
}  // namespace varnix

#endif

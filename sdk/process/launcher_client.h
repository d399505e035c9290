#ifndef VARNIX_PROCESS_LAUNCHER_CLIENT_H
#define VARNIX_PROCESS_LAUNCHER_CLIENT_H

#include <stddef.h>
#include <stdint.h>
#include <sys/select.h>
#include <sys/un.h>

namespace varnix {

/// @file
/// The device's launcher service starts, watches and stops processes. It
/// listens on the local stream socket "/var/run/launchsock" (under the host
/// root) and answers one line of text per connection:
///
///   "LAUNCH <command text>"  ->  "PID <n>"
///   "WAIT4 <pid>"            ->  "<pid> <status>" once it has ended, "0 0" while it runs
///   "KILL <pid>"             ->  "<n>" (0 when the signal was sent)
///
/// Each request is written as the text and its zero byte; the answer is read
/// as it arrives into a 128-byte buffer until its zero byte, a full buffer or
/// the end of the connection, and parsed from its start.

/// One connection to the launcher, for one request. Created with new (the
/// object comes from malloc; null when memory is short), used for one Send and
/// one answer, then Close and delete.
class CLauncherClient {
 public:
  /// Creates the socket and connects; Status() tells whether it worked.
  explicit CLauncherClient(const char* socketPath);

  static void* operator new(size_t size) noexcept;
  static void operator delete(void* block) noexcept;

  /// Writes text and its zero byte in one write; a failed or short write
  /// leaves the connection unusable (status -1).
  void Send(const char* text);

  /// Reads what has arrived, at most size bytes; the buffer is not
  /// terminated. Returns the count (> 0), 0 when nothing has arrived yet, -1
  /// on failure and when the launcher has closed the connection.
  int32_t Receive(char* buffer, size_t size);

  /// Closes the socket. On an unusable connection it says so, and still
  /// releases the descriptor.
  void Close();

  /// 0 or more: usable; -1: no usable connection.
  int32_t Status() const { return status; }

 private:
  CLauncherClient(const CLauncherClient&) = delete;
  CLauncherClient& operator=(const CLauncherClient&) = delete;

  int32_t socketFd;
  struct sockaddr_un address;
  int32_t status;        ///< connect, then each select; -1: unusable
  fd_set readSet;        ///< only the socket
};

/// The size of the answer buffer of every request.
const int KLauncherAnswerSize = 128;

/// Starts a command (split at blanks by the launcher, no shell). Returns the
/// new process id, or -1.
int32_t LaunchProcess(const char* command);

/// The same with a null-terminated list of words, joined by one blank each.
/// "LAUNCH ", the words and the blanks must stay below 1024 bytes; a longer
/// list is refused with -1 and nothing is sent.
int32_t LaunchProcessArgs(const char* const* words);

/// Asks whether pid has ended. *first is 0 unless the answer held two
/// numbers; then *first is the launcher's first number (pid once it has
/// ended, 0 while it runs) and *second its status.
void WaitForProcess(int32_t pid, int32_t* first, int32_t* second);

/// Asks the launcher to terminate pid. Returns the launcher's number (0 when
/// it sent the signal), or -1.
int32_t KillProcess(int32_t pid);

}  // namespace varnix

#endif

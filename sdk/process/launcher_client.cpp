#include "process/launcher_client.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include "base/os.h"

namespace varnix {
namespace {

// Every diagnostic of the connection is one line on standard output, flushed
// at once so that it is not lost when the process ends abruptly.
void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Say(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  vprintf(format, arguments);
  va_end(arguments);
  fflush(stdout);
}

const char KNotResponding[] = "%s: Server not responding!\n";

}  // namespace

CLauncherClient::CLauncherClient(const char* socketPath) : socketFd(-1), status(-1) {
  memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  FD_ZERO(&readSet);
  socketFd = os::Socket(AF_UNIX, SOCK_STREAM, 0);
  if (socketFd < 0) return;
  // A path that does not fit the address (a long host root) would reach
  // another socket, and a descriptor beyond the select set cannot be waited
  // for: both leave the connection unusable.
  size_t length = strlen(socketPath);
  if (length >= sizeof address.sun_path || socketFd >= FD_SETSIZE) return;
  memcpy(address.sun_path, socketPath, length);
  status = os::Connect(socketFd, reinterpret_cast<const struct sockaddr*>(&address), sizeof address);
}

void* CLauncherClient::operator new(size_t size) noexcept { return os::Malloc(size); }
void CLauncherClient::operator delete(void* block) noexcept { os::Free(block); }

void CLauncherClient::Send(const char* text) {
  if (status == -1) {
    Say(KNotResponding, "Send");
    return;
  }
  size_t count = strlen(text) + 1;
  ssize_t written = os::Write(socketFd, text, count);
  if (written < 0 || static_cast<size_t>(written) != count) status = -1;
}

int32_t CLauncherClient::Receive(char* buffer, size_t size) {
  if (status == -1) {
    Say(KNotResponding, "Receive");
    return -1;
  }
  FD_ZERO(&readSet);
  FD_SET(socketFd, &readSet);
  struct timeval timeout = {0, 100};
  status = os::Select(socketFd + 1, &readSet, nullptr, nullptr, &timeout);
  if (status == -1) {
    if (errno == EINTR) {  // a signal of the application, not a failure
      status = 0;
      return 0;
    }
    Say("%s: select() failed: %s\n", "Receive", strerror(errno));
    return -1;
  }
  if (status == 0) return 0;

  int available = 0;
  if (os::Ioctl(socketFd, FIONREAD, &available) == -1) {
    Say("%s: ioctl(FIONREAD) failed: %s\n", "Receive", strerror(errno));
    return -1;
  }
  if (available < 0) {
    Say("%s: ioctl(FIONREAD) says %d bytes available\n", "Receive", available);
    return -1;
  }
  if (available == 0) {
    // Readable with nothing waiting: the launcher has closed the connection.
    // Nothing more will come, so the request must end here.
    Say("%s: no data on socket\n", "Receive");
    return -1;
  }

  size_t wanted = static_cast<size_t>(available) < size ? static_cast<size_t>(available) : size;
  ssize_t got = os::Read(socketFd, buffer, wanted);
  if (got == -1) {
    Say("%s: read() failed: %s\n", "Receive", strerror(errno));
    return -1;
  }
  if (got == 0) {
    Say("%s: read() gets EOF\n", "Receive");
    return -1;
  }
  if (static_cast<size_t>(got) != wanted) {
    Say("%s: read() got %zd bytes, expected %zu\n", "Receive", got, wanted);
    return -1;
  }
  return static_cast<int32_t>(got);
}

void CLauncherClient::Close() {
  if (status == -1) Say(KNotResponding, "Close");
  if (socketFd >= 0) os::Close(socketFd);
  socketFd = -1;
}

}  // namespace varnix

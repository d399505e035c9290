// The launcher client's four requests against a launcher that answers
// anything, in any pieces, with any failures on the way: the socket calls of
// the OS seam are replaced by a scripted connection. Each request must end,
// read no more than its 128-byte answer buffer holds, close its socket, and
// give exactly what its pattern makes of the bytes that arrived ("PID %d",
// "%d%d", "%d"; numbers beyond 32 bits are not taken).
//
// Input: the request, its operand, the connection's fate, then a script of
// events: nothing yet, an interrupted or failed wait, a piece of the
// answer, a failing or short read, the end of the connection.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <string.h>
#include <unistd.h>

#include <deque>
#include <string>

#include "base/os.h"
#include "fuzz_support.h"
#include "process/launcher_client.h"

namespace {

using varnix::fuzz::CInput;

enum TEventKind { ENothingYet, EInterrupted, EWaitFails, EPiece, EReadFails, EShortRead, EClosed, EKinds };

struct TEvent {
  TEventKind kind;
  std::string bytes;
};

struct TConnection {
  std::deque<TEvent> script;
  std::string pending;    // arrived, not read yet
  std::string delivered;  // everything the client has read
  bool closed = false;
  bool failRead = false, shortRead = false;
  bool refuseConnect = false, shortWrite = false;
  int sockets = 0, closes = 0;
  int socketFd = -1;
};

TConnection* gConnection;

int FakeSocket(int, int, int) {
  int fd = open("/dev/null", O_RDWR);
  if (fd >= 0) {
    ++gConnection->sockets;
    gConnection->socketFd = fd;
  }
  return fd;
}

int FakeConnect(int, const struct sockaddr*, socklen_t) {
  if (!gConnection->refuseConnect) return 0;
  errno = ECONNREFUSED;
  return -1;
}

ssize_t FakeWrite(int fd, const void*, size_t count) {
  FUZZ_CHECK(fd == gConnection->socketFd);
  return gConnection->shortWrite ? static_cast<ssize_t>(count) - 1 : static_cast<ssize_t>(count);
}

int FakeSelect(int, fd_set*, fd_set*, fd_set*, struct timeval*) {
  TConnection& c = *gConnection;
  if (!c.pending.empty() || c.closed) return 1;
  if (c.script.empty()) {
    c.closed = true;  // the launcher has nothing more to say
    return 1;
  }
  TEvent event = c.script.front();
  c.script.pop_front();
  switch (event.kind) {
    case ENothingYet:
      return 0;
    case EInterrupted:
      errno = EINTR;
      return -1;
    case EWaitFails:
      errno = EBADF;
      return -1;
    case EPiece:
      c.pending += event.bytes;
      return c.pending.empty() ? 0 : 1;
    case EReadFails:
      c.failRead = true;
      return 0;
    case EShortRead:
      c.shortRead = true;
      return 0;
    default:
      c.closed = true;
      return 1;
  }
}

int FakeIoctl(int, unsigned long, void* argument) {
  *static_cast<int*>(argument) = static_cast<int>(gConnection->pending.size());
  return 0;
}

ssize_t FakeRead(int fd, void* buffer, size_t count) {
  TConnection& c = *gConnection;
  FUZZ_CHECK(fd == c.socketFd);
  FUZZ_CHECK(count <= c.pending.size());
  if (c.failRead) {
    c.failRead = false;
    errno = EIO;
    return -1;
  }
  bool shortRead = c.shortRead && count > 1;
  if (shortRead) {
    c.shortRead = false;
    count -= 1;
  }
  memcpy(buffer, c.pending.data(), count);
  // A read that gives less than asked is a failure to the client: those
  // bytes are no part of its answer.
  if (!shortRead) c.delivered += c.pending.substr(0, count);
  c.pending.erase(0, count);
  return static_cast<ssize_t>(count);
}

int FakeClose(int fd) {
  if (fd == gConnection->socketFd) ++gConnection->closes;
  return close(fd);
}

int NoSleep(useconds_t) { return 0; }

// The patterns, as the launcher protocol reads them.
bool Number(const std::string& t, size_t& i, int32_t* out) {
  while (i < t.size() && (t[i] == ' ' || (t[i] >= '\t' && t[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
  if (i >= t.size() || t[i] < '0' || t[i] > '9') return false;
  long long value = 0;
  for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
    value = value * 10 + (t[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (negative) value = -value;
  if (value > INT_MAX || value < INT_MIN) return false;
  *out = static_cast<int32_t>(value);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  varnix::fuzz::PrepareTarget();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CInput in(data, size);
  int request = in.Byte() % 4;
  int32_t operand = static_cast<int32_t>(in.Word());
  std::string command = in.Run(60);
  command = command.substr(0, command.find('\0'));
  uint8_t fate = in.Byte();

  TConnection connection;
  connection.refuseConnect = (fate & 0x0F) == 1;
  connection.shortWrite = (fate & 0x0F) == 2;
  while (in.Left() > 0) {
    TEvent event{static_cast<TEventKind>(in.Byte() % EKinds), std::string()};
    if (event.kind == EPiece) event.bytes = in.Run(200);
    connection.script.push_back(event);
  }
  gConnection = &connection;

  varnix::os::gOsCurrent.Socket = FakeSocket;
  varnix::os::gOsCurrent.Connect = FakeConnect;
  varnix::os::gOsCurrent.Write = FakeWrite;
  varnix::os::gOsCurrent.Select = FakeSelect;
  varnix::os::gOsCurrent.Ioctl = FakeIoctl;
  varnix::os::gOsCurrent.Read = FakeRead;
  varnix::os::gOsCurrent.Close = FakeClose;
  varnix::os::gOsCurrent.Usleep = NoSleep;

  int32_t result = 0, first = -7, second = -7;
  const char* words[] = {"/bin/app", command.c_str(), nullptr};
  switch (request) {
    case 0:
      result = varnix::LaunchProcess(command.c_str());
      break;
    case 1:
      result = varnix::LaunchProcessArgs(words);
      break;
    case 2:
      varnix::WaitForProcess(operand, &first, &second);
      break;
    case 3:
      result = varnix::KillProcess(operand);
      break;
  }
  varnix::os::RestoreOsDefaults();

  FUZZ_CHECK(connection.sockets == 1 && connection.closes == 1);
  FUZZ_CHECK(connection.delivered.size() <= static_cast<size_t>(varnix::KLauncherAnswerSize));
  std::string text = connection.delivered.substr(0, connection.delivered.find('\0'));
  size_t at = 0;
  int32_t a = 0, b = 0;
  switch (request) {
    case 0:
    case 1: {
      bool pid = text.compare(0, 3, "PID") == 0 && (at = 3, Number(text, at, &a));
      FUZZ_CHECK(result == (pid ? a : -1));
      break;
    }
    case 2:
      if (Number(text, at, &a) && Number(text, at, &b)) {
        FUZZ_CHECK(first == a && second == b);
      } else {
        FUZZ_CHECK(first == 0 && second == -7);
      }
      break;
    case 3:
      FUZZ_CHECK(result == (Number(text, at, &a) ? a : -1));
      break;
  }
  return 0;
}

// The launcher client against peers written here: a listening socket on the
// launcher's path, served by a thread that records what the client sends and
// answers as each case says.

#include <errno.h>
#include <poll.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "base/os.h"
#include "process/launcher_client.h"
#include "process_support.h"
#include "support/os_fault.h"
#include "support/temp_root.h"
#include "support/wait.h"

namespace varnix {
namespace test {
namespace {

const char KLaunchSocket[] = "/var/run/launchsock";
const std::string KNotResponding =
    "Send: Server not responding!\nReceive: Server not responding!\nClose: Server not responding!\n";

bool WriteAll(int fd, const std::string& bytes) {
  return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

// One connection's worth of launcher: accepts, reads the request up to its
// zero byte, runs the reply, then reads what else the client sends until it
// closes.
class RawPeer {
 public:
  using Reply = std::function<void(int fd)>;

  explicit RawPeer(const TempRoot& root) {
    struct sockaddr_un address;
    memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::string path = root(KLaunchSocket);
    strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    listener_ = socket(AF_UNIX, SOCK_STREAM, 0);
    bool listening = listener_ >= 0 && bind(listener_, reinterpret_cast<struct sockaddr*>(&address), sizeof address) == 0 &&
                     listen(listener_, 4) == 0;
    EXPECT_TRUE(listening) << strerror(errno);
  }

  ~RawPeer() {
    Join();
    close(listener_);
  }

  void Serve(const Reply& reply) {
    thread_ = std::thread([this, reply] { Run(reply); });
  }

  void Join() {
    if (thread_.joinable()) thread_.join();
  }

  // Everything the client sent on the connection.
  std::string Received() {
    Join();
    return request_ + after_;
  }

 private:
  void Run(const Reply& reply) {
    struct pollfd incoming = {listener_, POLLIN, 0};
    if (poll(&incoming, 1, 10000) != 1) return;
    int fd = accept(listener_, nullptr, nullptr);
    if (fd < 0) return;
    bool ended = ReadUntil(fd, &request_, true);
    if (!ended) reply(fd);
    ReadUntil(fd, &after_, false);
    close(fd);
  }

  // Reads into out until a zero byte (when stopAtZero) or the end of the
  // connection; true at the end of the connection.
  static bool ReadUntil(int fd, std::string* out, bool stopAtZero) {
    char ch;
    for (;;) {
      struct pollfd readable = {fd, POLLIN, 0};
      if (poll(&readable, 1, 10000) != 1) return true;
      if (read(fd, &ch, 1) != 1) return true;
      out->push_back(ch);
      if (stopAtZero && ch == 0) return false;
    }
  }

  int listener_ = -1;
  std::thread thread_;
  std::string request_;
  std::string after_;
};

RawPeer::Reply Answer(const std::string& bytes) {
  return [bytes](int fd) { WriteAll(fd, bytes); shutdown(fd, SHUT_WR); };
}

class LauncherClientTest : public ::testing::Test {
 protected:
  TempRoot root;
  FastRetries fast;
};

// --- what the client sends ---------------------------------------------------

struct TRequestCase {
  const char* name;
  std::function<void()> request;
  std::string expected;  // the bytes on the wire
};

TEST_F(LauncherClientTest, SendsEachRequestAsOneTextWithItsZeroByte) {
  const char* words[] = {"/bin/app", "-x", nullptr};
  const char* noWords[] = {nullptr};
  int32_t first = 0, second = 0;
  const TRequestCase cases[] = {
      {"LaunchProcess", [] { LaunchProcess("/bin/app -x"); }, std::string("LAUNCH /bin/app -x\0", 19)},
      {"LaunchProcessArgs", [&] { LaunchProcessArgs(words); }, std::string("LAUNCH /bin/app -x\0", 19)},
      {"LaunchProcessArgs empty", [&] { LaunchProcessArgs(noWords); }, std::string("LAUNCH \0", 8)},
      {"WaitForProcess", [&] { WaitForProcess(345, &first, &second); }, std::string("WAIT4 345\0", 10)},
      {"KillProcess", [] { KillProcess(345); }, std::string("KILL 345\0", 9)},
      {"KillProcess negative", [] { KillProcess(-2); }, std::string("KILL -2\0", 8)},
  };
  for (const TRequestCase& c : cases) {
    SCOPED_TRACE(c.name);
    RawPeer peer(root);
    peer.Serve(Answer(std::string("0\0", 2)));
    std::string output = CapturedStdout(c.request);
    EXPECT_EQ(peer.Received(), c.expected);
    EXPECT_EQ(output, "");
    unlink(root(KLaunchSocket).c_str());
  }
}

TEST_F(LauncherClientTest, LaunchProcessArgsRefusesAListThatDoesNotFitWithoutConnecting) {
  std::string word(1016, 'a');  // "LAUNCH " + 1016 + zero byte = 1024: fits
  const char* fits[] = {word.c_str(), nullptr};
  std::string longer(1017, 'a');
  const char* tooLong[] = {longer.c_str(), nullptr};
  const char* twoWords[] = {word.c_str(), "b", nullptr};

  RawPeer peer(root);
  peer.Serve(Answer(std::string("PID 9\0", 6)));
  int32_t result = 0;
  CapturedStdout([&] { result = LaunchProcessArgs(fits); });
  EXPECT_EQ(result, 9);
  EXPECT_EQ(peer.Received(), "LAUNCH " + word + std::string(1, '\0'));
  unlink(root(KLaunchSocket).c_str());

  // No launcher listens now: a request that went out would print the three
  // "not responding" lines.
  for (const char* const* list : {tooLong, twoWords}) {
    std::string output = CapturedStdout([&] { result = LaunchProcessArgs(list); });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(output, "");
  }
}

// --- how answers are read --------------------------------------------------

enum TKind { ELaunch, EWait, EKill };

struct TAnswerCase {
  TKind kind;
  std::string answer;
  int32_t result;  // launch and kill: the result; wait: the first number
  int32_t second;  // wait: the second number (untouched: 777)
};

// Runs the request of the given kind; for WaitForProcess the second number
// starts as 777, so that "untouched" shows.
int32_t RunRequest(TKind kind, int32_t* second) {
  *second = 777;
  switch (kind) {
    case ELaunch: return LaunchProcess("/bin/app -x");
    case EKill: return KillProcess(345);
    case EWait: {
      int32_t first = -5;
      WaitForProcess(345, &first, second);
      return first;
    }
  }
  return -99;
}

const char* KindName(TKind kind) { return kind == ELaunch ? "launch" : kind == EWait ? "wait" : "kill"; }

TEST_F(LauncherClientTest, ParsesAnswersFromTheirStart) {
  const std::string z(1, '\0');
  const TAnswerCase cases[] = {
      {ELaunch, "PID 345" + z, 345, 777},
      {ELaunch, "PID   42" + z, 42, 777},
      {ELaunch, "PID 12 and more" + z, 12, 777},
      {ELaunch, "PID" + z, -1, 777},
      {ELaunch, "PID x" + z, -1, 777},
      {ELaunch, "OK 345" + z, -1, 777},
      {ELaunch, " PID 345" + z, -1, 777},
      {ELaunch, z, -1, 777},
      {ELaunch, "PID 99999999999" + z, -1, 777},
      {ELaunch, "PID 345", 345, 777},  // no zero byte: the end of the connection ends it
      {ELaunch, "PID 3" + z + "45", 3, 777},
      {EWait, "345 0" + z, 345, 0},
      {EWait, "345 15" + z, 345, 15},
      {EWait, "0 0" + z, 0, 0},
      {EWait, "done" + z, 0, 777},
      {EWait, "345" + z, 0, 777},
      {EWait, "345 x" + z, 0, 777},
      {EWait, "ERR unknown pid 345" + z, 0, 777},
      {EKill, "0" + z, 0, 777},
      {EKill, "-1" + z, -1, 777},
      {EKill, "  7" + z, 7, 777},
      {EKill, "nope" + z, -1, 777},
      {EKill, "ERR unknown pid 345" + z, -1, 777},
  };
  for (const TAnswerCase& c : cases) {
    SCOPED_TRACE(std::string(KindName(c.kind)) + " answered [" + c.answer + "]");
    RawPeer peer(root);
    peer.Serve(Answer(c.answer));
    int32_t result = 0, second = 0;
    std::string output = CapturedStdout([&] { result = RunRequest(c.kind, &second); });
    peer.Join();
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(second, c.second);
    unlink(root(KLaunchSocket).c_str());
  }
}

// Counts the client's reads (the peer's own reads do not go through the
// seam), so that the peer can send the rest of its answer only after the
// client has taken the first part.
std::atomic<int> gClientReads;

ssize_t CountedRead(int fd, void* buffer, size_t count) {
  ssize_t got = os::gOsDefaults.Read(fd, buffer, count);
  ++gClientReads;
  return got;
}

TEST_F(LauncherClientTest, AnAnswerSplitAcrossTwoReadsIsParsedWhole) {
  const std::string z(1, '\0');
  struct TSplit {
    TKind kind;
    std::string head, tail;
    int32_t result, second;
  } cases[] = {
      {ELaunch, "PID 3", "45" + z, 345, 777},
      {ELaunch, "P", "ID 345" + z, 345, 777},
      {EWait, "345", " 9" + z, 345, 9},
      {EKill, "-", "1" + z, -1, 777},
      {EKill, "1", "2" + z, 12, 777},
  };
  for (const TSplit& c : cases) {
    SCOPED_TRACE(c.head + "|" + c.tail);
    gClientReads = 0;
    os::gOsCurrent.Read = &CountedRead;
    RawPeer peer(root);
    peer.Serve([&c](int fd) {
      WriteAll(fd, c.head);
      WaitUntil([] { return gClientReads > 0; });
      WriteAll(fd, c.tail);
    });
    int32_t result = 0, second = 0;
    CapturedStdout([&] { result = RunRequest(c.kind, &second); });
    peer.Join();
    os::gOsCurrent.Read = os::gOsDefaults.Read;
    EXPECT_EQ(gClientReads.load(), 2);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(second, c.second);
    unlink(root(KLaunchSocket).c_str());
  }
}

TEST_F(LauncherClientTest, AnAnswerWithoutItsZeroByteOnAnOpenConnectionIsTakenAsItStands) {
  // The launcher sends "PID 42" alone and keeps the connection open: the
  // client waits a while for the rest, then takes the answer as it stands.
  RawPeer peer(root);
  peer.Serve([](int fd) { WriteAll(fd, "PID 42"); });
  int32_t result = 0;
  CapturedStdout([&] { result = LaunchProcess("/bin/app"); });
  EXPECT_EQ(result, 42);
}

TEST_F(LauncherClientTest, AnAnswerIsReadAndParsedOnlyWithinItsFirst128Bytes) {
  struct TLongAnswer {
    std::string answer;
    int32_t result;
  } cases[] = {
      {"PID 7" + std::string(123, 'x'), 7},                       // exactly 128, no zero byte
      {"PID 8" + std::string(200, 'y') + std::string(1, '\0'), 8},  // longer than the buffer
      {"PID " + std::string(124, '1'), -1},                       // digits up to the last byte
  };
  for (const TLongAnswer& c : cases) {
    SCOPED_TRACE(c.answer.size());
    RawPeer peer(root);
    peer.Serve([&c](int fd) { WriteAll(fd, c.answer); });  // the connection stays open
    int32_t result = 0;
    std::string output;
    {
      OsFaultGuard guard;
      FastRetries::Install();
      CountCall("Read");
      output = CapturedStdout([&] { result = LaunchProcess("/bin/app"); });
      EXPECT_EQ(CallCount("Read"), 1);
    }
    FastRetries::Install();
    peer.Join();
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(output, "");
    unlink(root(KLaunchSocket).c_str());
  }
}

TEST_F(LauncherClientTest, APeerThatClosesWithoutAnsweringEndsTheRequest) {
  for (TKind kind : {ELaunch, EWait, EKill}) {
    SCOPED_TRACE(KindName(kind));
    RawPeer peer(root);
    peer.Serve([](int fd) { shutdown(fd, SHUT_RDWR); });
    int32_t result = 99, second = 0;
    std::string output = CapturedStdout([&] { result = RunRequest(kind, &second); });
    peer.Join();
    EXPECT_EQ(output, "Receive: no data on socket\n");
    EXPECT_EQ(result, kind == EWait ? 0 : -1);
    EXPECT_EQ(second, 777);
    unlink(root(KLaunchSocket).c_str());
  }
}

TEST_F(LauncherClientTest, WithoutAListenerEveryRequestSaysSoThreeTimesAndFails) {
  const char* words[] = {"/bin/app", nullptr};
  // A socket file that nobody listens on any more, and no file at all.
  for (bool staleFile : {false, true}) {
    if (staleFile) {
      RawPeer gone(root);
    }
    SCOPED_TRACE(staleFile ? "stale socket file" : "no socket file");
    int32_t result = 0, second = 0;
    for (TKind kind : {ELaunch, EWait, EKill}) {
      std::string output = CapturedStdout([&] { result = RunRequest(kind, &second); });
      EXPECT_EQ(output, KNotResponding) << KindName(kind);
      EXPECT_EQ(result, kind == EWait ? 0 : -1) << KindName(kind);
      EXPECT_EQ(second, 777) << KindName(kind);
    }
    std::string output = CapturedStdout([&] { result = LaunchProcessArgs(words); });
    EXPECT_EQ(output, KNotResponding);
    EXPECT_EQ(result, -1);
  }
}

// --- failures of the operating system ---------------------------------------

ssize_t ShortRead(int fd, void* buffer, size_t count) {
  return os::gOsDefaults.Read(fd, buffer, count > 1 ? count - 1 : count);
}

int NegativeCount(int fd, unsigned long request, void* argument) {
  if (request == FIONREAD) {
    *static_cast<int*>(argument) = -5;
    return 0;
  }
  return os::gOsDefaults.Ioctl(fd, request, argument);
}

struct TFaultCase {
  const char* name;
  std::function<void()> arm;
  std::string output;
  int32_t result;
  bool connects = true;  // false: the peer never sees the client
};

TEST_F(LauncherClientTest, EachFailingCallEndsTheRequestWithItsMessage) {
  const TFaultCase cases[] = {
      {"socket", [] { FailCall("Socket", 1, EMFILE); }, KNotResponding, -1, false},
      {"connect", [] { FailCall("Connect", 1, ECONNREFUSED); }, KNotResponding, -1, false},
      {"write", [] { FailCall("Write", 1, EPIPE); },
       "Receive: Server not responding!\nClose: Server not responding!\n", -1},
      {"select", [] { FailCall("Select", 1, ENOMEM); },
       "Receive: select() failed: Cannot allocate memory\nClose: Server not responding!\n", -1},
      {"select interrupted", [] { FailCall("Select", 1, EINTR); }, "", 5},
      {"ioctl", [] { FailCall("Ioctl", 1, EIO); }, "Receive: ioctl(FIONREAD) failed: Input/output error\n", -1},
      {"negative count", [] { os::gOsCurrent.Ioctl = &NegativeCount; },
       "Receive: ioctl(FIONREAD) says -5 bytes available\n", -1},
      {"read", [] { FailCall("Read", 1, EIO); }, "Receive: read() failed: Input/output error\n", -1},
      {"short read", [] { os::gOsCurrent.Read = &ShortRead; }, "Receive: read() got 5 bytes, expected 6\n",
       -1},
      {"no memory for the client", [] { FailCall("Malloc", 1, ENOMEM); }, "", -1, false},
      {"no memory for the request", [] { FailCall("Malloc", 2, ENOMEM); }, "", -1},
  };
  for (const TFaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    RawPeer peer(root);
    peer.Serve(Answer(std::string("PID 5\0", 6)));
    int32_t result = 0;
    std::string output;
    {
      OsFaultGuard guard;
      FastRetries::Install();
      c.arm();
      output = CapturedStdout([&] { result = LaunchProcess("/bin/app"); });
    }
    FastRetries::Install();
    // The client never came: end the peer's wait for it.
    if (!c.connects) RawConnection(root(KLaunchSocket));
    peer.Join();
    EXPECT_EQ(output, c.output);
    EXPECT_EQ(result, c.result);
    unlink(root(KLaunchSocket).c_str());
  }
}

TEST_F(LauncherClientTest, CloseReleasesTheSocketAlsoOfAnUnusableConnection) {
  // No listener: the connection is unusable from the start.
  CLauncherClient* client = new CLauncherClient(root(KLaunchSocket).c_str());
  ASSERT_NE(client, nullptr);
  EXPECT_EQ(client->Status(), -1);
  OsFaultGuard guard;
  CountCall("Close");
  std::string output = CapturedStdout([&] { client->Close(); });
  delete client;
  EXPECT_EQ(output, "Close: Server not responding!\n");
  EXPECT_EQ(CallCount("Close"), 1);
}

TEST_F(LauncherClientTest, ASocketPathTooLongForTheAddressIsNotCutButUnusable) {
  std::string path = root.Path() + "/" + std::string(120, 'p');
  OsFaultGuard guard;
  CountCall("Connect");
  CLauncherClient* client = new CLauncherClient(path.c_str());
  ASSERT_NE(client, nullptr);
  EXPECT_EQ(client->Status(), -1);
  EXPECT_EQ(CallCount("Connect"), 0);
  std::string output = CapturedStdout([&] { client->Close(); });
  delete client;
  EXPECT_EQ(output, "Close: Server not responding!\n");
}

}  // namespace
}  // namespace test
}  // namespace varnix

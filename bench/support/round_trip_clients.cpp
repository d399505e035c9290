#include "support/round_trip_clients.h"

#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "base/os.h"
#include "messaging/endpoint.h"
#include "messaging/navigator_calls.h"
#include "support/navsim_process.h"
#include "support/bench_support.h"

namespace varnix {
namespace bench {

const char KRuntimeClient[] = "varnix";
const char KPlainClient[] = "system calls";

namespace {

long gRuntimeSleeps;

// The runtime's sleeps, counted through the OS seam.
int CountedUsleep(useconds_t microseconds) {
  ++gRuntimeSleeps;
  return os::gOsDefaults.Usleep(microseconds);
}

class CRuntimeClient : public MRoundTripClient {
 public:
  CRuntimeClient() : endpoint_(CreateFileLayer("client", KServerName, -1)) {
    if (endpoint_ == nullptr) Fail("CreateFileLayer");
    os::gOsCurrent.Usleep = CountedUsleep;
  }
  ~CRuntimeClient() override {
    os::gOsCurrent.Usleep = os::gOsDefaults.Usleep;
    delete endpoint_;
  }

  long Polls() const override { return gRuntimeSleeps; }

  bool Call() override {
    TCallContext context = {endpoint_, {0}};
    int32_t error = -1;
    TCurrentPosition position;
    return GetCurrentPositionV01(&context, &error, &position) == 0 && error == 0;
  }

 private:
  MVarnixCommunicationLayerInterface* endpoint_;
};

class CPlainClient : public MRoundTripClient {
 public:
  explicit CPlainClient(const std::string& runDirectory)
      : dir_(runDirectory), pid_(static_cast<unsigned>(getpid())), id_(0), polls_(0) {}

  long Polls() const override { return polls_; }

  bool Call() override {
    ++id_;
    char request[64];
    int length = snprintf(request, sizeof request, "%s|", KRoundTripCall);
    char path[512];
    static const char KMarker[8] = {'f', 'i', 'n', 'i', 's', 'h', '\n', 0};
    if (!WriteFile(Name(path, "client", KServerName, "message"), request, length + 1)) return false;
    if (!WriteFile(Name(path, "client", KServerName, "finished"), KMarker, sizeof KMarker)) return false;

    char marker[512];
    Name(marker, KServerName, "client", "finished");
    for (;;) {
      int fd = open(marker, O_RDONLY);
      if (fd >= 0) {
        close(fd);
        break;
      }
      usleep(100000);
      ++polls_;
    }
    char message[512];
    Name(message, KServerName, "client", "message");
    char reply[1024];
    ssize_t n = -1;
    int fd = open(message, O_RDONLY);
    if (fd >= 0) {
      n = read(fd, reply, sizeof reply - 1);
      close(fd);
    }
    unlink(marker);
    unlink(message);
    if (n <= 0) return false;
    reply[n] = 0;
    return strncmp(reply, "0|", 2) == 0;
  }

 private:
  const char* Name(char* out, const char* sender, const char* receiver, const char* kind) const {
    snprintf(out, 512, "%s%s.%s.%u.%u.%s", dir_.c_str(), sender, receiver, pid_, id_, kind);
    return out;
  }

  static bool WriteFile(const char* path, const void* bytes, int n) {
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) return false;
    bool ok = write(fd, bytes, static_cast<size_t>(n)) == n && fsync(fd) == 0;
    return close(fd) == 0 && ok;
  }

  std::string dir_;
  unsigned pid_;
  unsigned id_;
  long polls_;
};

}  // namespace

std::unique_ptr<MRoundTripClient> MakeClient(const std::string& kind, const std::string& runDirectory) {
  if (kind == KRuntimeClient) return std::unique_ptr<MRoundTripClient>(new CRuntimeClient());
  if (kind == KPlainClient) return std::unique_ptr<MRoundTripClient>(new CPlainClient(runDirectory));
  Fail("unknown client " + kind);
}

}  // namespace bench
}  // namespace varnix

// varnix-gpssim: the desktop stand-in for the device's GPS feed. See Usage.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "base/host_root.h"
#include "drive.h"
#include "nmea.h"

namespace {

const char KUsage[] =
    "Usage: varnix-gpssim [--rate HZ] [LOGFILE]\n"
    "\n"
    "Stands in for the device's GPS feed: writes NMEA 0183 sentences into the\n"
    "FIFO /var/run/gpsfeed below the host root (the environment variable\n"
    "VARNIX_ROOT; without it the real /var/run/gpsfeed).\n"
    "\n"
    "  --rate HZ   epochs per second, 0.1 to 1000 (default 1)\n"
    "  LOGFILE     replay this NMEA log instead of the simulated drive, in a\n"
    "              loop; an epoch is an RMC sentence and the lines up to the\n"
    "              next one\n"
    "  --help      this text\n"
    "\n"
    "Without LOGFILE it simulates a car going round a 4.6 km loop at 50 km/h\n"
    "and writes one RMC and one GGA sentence (with correct checksums, stamped\n"
    "with the current UTC time) per epoch, as one write.\n"
    "\n"
    "The FIFO is created when missing, and kept open for reading and writing\n"
    "without blocking, so readers may come and go. When the pipe is full, the\n"
    "epoch is dropped: nobody is reading, and the data would be stale anyway.\n"
    "SIGINT and SIGTERM stop it cleanly; it then removes the FIFO if it created\n"
    "it. Exit status 0, 1 on a failure (told on standard error), 2 on a bad\n"
    "command line.\n";

volatile sig_atomic_t gStop = 0;
void OnStopSignal(int) { gStop = 1; }

struct TOptions {
  double rate = 1.0;
  std::string logFile;
};

bool ParseOptions(int argc, char** argv, TOptions* options, bool* help) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      *help = true;
    } else if (arg == "--rate" && i + 1 < argc) {
      char* end = nullptr;
      options->rate = strtod(argv[++i], &end);
      if (end == argv[i] || *end != 0 || !(options->rate >= 0.1 && options->rate <= 1000.0)) return false;
    } else if (!arg.empty() && arg[0] != '-' && options->logFile.empty()) {
      options->logFile = arg;
    } else {
      return false;
    }
  }
  return true;
}

// The log's lines grouped into epochs: each RMC sentence begins one.
bool LoadEpochs(const std::string& file, std::vector<std::string>* epochs) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    if (line.empty()) continue;
    bool startsEpoch = line.size() >= 6 && line[0] == '$' && line.compare(3, 3, "RMC") == 0;
    if (epochs->empty() || startsEpoch) epochs->push_back("");
    std::string& epoch = epochs->back();
    if (epoch.size() + line.size() + 2 <= PIPE_BUF) epoch += line + "\r\n";  // one atomic write
  }
  return !epochs->empty();
}

double Now(clockid_t clock) {
  struct timespec now;
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Waits until the monotonic clock reaches deadline or a stop signal comes;
// the signals are let through only while waiting, so none is missed.
void WaitUntil(double deadline, const sigset_t* waitMask) {
  while (!gStop) {
    double left = deadline - Now(CLOCK_MONOTONIC);
    if (left <= 0) return;
    struct timespec timeout;
    timeout.tv_sec = static_cast<time_t>(left);
    timeout.tv_nsec = static_cast<long>((left - static_cast<double>(timeout.tv_sec)) * 1e9);
    ppoll(nullptr, 0, &timeout, waitMask);
  }
}

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  bool help = false;
  if (!ParseOptions(argc, argv, &options, &help)) {
    fprintf(stderr, "varnix-gpssim: bad command line (see --help)\n");
    return 2;
  }
  if (help) {
    fputs(KUsage, stdout);
    return 0;
  }
  std::vector<std::string> epochs;
  if (!options.logFile.empty() && !LoadEpochs(options.logFile, &epochs)) {
    fprintf(stderr, "varnix-gpssim: cannot read NMEA sentences from %s\n", options.logFile.c_str());
    return 1;
  }

  // Stop signals are blocked except while waiting between epochs, from before the
  // FIFO appears: a signal sent as soon as it exists is held, not fatal.
  sigset_t stopSignals, waitMask;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
  sigdelset(&waitMask, SIGINT);
  sigdelset(&waitMask, SIGTERM);
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = OnStopSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  varnix::CPathString feedPath;
  std::string path = varnix::LocationPath(feedPath, varnix::ELocationGpsFeed);
  bool created = false;
  struct stat info;
  if (lstat(path.c_str(), &info) == 0) {
    if (!S_ISFIFO(info.st_mode)) {
      fprintf(stderr, "varnix-gpssim: %s exists and is not a FIFO\n", path.c_str());
      return 1;
    }
  } else if (mkfifo(path.c_str(), 0644) == 0) {
    created = true;
  } else {
    fprintf(stderr, "varnix-gpssim: cannot create %s: %s\n", path.c_str(), strerror(errno));
    return 1;
  }

  int feed = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (feed < 0) {
    fprintf(stderr, "varnix-gpssim: cannot open %s: %s\n", path.c_str(), strerror(errno));
    if (created) unlink(path.c_str());
    return 1;
  }
  fprintf(stderr, "varnix-gpssim: writing %s at %g Hz (%s)\n", path.c_str(), options.rate,
          epochs.empty() ? "simulated drive" : options.logFile.c_str());

  double period = 1.0 / options.rate;
  double start = Now(CLOCK_MONOTONIC);
  double next = start;
  size_t replayed = 0;
  unsigned long dropped = 0;
  bool full = false;
  while (!gStop) {
    std::string epoch;
    if (epochs.empty()) {
      varnix::sim::TFix fix = varnix::sim::DriveAt(Now(CLOCK_MONOTONIC) - start, Now(CLOCK_REALTIME));
      epoch = varnix::sim::RmcSentence(fix) + varnix::sim::GgaSentence(fix);
    } else {
      epoch = epochs[replayed++ % epochs.size()];
    }
    // Up to PIPE_BUF bytes go in whole or not at all.
    if (write(feed, epoch.data(), epoch.size()) >= 0) {
      full = false;
    } else if (errno == EAGAIN) {
      if (!full) fprintf(stderr, "varnix-gpssim: the pipe is full, dropping epochs until it is read\n");
      full = true;
      ++dropped;
    }
    next += period;
    if (next < Now(CLOCK_MONOTONIC)) next = Now(CLOCK_MONOTONIC);  // fell behind: no burst
    WaitUntil(next, &waitMask);
  }

  close(feed);
  if (created) unlink(path.c_str());
  fprintf(stderr, "varnix-gpssim: stopped (%lu epochs dropped while the pipe was full)\n", dropped);
  return 0;
}

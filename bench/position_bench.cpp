// varnix-position on a GPS feed: how long a chunk written into the feed
// takes to come out on the tool's standard output, how long the tool takes
// to start and catch up with the feed, and its peak memory; beside the
// same algorithm in plain C (plain_position.c).
//
//   varnix_bench_position [--runs N] [--table FILE]
//
// Each run starts the program with a short backlog waiting in the feed (a
// FIFO that this harness holds open for reading and writing), waits until
// the program has read the backlog away, writes one NMEA epoch, and reads
// the program's standard output until the epoch is there.

#include <errno.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/bench_support.h"
#include "support/bench_table.h"

namespace varnix {
namespace bench {
namespace {

const char KBacklog[] = "$GPRMC,stale backlog that the tool reads away*00\r\n";
const char KEpoch[] =
    "$GPRMC,123519.00,A,4807.0380,N,01131.0000,E,022.4,084.4,230394,003.1,W,A*6A\r\n"
    "$GPGGA,123519.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";

double NowNs() {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

struct TRun {
  double startupNs;
  double latencyNs;
  double peakBytes;
};

int Pending(int fd) {
  int n = 0;
  if (ioctl(fd, FIONREAD, &n) != 0) Fail(std::string("FIONREAD: ") + strerror(errno));
  return n;
}

TRun RunOnce(const std::string& program, int feed) {
  if (write(feed, KBacklog, sizeof KBacklog - 1) != static_cast<ssize_t>(sizeof KBacklog - 1)) Fail("backlog write");
  int out[2];
  if (pipe(out) != 0) Fail("pipe");
  double spawned = NowNs();
  pid_t pid = fork();
  if (pid < 0) Fail("fork");
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    close(feed);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);

  // Caught up: the backlog has left the feed.
  while (Pending(feed) > 0) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) Fail(program + " ended before it read the feed");
    sched_yield();
  }
  double ready = NowNs();

  const size_t want = sizeof KEpoch - 1;
  double written = NowNs();
  if (write(feed, KEpoch, want) != static_cast<ssize_t>(want)) Fail("epoch write");
  char got[2048];
  size_t have = 0;
  while (have < want) {
    ssize_t n = read(out[0], got + have, sizeof got - have);
    if (n <= 0) break;
    have += static_cast<size_t>(n);
  }
  double arrived = NowNs();
  if (have != want || memcmp(got, KEpoch, want) != 0) Fail(program + " did not copy the epoch to its output");

  int status = 0;
  struct rusage usage;
  if (wait4(pid, &status, 0, &usage) != pid) Fail("wait4");
  close(out[0]);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Fail(program + " did not exit with status 0");
  return {ready - spawned, arrived - written, static_cast<double>(usage.ru_maxrss) * 1024.0};
}

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  size_t rank = static_cast<size_t>(p * static_cast<double>(values.size()) + 0.999999);
  if (rank < 1) rank = 1;
  return values[std::min(rank, values.size()) - 1];
}

struct TSeries {
  std::vector<double> startup;
  std::vector<double> latency;
  double peak = 0;
};

}  // namespace
}  // namespace bench
}  // namespace varnix

int main(int argc, char** argv) {
  using namespace varnix::bench;
  long runs = Scaled(1000, 3);
  std::string table;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc)
      runs = atol(argv[++i]);
    else if (arg.compare(0, 8, "--table=") == 0)
      table = arg.substr(8);
    else
      Fail("usage: varnix_bench_position [--runs N] [--table=FILE]");
  }
  signal(SIGPIPE, SIG_IGN);

  CScratchDir root("position");
  std::string run = root.Path() + "/var/run";
  if (system(("mkdir -p '" + run + "'").c_str()) != 0) Fail("mkdir " + run);
  std::string fifo = run + "/gpsfeed";
  if (mkfifo(fifo.c_str(), 0600) != 0) Fail("mkfifo " + fifo);
  int feed = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  if (feed < 0) Fail("open " + fifo);
  setenv("VARNIX_ROOT", root.Path().c_str(), 1);

  const std::string dir = ProgramDir();
  // varnix-position as the build makes it; the same alternative in plain C;
  // varnix-position with the little it takes from the C++ runtime linked in
  // (-static-libstdc++), so that the C++ runtime is not loaded at start.
  const std::string programs[3] = {dir + "/varnix-position", dir + "/varnix_bench_plain_position",
                                   dir + "/varnix_bench_position_static_cxx"};
  TSeries series[3];
  for (long i = 0; i < runs; ++i) {
    for (int p = 0; p < 3; ++p) {
      TRun r = RunOnce(programs[p], feed);
      series[p].startup.push_back(r.startupNs);
      series[p].latency.push_back(r.latencyNs);
      series[p].peak = std::max(series[p].peak, r.peakBytes);
    }
  }
  close(feed);

  const TSeries& v = series[0];
  const TSeries& c = series[1];
  const TSeries& s = series[2];
  const std::string alt = "plain C";
  const std::string runsText = std::to_string(runs) + " runs";
  TRow rows[] = {
      {"varnix-position: feed to standard output, median of " + runsText, ERowKind::ETime,
       Percentile(v.latency, 0.5), alt, Percentile(c.latency, 0.5)},
      {"varnix-position: feed to standard output, 99th percentile", ERowKind::ETime, Percentile(v.latency, 0.99),
       alt, Percentile(c.latency, 0.99)},
      {"varnix-position: start until caught up with the feed, median", ERowKind::ETime,
       Percentile(v.startup, 0.5), alt, Percentile(c.startup, 0.5)},
      {"varnix-position: peak memory (largest resident set)", ERowKind::EBytes, v.peak, alt, c.peak},
      {"varnix-position -static-libstdc++: feed to standard output, median", ERowKind::ETime,
       Percentile(s.latency, 0.5), alt, Percentile(c.latency, 0.5)},
      {"varnix-position -static-libstdc++: start until caught up, median", ERowKind::ETime,
       Percentile(s.startup, 0.5), alt, Percentile(c.startup, 0.5)},
      {"varnix-position -static-libstdc++: peak memory", ERowKind::EBytes, s.peak, alt, c.peak},
  };
  FILE* out = OpenTable(table);
  for (const TRow& row : rows) {
    WriteRow(out, row);
    printf("%-62s %12.0f  (%s %.0f)\n", row.operation.c_str(), row.runtime, alt.c_str(), row.alternativeValue);
  }
  CloseTable(out);
  return 0;
}

// The message round trip against the navigation server varnix-navsim:
// calls per second
// for one and for four client processes, CPU time and heap allocations per
// call, for the runtime's endpoint and for the same exchange in bare system
// calls. The system calls per call are counted by syscalls_bench.cpp.
//
// Every iteration starts the client processes afresh; each makes its calls
// one after the other and reports its CPU time and allocation counts
// through a pipe. The time reported is that of one round, in which every
// client makes one call.

#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "support/alloc_counter.h"
#include "support/navsim_process.h"
#include "support/bench_support.h"
#include "support/round_trip_clients.h"

namespace varnix {
namespace bench {
namespace {

CNavsimProcess& Navsim() {
  static CNavsimProcess navsim;
  static bool warm = false;
  if (!warm) {
    // The first answer waits for the server to start.
    if (!MakeClient(KRuntimeClient, navsim.RunDirectory())->Call()) Fail("no answer from varnix-navsim");
    warm = true;
  }
  return navsim;
}

struct TClientReport {
  double cpuNs;
  double heapCalls;
  double seamCalls;
  double failures;
  double polls;
};

double CpuNs() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return (static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e9 +
          static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e3);
}

double WallSeconds() {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// In the child: the calls, then the report.
[[noreturn]] void RunClient(const std::string& kind, const std::string& runDirectory, long calls, int report) {
  std::unique_ptr<MRoundTripClient> client = MakeClient(kind, runDirectory);
  TClientReport r = {0, 0, 0, 0, 0};
  {
    CCountRuntimeAllocations counting;
    uint64_t heap = AllHeapCalls();
    uint64_t seam = RuntimeHeapCalls();
    double cpu = CpuNs();
    for (long i = 0; i < calls; ++i)
      if (!client->Call()) ++r.failures;
    r.cpuNs = CpuNs() - cpu;
    r.heapCalls = static_cast<double>(AllHeapCalls() - heap);
    r.seamCalls = static_cast<double>(RuntimeHeapCalls() - seam);
    r.polls = static_cast<double>(client->Polls());
  }
  ssize_t written = write(report, &r, sizeof r);
  _exit(written == static_cast<ssize_t>(sizeof r) ? 0 : 1);
}

void RoundTrip(benchmark::State& state, const std::string& kind, int clients) {
  CNavsimProcess& navsim = Navsim();
  long callsPerClient = Scaled(clients == 1 ? 30 : 15, 1);
  double total = 0, cpu = 0, heap = 0, seam = 0, failures = 0, polls = 0, wall = 0;
  for (auto _ : state) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) Fail("pipe");
    double start = WallSeconds();
    std::vector<pid_t> children;
    for (int c = 0; c < clients; ++c) {
      pid_t pid = fork();
      if (pid < 0) Fail("fork");
      if (pid == 0) {
        close(pipeFds[0]);
        RunClient(kind, navsim.RunDirectory(), callsPerClient, pipeFds[1]);
      }
      children.push_back(pid);
    }
    close(pipeFds[1]);
    for (pid_t pid : children) waitpid(pid, nullptr, 0);
    double elapsed = WallSeconds() - start;
    // The time of one round: every client makes one call.
    state.SetIterationTime(elapsed / static_cast<double>(callsPerClient));
    wall += elapsed;
    TClientReport r;
    int reports = 0;
    while (read(pipeFds[0], &r, sizeof r) == static_cast<ssize_t>(sizeof r)) {
      cpu += r.cpuNs;
      heap += r.heapCalls;
      seam += r.seamCalls;
      failures += r.failures;
      polls += r.polls;
      ++reports;
    }
    close(pipeFds[0]);
    if (reports != clients) state.SkipWithError("a client did not report");
    total += static_cast<double>(callsPerClient * clients);
  }
  if (failures > 0) state.SkipWithError("a call got no answer or a failure code");
  state.counters["calls per second"] = total / wall;
  state.counters["100 ms polls per call"] = polls / total;
  state.counters["CPU time per call ns"] = cpu / total;
  state.counters["heap allocations per call"] = heap / total;
  if (kind == KRuntimeClient) state.counters["of which through the OS seam"] = seam / total;
}

void Register() {
  for (int clients : {1, 4}) {
    std::string operation = "Message round trip, " + std::to_string(clients) + (clients == 1 ? " client" : " clients");
    for (const char* kind : {KRuntimeClient, KPlainClient}) {
      std::string k = kind;
      benchmark::RegisterBenchmark((operation + "/" + k).c_str(),
                                   [k, clients](benchmark::State& s) { RoundTrip(s, k, clients); })
          ->Iterations(1)
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond);
    }
  }
}

const bool gRegistered = (Register(), true);

}  // namespace
}  // namespace bench
}  // namespace varnix

// System calls per message round trip, counted with strace -c -f, for the
// runtime's endpoint and for the same exchange in the fewest system calls
// the protocol allows (support/round_trip_clients.h).
//
//   varnix_bench_syscalls [--table=FILE]
//
// It starts varnix-navsim in a scratch root, then runs itself
// under strace as a client ("--caller KIND N": N calls) with two numbers of
// calls; the difference divided by the difference in calls is the count
// per call, free of what starting and ending a process costs. It prints
// the count of every system call per call, and writes the totals as table
// rows.
//
// How often a client polls depends on timing, not on the client: the
// answer's marker is visible from the moment the server creates it, so the
// first test finds it whenever the server answered while the client was
// still syncing its own marker; otherwise each 100 ms poll costs one failed
// open and one sleep. The comparison is therefore made with the polls set
// aside: total - 2 x sleeps.

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/navsim_process.h"
#include "support/bench_support.h"
#include "support/bench_table.h"
#include "support/round_trip_clients.h"

namespace varnix {
namespace bench {
namespace {

int RunCaller(const char* kind, long calls) {
  const char* root = getenv("VARNIX_ROOT");
  if (root == nullptr) Fail("VARNIX_ROOT is not set");
  std::unique_ptr<MRoundTripClient> client = MakeClient(kind, std::string(root) + "/var/run/");
  for (long i = 0; i < calls; ++i)
    if (!client->Call()) return 1;
  return 0;
}

// Whether strace can trace a program here at all (it may be missing, or
// ptrace may be refused in a container).
bool StraceWorks() { return system("strace -f -c -o /dev/null true >/dev/null 2>&1") == 0; }

typedef std::map<std::string, double> TCounts;

// The per-call table of "strace -c" for one run of the caller.
TCounts CountedRun(const std::string& self, const std::string& kind, long calls, const std::string& scratch) {
  std::string out = scratch + "/strace.txt";
  pid_t pid = fork();
  if (pid < 0) Fail("fork");
  if (pid == 0) {
    std::string n = std::to_string(calls);
    execlp("strace", "strace", "-f", "-c", "-o", out.c_str(), self.c_str(), "--caller", kind.c_str(), n.c_str(),
           static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Fail("strace of the " + kind + " client failed (is strace installed?)");
  FILE* in = fopen(out.c_str(), "r");
  if (in == nullptr) Fail("no strace output");
  TCounts counts;
  char line[512];
  while (fgets(line, sizeof line, in) != nullptr) {
    std::istringstream fields(line);
    std::vector<std::string> f;
    for (std::string w; fields >> w;) f.push_back(w);
    if (f.size() < 5 || f[0].find('.') == std::string::npos || f[0] == "------") continue;
    counts[f.back()] = atof(f[3].c_str());
  }
  fclose(in);
  return counts;
}

TCounts PerCall(const std::string& self, const std::string& kind, long few, long many, const std::string& scratch) {
  TCounts a = CountedRun(self, kind, few, scratch);
  TCounts b = CountedRun(self, kind, many, scratch);
  TCounts perCall;
  for (const auto& entry : b) {
    double d = (entry.second - a[entry.first]) / static_cast<double>(many - few);
    if (d > 0.05 || d < -0.05) perCall[entry.first] = d;
  }
  return perCall;
}

}  // namespace
}  // namespace bench
}  // namespace varnix

int main(int argc, char** argv) {
  using namespace varnix::bench;
  if (argc == 4 && strcmp(argv[1], "--caller") == 0) return RunCaller(argv[2], atol(argv[3]));
  std::string table;
  for (int i = 1; i < argc; ++i) {
    if (strncmp(argv[i], "--table=", 8) == 0)
      table = argv[i] + 8;
    else
      Fail("usage: varnix_bench_syscalls [--table=FILE]");
  }
  if (!StraceWorks()) {
    printf("strace cannot trace programs on this machine: the system calls are not counted\n");
    return 0;
  }
  std::string self = ProgramDir() + "/varnix_bench_syscalls";
  CNavsimProcess navsim;
  CScratchDir scratch("strace");
  if (!MakeClient(KRuntimeClient, navsim.RunDirectory())->Call()) Fail("no answer from varnix-navsim");

  long few = Scaled(2, 1);
  long many = Scaled(12, 2);
  TCounts runtime = PerCall(self, KRuntimeClient, few, many, scratch.Path());
  TCounts plain = PerCall(self, KPlainClient, few, many, scratch.Path());

  printf("System calls per round trip against varnix-navsim (strace -c -f, %ld minus %ld calls)\n", many, few);
  printf("%-20s %10s %14s\n", "system call", "varnix", "system calls");
  std::map<std::string, bool> names;
  for (const auto& e : runtime) names[e.first] = true;
  for (const auto& e : plain) names[e.first] = true;
  for (const auto& n : names) {
    if (n.first == "total") continue;
    printf("%-20s %10.2f %14.2f\n", n.first.c_str(), runtime[n.first], plain[n.first]);
  }
  printf("%-20s %10.2f %14.2f\n", "total", runtime["total"], plain["total"]);
  double runtimePolls = runtime["clock_nanosleep"] + runtime["nanosleep"];
  double plainPolls = plain["clock_nanosleep"] + plain["nanosleep"];
  double runtimeFixed = runtime["total"] - 2 * runtimePolls;
  double plainFixed = plain["total"] - 2 * plainPolls;
  printf("%-20s %10.2f %14.2f\n", "100 ms polls", runtimePolls, plainPolls);
  printf("%-20s %10.2f %14.2f\n", "total - 2 x polls", runtimeFixed, plainFixed);

  FILE* out = OpenTable(table);
  WriteRow(out, {"Message round trip: system calls per call, polls aside", ERowKind::ECount, runtimeFixed,
                 "protocol minimum", plainFixed});
  CloseTable(out);
  return 0;
}

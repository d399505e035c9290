// main() of every Google Benchmark program of bench/: the usual console
// report, and with --table=FILE the comparison rows for scripts/bench.sh.
//
// Benchmarks are named "operation/implementation". The implementation
// "varnix" is this runtime; every other one is an alternative measured in
// the same run and compared with it, on the real time per iteration and on
// every user counter that both have. A counter whose name ends in " ns" is
// a time, one flagged as a rate or named "... per second" is a rate, any
// other a count.

#include <string.h>

#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "support/bench_table.h"

namespace varnix {
namespace bench {
namespace {

const char KRuntimeName[] = "varnix";

struct TResult {
  std::string implementation;
  double realNs;
  benchmark::UserCounters counters;
};

struct TOperation {
  std::string name;
  std::vector<TResult> results;
};

double ToNanoseconds(double value, benchmark::TimeUnit unit) {
  switch (unit) {
    case benchmark::kNanosecond: return value;
    case benchmark::kMicrosecond: return value * 1e3;
    case benchmark::kMillisecond: return value * 1e6;
    case benchmark::kSecond: return value * 1e9;
  }
  return value;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

ERowKind CounterKind(const std::string& name, const benchmark::Counter& counter) {
  if ((counter.flags & benchmark::Counter::kIsRate) || EndsWith(name, " per second")) return ERowKind::ERate;
  if (EndsWith(name, " ns")) return ERowKind::ETime;
  return ERowKind::ECount;
}

class CTableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      // A run with repetitions is taken by its median.
      bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.error_occurred) {
        ++errors_;
        continue;
      }
      if (!(single || median)) continue;
      const std::string& full = run.run_name.function_name;
      size_t slash = full.rfind('/');
      std::string operation = slash == std::string::npos ? full : full.substr(0, slash);
      std::string implementation = slash == std::string::npos ? KRuntimeName : full.substr(slash + 1);
      TOperation& op = Find(operation);
      op.results.push_back({implementation, ToNanoseconds(run.GetAdjustedRealTime(), run.time_unit), run.counters});
    }
  }

  void WriteTable(FILE* out) const {
    for (const TOperation& op : operations_) {
      const TResult* runtime = nullptr;
      for (const TResult& r : op.results)
        if (r.implementation == KRuntimeName) runtime = &r;
      if (runtime == nullptr) continue;
      WriteComparisons(out, op.name, ERowKind::ETime, runtime->realNs, op, [](const TResult& r, double* value) {
        *value = r.realNs;
        return true;
      });
      for (const auto& counter : runtime->counters) {
        const std::string& key = counter.first;
        std::string name = op.name + ": " + (EndsWith(key, " ns") ? key.substr(0, key.size() - 3) : key);
        WriteComparisons(out, name, CounterKind(key, counter.second), counter.second.value, op,
                         [&key](const TResult& r, double* value) {
                           auto found = r.counters.find(key);
                           if (found == r.counters.end()) return false;
                           *value = found->second.value;
                           return true;
                         });
      }
    }
  }

 private:
  TOperation& Find(const std::string& name) {
    for (TOperation& op : operations_)
      if (op.name == name) return op;
    operations_.push_back({name, {}});
    return operations_.back();
  }

  template <typename Pick>
  static void WriteComparisons(FILE* out, const std::string& name, ERowKind kind, double runtimeValue,
                               const TOperation& op, Pick pick) {
    bool any = false;
    for (const TResult& r : op.results) {
      double value = 0;
      if (r.implementation == KRuntimeName || !pick(r, &value)) continue;
      WriteRow(out, {name, kind, runtimeValue, r.implementation, value});
      any = true;
    }
    if (!any) WriteRow(out, {name, kind, runtimeValue, "", 0});
  }

  std::vector<TOperation> operations_;

 public:
  // Benchmarks that reported an error (a broken benchmark, not a figure).
  int Errors() const { return errors_; }

 private:
  int errors_ = 0;
};

// Takes --table=FILE out of the arguments; "" when it is not there.
std::string TakeTableOption(int* argc, char** argv) {
  std::string table;
  int kept = 0;
  for (int i = 0; i < *argc; ++i) {
    if (strncmp(argv[i], "--table=", 8) == 0)
      table = argv[i] + 8;
    else
      argv[kept++] = argv[i];
  }
  *argc = kept;
  return table;
}

}  // namespace
}  // namespace bench
}  // namespace varnix

int main(int argc, char** argv) {
  std::string table = varnix::bench::TakeTableOption(&argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  varnix::bench::CTableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  FILE* out = varnix::bench::OpenTable(table);
  reporter.WriteTable(out);
  varnix::bench::CloseTable(out);
  benchmark::Shutdown();
  return reporter.Errors() == 0 ? 0 : 1;
}

// Building a message of N fields and cutting it into fields again, with the
// endpoint's argument list and with std::string and std::string_view.

#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>

#include "messaging/arguments.h"
#include "support/alloc_counter.h"

namespace varnix {
namespace bench {
namespace {

// Fields as a call carries them: a call name, then numbers and short texts.
std::vector<std::string> Fields(int n) {
  std::vector<std::string> fields;
  fields.push_back("GetRouteCoordinatesV01");
  for (int i = 1; i < n; ++i) fields.push_back(i % 2 ? std::to_string(5234567 + i * 97) : "Field " + std::to_string(i));
  return fields;
}

void SetCounters(benchmark::State& state, uint64_t allBefore, uint64_t runtimeBefore) {
  state.counters["allocations per message"] =
      benchmark::Counter(static_cast<double>(AllHeapCalls() - allBefore), benchmark::Counter::kAvgIterations);
  if (runtimeBefore != ~0ull)
    state.counters["allocations through the OS seam"] = benchmark::Counter(
        static_cast<double>(RuntimeHeapCalls() - runtimeBefore), benchmark::Counter::kAvgIterations);
}

// The endpoint's argument list lives as long as the endpoint: NewRequest
// empties it for every message.
void Arguments_varnix(benchmark::State& state) {
  std::vector<std::string> fields = Fields(static_cast<int>(state.range(0)));
  CCsvArguments list('|');
  CCountRuntimeAllocations counting;
  uint64_t allBefore = AllHeapCalls();
  uint64_t runtimeBefore = RuntimeHeapCalls();
  for (auto _ : state) {
    list.Reset();
    for (const std::string& f : fields) list.Append(f.c_str());
    list.Split();
    benchmark::DoNotOptimize(list.At(list.Count() - 1));
  }
  SetCounters(state, allBefore, runtimeBefore);
}

// Without the runtime: a string built by appending, split into views.
void Arguments_string(benchmark::State& state) {
  std::vector<std::string> fields = Fields(static_cast<int>(state.range(0)));
  uint64_t allBefore = AllHeapCalls();
  for (auto _ : state) {
    std::string text;
    for (const std::string& f : fields) {
      text += f;
      text += '|';
    }
    std::vector<std::string_view> parts;
    std::string_view rest(text);
    for (size_t bar; (bar = rest.find('|')) != std::string_view::npos; rest.remove_prefix(bar + 1))
      parts.push_back(rest.substr(0, bar));
    benchmark::DoNotOptimize(parts.back().data());
  }
  SetCounters(state, allBefore, ~0ull);
}

// The same, keeping the string and the vector from message to message, as a
// careful programmer would.
void Arguments_reused(benchmark::State& state) {
  std::vector<std::string> fields = Fields(static_cast<int>(state.range(0)));
  std::string text;
  std::vector<std::string_view> parts;
  uint64_t allBefore = AllHeapCalls();
  for (auto _ : state) {
    text.clear();
    parts.clear();
    for (const std::string& f : fields) {
      text += f;
      text += '|';
    }
    std::string_view rest(text);
    for (size_t bar; (bar = rest.find('|')) != std::string_view::npos; rest.remove_prefix(bar + 1))
      parts.push_back(rest.substr(0, bar));
    benchmark::DoNotOptimize(parts.back().data());
  }
  SetCounters(state, allBefore, ~0ull);
}

#define VARNIX_ARGUMENTS_BENCH(fields, what)                                                             \
  BENCHMARK(Arguments_varnix)->Arg(fields)->Name("CCsvArguments build and split, " what "/varnix");     \
  BENCHMARK(Arguments_string)->Arg(fields)->Name("CCsvArguments build and split, " what "/std::string"); \
  BENCHMARK(Arguments_reused)->Arg(fields)->Name("CCsvArguments build and split, " what "/std::string reused")

VARNIX_ARGUMENTS_BENCH(1, "1 field");
VARNIX_ARGUMENTS_BENCH(30, "30 fields");
VARNIX_ARGUMENTS_BENCH(300, "300 fields");

}  // namespace
}  // namespace bench
}  // namespace varnix

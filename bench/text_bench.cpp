// The formatter, number conversion, path strings and folded search, each
// beside what a C or C++ programmer would use instead.

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <charconv>
#include <string>

#include <benchmark/benchmark.h>

#include "base/dyn_string.h"
#include "base/format.h"
#include "support/alloc_counter.h"

namespace varnix {
namespace bench {
namespace {

const int KBufferSize = 256;

// A path as long as the runtime's paths get (200 characters).
const std::string& LongText() {
  static const std::string text = [] {
    std::string t = "/mnt/sdcard/";
    while (t.size() < 200) t += "Navigation/maps/";
    t.resize(200);
    return t;
  }();
  return text;
}

// --- Formatting -----------------------------------------------------------

// The message-file name of every message: local, peer, process id, id.
void FormatMessageName_varnix(benchmark::State& state) {
  char buffer[KBufferSize];
  uint32_t id = 1;
  for (auto _ : state) {
    FormatBuffer(buffer, KBufferSize, "%s.%s.%u.%u.message", "client", "VarnixNavigationServer", 81234u, id++);
    benchmark::DoNotOptimize(buffer);
  }
}

void FormatMessageName_snprintf(benchmark::State& state) {
  char buffer[KBufferSize];
  unsigned id = 1;
  for (auto _ : state) {
    snprintf(buffer, KBufferSize, "%s.%s.%u.%u.message", "client", "VarnixNavigationServer", 81234u, id++);
    benchmark::DoNotOptimize(buffer);
  }
}

void FormatDataName_varnix(benchmark::State& state) {
  char buffer[KBufferSize];
  int n = 0;
  for (auto _ : state) {
    FormatBuffer(buffer, KBufferSize, "data%02d.chk", n);
    n = (n + 1) % 100;
    benchmark::DoNotOptimize(buffer);
  }
}

void FormatDataName_snprintf(benchmark::State& state) {
  char buffer[KBufferSize];
  int n = 0;
  for (auto _ : state) {
    snprintf(buffer, KBufferSize, "data%02d.chk", n);
    n = (n + 1) % 100;
    benchmark::DoNotOptimize(buffer);
  }
}

void FormatLongText_varnix(benchmark::State& state) {
  char buffer[KBufferSize];
  const char* text = LongText().c_str();
  for (auto _ : state) {
    FormatBuffer(buffer, KBufferSize, "%s", text);
    benchmark::DoNotOptimize(buffer);
  }
}

void FormatLongText_snprintf(benchmark::State& state) {
  char buffer[KBufferSize];
  const char* text = LongText().c_str();
  for (auto _ : state) {
    snprintf(buffer, KBufferSize, "%s", text);
    benchmark::DoNotOptimize(buffer);
  }
}

BENCHMARK(FormatMessageName_varnix)->Name("VFormat \"%s.%s.%u.%u.message\"/varnix");
BENCHMARK(FormatMessageName_snprintf)->Name("VFormat \"%s.%s.%u.%u.message\"/snprintf");
BENCHMARK(FormatDataName_varnix)->Name("VFormat \"data%02d.chk\"/varnix");
BENCHMARK(FormatDataName_snprintf)->Name("VFormat \"data%02d.chk\"/snprintf");
BENCHMARK(FormatLongText_varnix)->Name("VFormat \"%s\" of 200 characters/varnix");
BENCHMARK(FormatLongText_snprintf)->Name("VFormat \"%s\" of 200 characters/snprintf");

// --- Number conversion ----------------------------------------------------

// Values as the messages carry them: ids, coordinates, codes, extremes.
const int32_t KValues[16] = {0,      7,         -1,        42,          812,        4711,       -9000,     65535,
                             123456, -5234567,  52345678,  2147483647,  -2147483647 - 1, 1000, 99, -23};

const char* const KTexts[16] = {"0",      "7",        "-1",        "42",          "812",         "4711",
                                "-9000",  "65535",    "123456",    "-5234567",    "52345678",    "2147483647",
                                "-2147483648", " 1000", "\t99",    "-23"};

void IntToText_varnix(benchmark::State& state) {
  char out[12];
  unsigned i = 0;
  for (auto _ : state) {
    IntToText(KValues[i++ & 15], out, 10);
    benchmark::DoNotOptimize(out);
  }
}

void IntToText_snprintf(benchmark::State& state) {
  char out[12];
  unsigned i = 0;
  for (auto _ : state) {
    snprintf(out, sizeof out, "%d", KValues[i++ & 15]);
    benchmark::DoNotOptimize(out);
  }
}

void IntToText_tochars(benchmark::State& state) {
  char out[12];
  unsigned i = 0;
  for (auto _ : state) {
    *std::to_chars(out, out + sizeof out - 1, KValues[i++ & 15]).ptr = 0;
    benchmark::DoNotOptimize(out);
  }
}

void TextToInt_varnix(benchmark::State& state) {
  unsigned i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(TextToInt(KTexts[i++ & 15]));
}

void TextToInt_strtol(benchmark::State& state) {
  unsigned i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(strtol(KTexts[i++ & 15], nullptr, 10));
}

BENCHMARK(IntToText_varnix)->Name("IntToText/varnix");
BENCHMARK(IntToText_snprintf)->Name("IntToText/snprintf(\"%d\")");
BENCHMARK(IntToText_tochars)->Name("IntToText/std::to_chars");
BENCHMARK(TextToInt_varnix)->Name("TextToInt/varnix");
BENCHMARK(TextToInt_strtol)->Name("TextToInt/strtol");

// --- Path strings -----------------------------------------------------------

// A message path as the exchange builds it: the run-time directory, then a
// file name, then a terminated text to hand to the system.
const char KDirectory[] = "/mnt/sdcard/var/run/";
const char KFileName[] = "client.VarnixNavigationServer.81234.17.message";

void PathAssignAppend_varnix(benchmark::State& state) {
  uint64_t before = AllHeapCalls();
  for (auto _ : state) {
    CPathString path;
    path.AssignText(KDirectory);
    path.AppendChars(KFileName, static_cast<int>(sizeof KFileName - 1));
    benchmark::DoNotOptimize(path.Terminate());
  }
  state.counters["allocations per path"] =
      benchmark::Counter(static_cast<double>(AllHeapCalls() - before), benchmark::Counter::kAvgIterations);
}

void PathAssignAppend_string(benchmark::State& state) {
  uint64_t before = AllHeapCalls();
  for (auto _ : state) {
    std::string path;
    path.assign(KDirectory);
    path.append(KFileName, sizeof KFileName - 1);
    benchmark::DoNotOptimize(path.c_str());
  }
  state.counters["allocations per path"] =
      benchmark::Counter(static_cast<double>(AllHeapCalls() - before), benchmark::Counter::kAvgIterations);
}

BENCHMARK(PathAssignAppend_varnix)->Name("CDynString assign and append of a path/varnix");
BENCHMARK(PathAssignAppend_string)->Name("CDynString assign and append of a path/std::string");

// --- Folded search ----------------------------------------------------------

// A map file's marker at the end of a long card path, in another letter
// case: the whole path is searched.
const std::string& Haystack() {
  static const std::string text = LongText() + "EUROPE/MapInfo.Dat";
  return text;
}
const char KNeedle[] = "mapinfo.dat";

void FindFolded_varnix(benchmark::State& state) {
  const std::string& h = Haystack();
  int n = static_cast<int>(sizeof KNeedle - 1);
  for (auto _ : state) benchmark::DoNotOptimize(FindFolded(h.data(), static_cast<int>(h.size()), KNeedle, n));
}

// What one writes without the runtime: every start position, the C
// library's tolower on both sides.
int PlainFoldedFind(const char* h, int hn, const char* n, int nn) {
  for (int p = 0; p + nn <= hn; ++p) {
    int i = 0;
    while (i < nn && tolower(static_cast<unsigned char>(h[p + i])) == tolower(static_cast<unsigned char>(n[i]))) ++i;
    if (i == nn) return p;
  }
  return -1;
}

void FindFolded_plain(benchmark::State& state) {
  const std::string& h = Haystack();
  int n = static_cast<int>(sizeof KNeedle - 1);
  for (auto _ : state) benchmark::DoNotOptimize(PlainFoldedFind(h.data(), static_cast<int>(h.size()), KNeedle, n));
}

BENCHMARK(FindFolded_varnix)->Name("FindFolded in a 218-character path/varnix");
BENCHMARK(FindFolded_plain)->Name("FindFolded in a 218-character path/tolower loop");

}  // namespace
}  // namespace bench
}  // namespace varnix

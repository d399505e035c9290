#ifndef VARNIX_BENCH_SUPPORT_BENCH_TABLE_H
#define VARNIX_BENCH_SUPPORT_BENCH_TABLE_H

// One comparison per line of a tab-separated file, which scripts/bench.sh
// turns into the table:
//   operation  kind  this runtime  alternative  its value
// kind says how the values read and which way is better:
//   time   nanoseconds, lower is better
//   count  a plain number (calls, allocations), lower is better
//   bytes  a size, lower is better
//   rate   per second, higher is better
// A figure without an alternative has "-" for its name and value.

#include <stdio.h>

#include <string>

namespace varnix {
namespace bench {

enum class ERowKind { ETime, ECount, EBytes, ERate };

struct TRow {
  std::string operation;
  ERowKind kind;
  double runtime;
  std::string alternative;  // empty: none
  double alternativeValue;
};

void WriteRow(FILE* out, const TRow& row);

// Opens the table file for appending; stdout for "-"; null for an empty
// name (no table wanted).
FILE* OpenTable(const std::string& path);
void CloseTable(FILE* out);

}  // namespace bench
}  // namespace varnix

#endif

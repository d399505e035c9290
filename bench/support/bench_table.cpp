#include "support/bench_table.h"

namespace varnix {
namespace bench {
namespace {

const char* KindName(ERowKind kind) {
  switch (kind) {
    case ERowKind::ETime: return "time";
    case ERowKind::ECount: return "count";
    case ERowKind::EBytes: return "bytes";
    case ERowKind::ERate: return "rate";
  }
  return "count";
}

}  // namespace

void WriteRow(FILE* out, const TRow& row) {
  if (out == nullptr) return;
  if (row.alternative.empty())
    fprintf(out, "%s\t%s\t%.6g\t-\t-\n", row.operation.c_str(), KindName(row.kind), row.runtime);
  else
    fprintf(out, "%s\t%s\t%.6g\t%s\t%.6g\n", row.operation.c_str(), KindName(row.kind), row.runtime,
            row.alternative.c_str(), row.alternativeValue);
  fflush(out);
}

FILE* OpenTable(const std::string& path) {
  if (path.empty()) return nullptr;
  if (path == "-") return stdout;
  FILE* out = fopen(path.c_str(), "a");
  if (out == nullptr) perror(path.c_str());
  return out;
}

void CloseTable(FILE* out) {
  if (out != nullptr && out != stdout) fclose(out);
}

}  // namespace bench
}  // namespace varnix

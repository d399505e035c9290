#!/usr/bin/env bash
# Runs every benchmark of bench/ and the footprint measurement, and prints
# one table: operation, this runtime, the alternative measured in the same
# run, and the ratio. docs/performance.md explains the figures.
#
#   scripts/bench.sh           the whole run (a few minutes)
#   scripts/bench.sh --smoke   every benchmark once, on tiny inputs, no
#                              footprint (what CI runs); its figures mean
#                              nothing and nothing fails on a figure
#
# The benchmarks' own reports go to build/bench/logs/.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/setup.sh"

smoke=0
case "${1:-}" in
  "") ;;
  --smoke) smoke=1 ;;
  *) echo "usage: scripts/bench.sh [--smoke]" >&2; exit 2 ;;
esac

packages=("${varnix_packages[@]}" "${varnix_bench_packages[@]}")
[ "$smoke" -eq 0 ] && packages+=("${varnix_cross_packages[@]}")
varnix_install_missing "${packages[@]}"

cd "$here/.."
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
bin="$PWD/build/bench/bin"
logs="$PWD/build/bench/logs"
mkdir -p "$logs"
rows="$logs/rows.tsv"
: >"$rows"

if [ "$smoke" -eq 1 ]; then
  export VARNIX_BENCH_SMOKE=1
  repeat=(--benchmark_min_time=0)
else
  unset VARNIX_BENCH_SMOKE
  repeat=(--benchmark_repetitions=3 --benchmark_report_aggregates_only=true)
fi

load="$(cut -d' ' -f1-3 /proc/loadavg)"

# step LOG WHAT COMMAND...: runs one benchmark program with its report in
# the log; on a failure the log is shown and the run ends.
step() {
  local log="$logs/$1.txt" what="$2"
  shift 2
  echo "== $what" >&2
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    echo "== $what failed" >&2
    exit 1
  fi
}
step text "formatter, numbers, strings, argument lists" "$bin/varnix_bench_text" "${repeat[@]}" --table="$rows"
step files "directory walks and file copy" "$bin/varnix_bench_files" "${repeat[@]}" --table="$rows"
step roundtrip "message round trips" "$bin/varnix_bench_roundtrip" --table="$rows"
step syscalls "system calls per round trip" "$bin/varnix_bench_syscalls" --table="$rows"
step position "varnix-position" "$bin/varnix_bench_position" --table="$rows"
[ "$smoke" -eq 0 ] && step footprint "footprint" scripts/footprint.sh --table="$rows"

machine() {
  echo "- Processor: $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) cores available"
  echo "- Memory: $(awk '/^MemTotal:/ {printf "%.0f", $2 / 1048576}' /proc/meminfo) GiB; Linux $(uname -r); $(ldd --version | head -1 | sed 's/^ldd //')"
  echo "- Compiler: $(c++ --version | head -1); build: the bench preset (RelWithDebInfo, -O2)"
  echo "- Scratch files: ${TMPDIR:-/tmp} on $(df -T "${TMPDIR:-/tmp}" | awk 'NR == 2 {print $2}')"
  echo "- Taken: $(date -u '+%Y-%m-%d %H:%M UTC'), load average before the run $load$([ "$smoke" -eq 1 ] && echo '; SMOKE RUN: the figures mean nothing')"
}

echo "## Benchmarks"
echo
machine
echo
# Ratio: how many times better this runtime does, alternative ÷ runtime for
# costs (time, counts, bytes), runtime ÷ alternative for rates.
awk -F'\t' '
  function show(kind, v) {
    if (v == "-") return "-"
    if (kind == "time") {
      if (v < 1e3) return sprintf("%.1f ns", v)
      if (v < 1e6) return sprintf("%.1f µs", v / 1e3)
      if (v < 1e9) return sprintf("%.1f ms", v / 1e6)
      return sprintf("%.2f s", v / 1e9)
    }
    if (kind == "bytes") {
      if (v < 1024) return sprintf("%d B", v)
      if (v < 1048576) return sprintf("%.1f KiB", v / 1024)
      return sprintf("%.2f MiB", v / 1048576)
    }
    if (kind == "rate") return sprintf("%.1f/s", v)
    if (v == int(v)) return sprintf("%d", v)
    if (v < 0.005) return "0"
    return sprintf("%.2f", v)
  }
  function ratio(kind, r, a) {
    if (a == "-") return "-"
    if (kind == "rate") return r > 0 ? sprintf("%.2f", r / a) : "-"
    if (r < 0.005) return a < 0.005 ? "=" : "∞"
    return sprintf("%.2f", a / r)
  }
  BEGIN {
    print "| Operation | This runtime | Alternative | Ratio |"
    print "|---|---:|---|---:|"
  }
  {
    alt = $4 == "-" ? "-" : $4 ": " show($2, $5)
    printf "| %s | %s | %s | %s |\n", $1, show($2, $3), alt, ratio($2, $3, $5)
  }' "$rows"
echo
echo "Ratio: alternative ÷ this runtime for times, counts and sizes; this runtime ÷ alternative for rates. Above 1, the runtime does better."

echo
echo "### System calls per round trip"
echo
echo '```'
cat "$logs/syscalls.txt"
echo '```'
if [ "$smoke" -eq 0 ]; then
  echo
  echo "### Footprint"
  cat "$logs/footprint.txt"
fi

#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer with AddressSanitizer and UBSan:
# the fuzz preset) and runs each of them for a while.
#   scripts/fuzz.sh [SECONDS]      every target for SECONDS (default 60)
# Environment:
#   FUZZ_TARGETS="format arguments"   only these targets
#   FUZZ_JOBS=N                       targets run at once (default: the cores)
# Prints, per target, its executions, its corpus and whether it found
# anything; exits with 1 when a target found something. Each target starts
# from its seeds in fuzz/corpus/<target>/ and from what earlier runs added in
# build/fuzz/corpus/<target>/. The input of a finding (crash, time-out, leak)
# is kept in build/fuzz/findings/<target>/ and the target's log in
# build/fuzz/logs/<target>.log; rerun one with
#   build/fuzz/bin/varnix_fuzz_<target> build/fuzz/findings/<target>/<file>
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/setup.sh"
varnix_install_missing "${varnix_packages[@]}" "${varnix_fuzz_packages[@]}"

seconds="${1:-60}"
jobs="${FUZZ_JOBS:-$(nproc)}"
cd "$here/.."
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

out="$PWD/build/fuzz"
# The targets that read files work in a device root of their own below
# TMPDIR; in memory, their files cost no disk syncs.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
targets="${FUZZ_TARGETS:-$(sed -n '/^set(VARNIX_FUZZ_TARGETS/,/^)/p' fuzz/CMakeLists.txt | sed '1d;$d' | tr -d ' ')}"
mkdir -p "$out/logs"

run_target() {
  local target="$1"
  local corpus="$out/corpus/$target" findings="$out/findings/$target"
  mkdir -p "$corpus" "$findings"
  # The fuzzer's own time limit, a second guard against a target that hangs
  # before it starts counting.
  timeout -k 10 $((seconds + 120)) "$out/bin/varnix_fuzz_$target" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "fuzz/corpus/$target" \
    >"$out/logs/$target.log" 2>&1 || true
}

echo "Fuzzing each target for $seconds s, $jobs at a time"
running=0
for target in $targets; do
  rm -rf "$out/findings/$target"
  run_target "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait

found=0
printf '%-20s %12s %8s  %s\n' target executions corpus result
for target in $targets; do
  log="$out/logs/$target.log"
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  corpus="$(find "$out/corpus/$target" -type f | wc -l)"
  findings="$(find "$out/findings/$target" -type f | wc -l)"
  if [ "$findings" -gt 0 ] || [ -z "$runs" ]; then
    result="FOUND $findings input(s) in build/fuzz/findings/$target/ (log: build/fuzz/logs/$target.log)"
    [ -z "$runs" ] && result="DID NOT FINISH (log: build/fuzz/logs/$target.log)"
    found=1
  else
    result="nothing found"
  fi
  printf '%-20s %12s %8s  %s\n' "$target" "${runs:-?}" "$corpus" "$result"
done
exit "$found"

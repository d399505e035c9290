#!/usr/bin/env bash
# Runs the tests that do not fork heavily under valgrind's memcheck: each
# test case on its own, as CTest runs it, with
#   valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite
# so that any invalid access, use of an uninitialised value or definite
# leak fails it. Left out are the suites that start programs or fork a
# process per case (process coordination, the simulators, the tools) and
# the messaging tests of two real processes; the asan preset covers them.
#   scripts/valgrind.sh [REGEX]    only the test cases whose name matches
# Environment: VALGRIND_JOBS=N test cases at once (default: the cores).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/setup.sh"
varnix_install_missing "${varnix_packages[@]}" "${varnix_valgrind_packages[@]}"

filter="${1:-.}"
jobs="${VALGRIND_JOBS:-$(nproc)}"
cd "$here/.."
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null

out="$PWD/build/default/valgrind"
supp="$PWD/scripts/valgrind.supp"
rm -rf "$out"
mkdir -p "$out"
# One line per test case: its name, then its command.
ctest --preset default --show-only=json-v1 | python3 -c '
import json, re, sys
included = re.compile(r"/(varnix_(base|file|messaging|navigator|storage|storage_catalogue|device)_tests|varnix_fuzz_\w+)$")
excluded = re.compile(r"^TwoProcesses\.")
wanted = re.compile(sys.argv[1])
for test in json.load(sys.stdin)["tests"]:
    command = test["command"]
    if included.search(command[0]) and not excluded.search(test["name"]) and wanted.search(test["name"]):
        print("\t".join([test["name"]] + command))
' "$filter" >"$out/cases.txt"

# Runs one test case; its log is kept only when it fails.
run_case() {
  local name="$1"
  shift
  local short="${name%% *}"  # a parameterised case's name without its parameter's bytes
  local log="$out/$(echo "$short" | tr -c 'A-Za-z0-9._-' '_').log"
  if (cd "$out" && VARNIX_TEST_BIN_DIR="$PWD/../bin" valgrind -q --error-exitcode=1 --leak-check=full \
      --errors-for-leak-kinds=definite --show-leak-kinds=definite --child-silent-after-fork=yes \
      --suppressions="$supp" "$@") >"$log" 2>&1; then
    rm -f "$log"
  else
    echo "FAILED under valgrind: $short (log: build/default/valgrind/${log##*/})"
  fi
}

total="$(wc -l <"$out/cases.txt")"
echo "Running $total test cases under valgrind, $jobs at a time"
running=0
while IFS=$'\t' read -r -a words; do
  run_case "${words[@]}" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done <"$out/cases.txt"
wait
failed="$(find "$out" -name '*.log' | wc -l)"
echo "valgrind: $((total - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]

#!/usr/bin/env bash
# The load tests at full size, with their figures:
#   varnix-navsim    16 client processes x 200 GetLocationInfoV01 calls
#   varnix-launcherd 16 client processes x 50 rounds of launch, wait, kill
#                    and wait for the end (200 and more requests each)
# Every reply must match its request, nothing may be lost or answered twice
# and nothing may be left in the run-time directory. The ordinary suite runs
# the navsim test with 25 calls per client. Usage:
#   scripts/load.sh [CALLS_PER_CLIENT [LAUNCHER_ROUNDS]]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/setup.sh"
varnix_install_missing "${varnix_packages[@]}"

cd "$here/.."
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null
export VARNIX_LOAD_CALLS="${1:-200}" VARNIX_LOAD_ROUNDS="${2:-50}"
ctest --preset default -R 'NavsimLoad|LauncherLoad' --output-on-failure -V | grep -E '\[load\]|tests passed|tests failed|Failure|Expected'

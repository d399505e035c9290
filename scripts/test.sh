#!/usr/bin/env bash
# Builds the runtime, its tools and simulators and runs every test.
#   scripts/test.sh            the default (optimised) build
#   scripts/test.sh asan       the same under AddressSanitizer and UBSan
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/setup.sh"
varnix_install_missing "${varnix_packages[@]}"

preset="${1:-default}"
cd "$here/.."
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"

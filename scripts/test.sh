#!/usr/bin/env bash
# Builds the runtime, its tools and simulators and runs every test.
#   scripts/test.sh            the default (optimised) build
#   scripts/test.sh asan       the same under AddressSanitizer and UBSan
#   scripts/test.sh armhf      cross-built for the device, run under qemu-arm
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/setup.sh"
preset="${1:-default}"
varnix_install_missing "${varnix_packages[@]}"
[ "$preset" = armhf ] && varnix_install_missing "${varnix_cross_packages[@]}" "${varnix_emulator_packages[@]}"

cd "$here/.."
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"

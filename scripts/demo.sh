#!/usr/bin/env bash
# Builds everything and runs the runtime on a simulated device in a
# temporary root.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/setup.sh"
varnix_install_missing "${varnix_packages[@]}"

cd "$here/.."
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null
bin="$PWD/build/default/bin"

root="$(mktemp -d "${TMPDIR:-/tmp}/varnix-device-XXXXXX")"
cleanup() { rm -rf "$root"; }
trap cleanup EXIT
trap 'exit 130' INT TERM
mkdir -p "$root"/var/run "$root"/mnt/flash/sysfile "$root"/mnt/sdcard "$root"/proc/morvantis "$root"/etc
export VARNIX_ROOT="$root"

echo "== Simulated device in $root"
echo "The device's programs appear here as the runtime grows."

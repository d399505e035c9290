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
gpssim=""
cleanup() {
  if [ -n "$gpssim" ]; then
    kill -TERM "$gpssim" 2>/dev/null || true
    wait "$gpssim" 2>/dev/null || true
  fi
  rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
mkdir -p "$root"/var/run "$root"/mnt/flash/sysfile "$root"/mnt/sdcard "$root"/proc/morvantis "$root"/etc
export VARNIX_ROOT="$root"

echo "== Simulated device in $root"

echo "== GPS feed: varnix-gpssim writes NMEA sentences into /var/run/gpsfeed"
"$bin/varnix-gpssim" &
gpssim=$!
for _ in $(seq 100); do
  [ -p "$root/var/run/gpsfeed" ] && break
  kill -0 "$gpssim" 2>/dev/null || { echo "varnix-gpssim did not start" >&2; exit 1; }
  sleep 0.1
done

echo "== varnix-position: one fresh chunk of the feed"
"$bin/varnix-position"
echo "== varnix-position exited with status $?"

kill -TERM "$gpssim" 2>/dev/null || true
wait "$gpssim" || true
gpssim=""

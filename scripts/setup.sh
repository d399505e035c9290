#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the runtime.
# Sourced by the other scripts; safe to run again (it installs only what is
# missing).
set -euo pipefail

varnix_packages=(build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev)
# The fuzz targets (scripts/fuzz.sh): Debian's clang with libFuzzer and the
# sanitizer runtimes.
varnix_fuzz_packages=(clang libclang-rt-14-dev)
# The memory check of the suite (scripts/valgrind.sh).
varnix_valgrind_packages=(valgrind python3)
# scripts/bench.sh only: Google Benchmark, strace for the system-call counts,
# and the cross compiler for the device's footprint.
varnix_bench_packages=(libbenchmark-dev strace)
varnix_cross_packages=(g++-arm-linux-gnueabihf)
# The device build's tests: the emulator that runs them (with the cross
# compiler above).
varnix_emulator_packages=(qemu-user)
# The reference built from the headers (the docs target).
varnix_docs_packages=(doxygen)

varnix_install_missing() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  varnix_install_missing "${varnix_packages[@]}"
fi

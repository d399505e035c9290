#!/usr/bin/env bash
# The main job: builds the programs it runs, then runs the runtime on a
# simulated device in a temporary root and shows, section by section, what
# it does.
#
#   scripts/demo.sh                 install what is missing, build, run
#   scripts/demo.sh --bin-dir DIR   run the programs already built in DIR
#
# Every process it starts is stopped, and the root removed, at the end and
# on Ctrl-C. Exit status 0 when every step worked; otherwise 1, after a line
# naming each step that did not.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

bin=""
if [ "${1:-}" = "--bin-dir" ] && [ -n "${2:-}" ]; then
  bin="$(cd "$2" && pwd)" || exit 2
elif [ $# -gt 0 ]; then
  echo "Usage: scripts/demo.sh [--bin-dir DIR]" >&2
  exit 2
else
  source "$here/setup.sh"
  set +e
  if ! varnix_install_missing "${varnix_packages[@]}"; then
    echo "Failed steps: set-up (installing ${varnix_packages[*]})"
    exit 1
  fi
  cd "$here/.."
  echo "Building the programs (build/default) ..."
  build_log="$(mktemp)"
  if ! { cmake --preset default && cmake --build --preset default --target demo-programs; } >"$build_log" 2>&1; then
    cat "$build_log"
    rm -f "$build_log"
    echo "Failed steps: build"
    exit 1
  fi
  rm -f "$build_log"
  bin="$PWD/build/default/bin"
fi

# Time allowed to each step; the blocking navigator calls would otherwise
# wait for ever on a navigator that is not there.
step_timeout=60

root="$(mktemp -d "${TMPDIR:-/tmp}/varnix-device-XXXXXX")"
export VARNIX_ROOT="$root"
started=()     # pids of the simulators, in start order
failed=()      # titles of the steps that did not work
running=""     # pid of the step being run
section_number=0

stop_process() {  # pid: SIGTERM, a bounded wait, SIGKILL; returns its status
  local pid=$1
  kill -TERM "$pid" 2>/dev/null
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
}

cleanup() {
  local i
  [ -n "$running" ] && stop_process "$running"
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do stop_process "${started[i]}"; done
  started=()
  rm -rf "$root"
}
trap cleanup EXIT
trap 'echo; echo "Interrupted: stopping the simulated device"; exit 130' INT TERM

section() {
  section_number=$((section_number + 1))
  echo
  echo "== $section_number. $1"
}

# step TITLE COMMAND...: runs the command (bounded) and shows its output,
# indented; the output stays in $root/step.out. A failure is recorded under
# TITLE. The command runs in the background so that Ctrl-C reaches the
# script at once (its trap then stops the command too).
step() {
  local title=$1 status
  shift
  { printf '$'; printf ' %q' "$@"; echo; } | sed "s|$bin/||g"
  timeout "$step_timeout" "$@" >"$root/step.out" 2>&1 &
  running=$!
  wait "$running"
  status=$?
  running=""
  sed 's/^/    /' "$root/step.out"
  if [ "$status" -ne 0 ]; then
    echo "!! $title: failed (exit status $status)"
    failed+=("$title")
  fi
  return "$status"
}

fail() {  # title, reason
  echo "!! $1: $2"
  failed+=("$1")
}

# ---------------------------------------------------------------------------
section "The simulated device in $root"
mkdir -p "$root"/var/run "$root"/mnt/flash/sysfile "$root"/mnt/sdcard/Simcity "$root"/mnt/sdcard/voices \
  "$root"/proc/morvantis "$root"/etc
# The platform driver's property files: one value per file.
for property in "modelid 400" "modelname Varnix QX 400" "shortname QX 400" "handsfree 1" \
  "lightsensor 1" "harddisk 0" "sdcard 1" "gyro 0"; do
  echo "${property#* }" >"$root/proc/morvantis/${property%% *}"
done
# A device with 64 MiB of memory, of which 12 MiB may still be committed.
printf 'MemTotal:          65536 kB\nMemFree:           20480 kB\nCached:             8192 kB\nCommitLimit:       32768 kB\nCommitted_AS:      20480 kB\n' \
  >"$root/proc/meminfo"
echo "4.12.003" >"$root/etc/version"
# The boot loader version file: exactly 16 bytes.
{ printf '5.18'; head -c 12 /dev/zero; } >"$root/mnt/flash/sysfile/bootver"
# One map on the card, marked by its MAPINFO.DAT.
echo "Simcity street map" >"$root/mnt/sdcard/Simcity/MAPINFO.DAT"
(cd "$root" && find . -type f | sort | sed 's|^\./|    /|')

# ---------------------------------------------------------------------------
section "Starting the device's services: GPS feed, navigator, launcher"
"$bin/varnix-gpssim" --rate 5 >"$root/gpssim.log" 2>&1 &
started+=($!)
"$bin/varnix-navsim" >"$root/navsim.log" 2>&1 &
started+=($!)
"$bin/varnix-launcherd" --child-output /var/run/children.log >"$root/launcherd.log" 2>&1 &
started+=($!)
up=()  # the services that started
service_ready() {  # name, pid, what it says once ready: waits up to 10 s
  local log="$root/${1#varnix-}.log"
  for _ in $(seq 100); do
    if grep -q "$3" "$log"; then
      up+=("$1")
      echo "    $(grep -m1 "$3" "$log" | sed "s|$root||")"
      return 0
    fi
    kill -0 "$2" 2>/dev/null || break
    sleep 0.1
  done
  fail "$1" "did not start: $(cat "$log")"
}
service_ready varnix-gpssim "${started[0]}" "writing"
service_ready varnix-navsim "${started[1]}" "serving"
service_ready varnix-launcherd "${started[2]}" "listening on"

# needs SERVICE TITLE: true when SERVICE is up; otherwise TITLE is recorded
# as failed without being run.
needs() {
  [[ " ${up[*]} " == *" $1 "* ]] && return 0
  fail "$2" "not run: $1 did not start"
  return 1
}

# ---------------------------------------------------------------------------
section "GPS feed: varnix-position prints one fresh chunk"
needs varnix-gpssim "varnix-position" && step "varnix-position" "$bin/varnix-position" &&
  { grep -Eq '\$GP(RMC|GGA),' "$root/step.out" || fail "varnix-position" "no NMEA sentence in its output"; }

# ---------------------------------------------------------------------------
section "Navigator calls, blocking, with their error handling (examples/navigator_calls.cpp)"
if needs varnix-navsim "navigator calls"; then
  step "navigator calls" "$bin/example-navigator-calls"
  echo "The same calls from the command line, one line of JSON each:"
  step "varnix-call" "$bin/varnix-call" GetApplicationVersionV01
fi

# ---------------------------------------------------------------------------
section "A call in two halves while the application works (examples/call_halves.cpp)"
needs varnix-navsim "send and receive halves" && step "send and receive halves" "$bin/example-call-halves"

# ---------------------------------------------------------------------------
section "An incoming call accepted through the pump and answered (examples/incoming_calls.cpp)"
"$bin/example-incoming-calls" serve demoapp 2 >"$root/serve.log" 2>&1 &
started+=($!)
step "incoming call: Greet" "$bin/example-incoming-calls" call demoapp Greet "simulated device"
step "incoming call: Add" "$bin/example-incoming-calls" call demoapp Add 20 22
if wait "${started[3]}"; then
  echo "What the application that accepted the calls printed:"
  sed 's/^/    /' "$root/serve.log"
else
  fail "incoming-call server" "ended with an error: $(cat "$root/serve.log")"
fi
unset 'started[3]'

# ---------------------------------------------------------------------------
section "Instance registry: master, helper through the launcher, reaped (examples/process_registry.cpp)"
if needs varnix-launcherd "instance registry"; then
  step "instance registry" "$bin/example-process-registry"
  echo "What the helper printed (the launcher's child output, /var/run/children.log):"
  sed 's/^/    /' "$root/var/run/children.log" 2>/dev/null
fi

# ---------------------------------------------------------------------------
section "Device information (examples/device_info.cpp)"
step "device information" "$bin/example-device-info"

# ---------------------------------------------------------------------------
section "Storage: the file manager and the current map (examples/current_map.cpp)"
step "current map" "$bin/example-current-map"

# ---------------------------------------------------------------------------
section "Stopping the device's services"
names=(varnix-gpssim varnix-navsim varnix-launcherd)
for i in 2 1 0; do
  stop_process "${started[i]}"
  status=$?
  if [ "$status" -eq 0 ]; then
    echo "    ${names[i]} stopped"
  elif [[ " ${up[*]} " == *" ${names[i]} "* ]]; then
    fail "${names[i]}" "ended with status $status"
    sed 's/^/    /' "$root/${names[i]#varnix-}.log"
  fi
done
started=()

echo
if [ ${#failed[@]} -eq 0 ]; then
  echo "Every step worked."
  exit 0
fi
echo "Failed steps: $(printf '%s; ' "${failed[@]}" | sed 's/; $//')"
exit 1

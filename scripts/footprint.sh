#!/usr/bin/env bash
# Sizes of the runtime built at -Os (CMake's MinSizeRel): text, data and bss
# of each subsystem of the static library, and varnix-position linked
# statically and stripped beside the same tool in plain C
# (bench/plain_position.c), for the host and for armhf (when the cross
# compiler arm-linux-gnueabihf-g++ is there). Then the C++ runtime check on
# each -Os library.
#
#   scripts/footprint.sh [--table=FILE]
#
# Prints a table per target; with --table, appends the comparison rows for
# scripts/bench.sh.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cd "$here/.."

table=""
for arg in "$@"; do
  case "$arg" in
    --table=*) table="${arg#--table=}" ;;
    *) echo "usage: scripts/footprint.sh [--table=FILE]" >&2; exit 2 ;;
  esac
done

row() {  # operation kind runtime alternative value
  [ -n "$table" ] && printf '%s\t%s\t%s\t%s\t%s\n' "$@" >>"$table"
  return 0
}

# subsystem of a library member, from where its source lies ("format.cpp.o"
# -> "base")
subsystem_of() {
  local source="${1%.o}"
  local found
  found="$(find sdk -name "$source" | head -1)"
  basename "$(dirname "$found")"
}

measure() {  # target-name toolchain-file-or-empty tool-prefix
  local name="$1" toolchain="$2" prefix="$3"
  local dir="build/footprint-$name"
  local configure=(-S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DVARNIX_BUILD_TESTS=OFF
    "-DCMAKE_EXE_LINKER_FLAGS=-static -s")
  [ -n "$toolchain" ] && configure+=(--toolchain "$toolchain")
  cmake "${configure[@]}" >/dev/null
  cmake --build "$dir" --target varnix varnix-position >/dev/null
  "${prefix}gcc" -Os -static -s -o "$dir/plain_position" bench/plain_position.c

  echo
  echo "### $name, -Os"
  echo
  echo "| Subsystem | text | data | bss |"
  echo "|---|---:|---:|---:|"
  "${prefix}size" "$dir/sdk/libvarnix.a" | awk 'NR > 1 {print $1, $2, $3, $6}' >"$dir/members.txt"
  local subsystems=() total_text=0 total_data=0 total_bss=0
  while read -r text data bss member; do
    echo "$(subsystem_of "$member") $text $data $bss"
  done <"$dir/members.txt" | sort | awk '
    { t[$1] += $2; d[$1] += $3; b[$1] += $4; if (!($1 in seen)) { seen[$1] = 1; order[n++] = $1 } }
    END {
      for (i = 0; i < n; i++) { s = order[i]; printf "| %s | %d | %d | %d |\n", s, t[s], d[s], b[s]; T += t[s]; D += d[s]; B += b[s] }
      printf "| **library** | **%d** | **%d** | **%d** |\n", T, D, B
      printf "%d %d %d\n", T, D, B > "/dev/stderr"
    }' 2>"$dir/total.txt"
  read -r total_text total_data total_bss <"$dir/total.txt"

  local tool_size plain_size
  tool_size="$(stat -c %s "$dir/bin/varnix-position")"
  plain_size="$(stat -c %s "$dir/plain_position")"
  echo
  echo "| Static, stripped program | file bytes | text | data | bss |"
  echo "|---|---:|---:|---:|---:|"
  "${prefix}size" "$dir/bin/varnix-position" "$dir/plain_position" | awk -v a="$tool_size" -v b="$plain_size" '
    NR == 2 { printf "| varnix-position | %d | %d | %d | %d |\n", a, $1, $2, $3 }
    NR == 3 { printf "| the same in plain C | %d | %d | %d | %d |\n", b, $1, $2, $3 }'

  row "Footprint ($name, -Os): varnix-position, static and stripped" bytes "$tool_size" "plain C" "$plain_size"
  row "Footprint ($name, -Os): the whole library, text + data" bytes "$((total_text + total_data))" "-" "-"

  echo
  scripts/check_cxx_runtime.sh "$dir/sdk/libvarnix.a" "$prefix" | sed 's/^/    /'
}

measure host "" ""
if command -v arm-linux-gnueabihf-g++ >/dev/null; then
  measure armhf "$PWD/cmake/toolchains/arm-linux-gnueabihf.cmake" arm-linux-gnueabihf-
else
  echo
  echo "(no arm-linux-gnueabihf-g++: the armhf sizes are left out)"
fi

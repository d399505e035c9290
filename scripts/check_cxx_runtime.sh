#!/usr/bin/env bash
# Checks that the runtime's static library needs nothing from the C++
# runtime beyond what the language itself requires: no exception handling,
# no RTTI, no standard-library symbols, no static initialisers. Prints what
# the library takes from outside itself that is not the C library, and
# fails on anything not listed below with its reason.
#
#   scripts/check_cxx_runtime.sh                 the default build's library
#   scripts/check_cxx_runtime.sh LIB [PREFIX]    another one; PREFIX names the
#                                                binutils and C compiler
#                                                (arm-linux-gnueabihf-)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cd "$here/.."

lib="${1:-}"
prefix="${2:-}"
if [ -z "$lib" ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default --target varnix >/dev/null
  lib=build/default/sdk/libvarnix.a
fi
nm="${prefix}nm"
objdump="${prefix}objdump"
cc="${prefix}gcc"

# What the language requires, and why it remains:
#   __cxa_pure_virtual  the slot of a pure virtual function in the virtual
#                       table of an abstract interface (MArguments,
#                       MVarnixSession, ...). A weak reference: a program
#                       without the C++ runtime still links, and the slot is
#                       never called.
# There is no operator new or delete among them: every class the library
# creates or whose deleting destructor it emits allocates over malloc and free
# with operators of its own (VARNIX_HEAP_OPERATORS in base/heap_object.h).
allowed='^__cxa_pure_virtual$'
# What belongs to the C++ runtime: mangled names the library does not define
# itself (standard library, typeinfo, operator new and delete), the C++ ABI
# (__cxa_*: guards, exceptions), the personality routines and the unwinder.
cxx_runtime='^(_Z|__cxa_|__gxx_|_Unwind_|__aeabi_unwind_cpp_|__dynamic_cast)'

defined="$("$nm" --defined-only "$lib" 2>/dev/null | awk 'NF >= 3 {print $3}' | sort -u)"
undefined="$("$nm" --undefined-only "$lib" 2>/dev/null | awk 'NF >= 2 {print $NF}' | sort -u)"
external="$(comm -23 <(echo "$undefined") <(echo "$defined"))"
from_cxx="$(echo "$external" | grep -E "$cxx_runtime" || true)"

status=0
echo "== $lib: what it takes from the C++ runtime"
if [ -z "$from_cxx" ]; then
  echo "   nothing"
else
  while read -r symbol; do
    readable="$(echo "$symbol" | c++filt)"
    if echo "$symbol" | grep -Eq "$allowed"; then
      echo "   $readable  (required by the language; see this script)"
    else
      echo "   $readable  NOT ALLOWED"
      status=1
    fi
  done <<<"$from_cxx"
fi

# Typeinfo the library defines itself would mean RTTI; exception tables and
# initialiser arrays mean exceptions and code that runs before main.
rtti="$(echo "$defined" | grep -E '^_ZT[IS]' || true)"
if [ -n "$rtti" ]; then
  echo "== RTTI in the library:"; echo "$rtti" | c++filt; status=1
fi
sections="$("$objdump" -h "$lib" | awk '{print $2}' | grep -E '^\.(gcc_except_table|init_array|ctors|preinit_array)' | sort -u || true)"
if [ -n "$sections" ]; then
  echo "== sections that mean exceptions or static initialisers:"
  "$objdump" -h "$lib" | grep -E ' \.(gcc_except_table|init_array|ctors|preinit_array)' -B0 | head -20
  status=1
fi

# The proof: the whole library linked into a C program by the C compiler
# driver, without the C++ runtime.
work="$(mktemp -d "${TMPDIR:-/tmp}/varnix-cxx-check-XXXXXX")"
trap 'rm -rf "$work"' EXIT
cat >"$work/main.c" <<'C'
int main(void) { return 0; }
C
if command -v "$cc" >/dev/null; then
  if "$cc" -o "$work/linked" "$work/main.c" -Wl,--whole-archive "$lib" -Wl,--no-whole-archive 2>"$work/link.txt"; then
    echo "== the whole library links into a C program without the C++ runtime"
  else
    echo "== the whole library does not link into a C program without the C++ runtime:"
    grep -E 'undefined reference' "$work/link.txt" | sed 's/.*undefined reference to/   /' | sort -u | head -20
    status=1
  fi
fi

[ "$status" -eq 0 ] && echo "== C++ runtime check passed" || echo "== C++ runtime check FAILED"
exit "$status"

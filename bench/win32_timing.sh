#!/usr/bin/env bash
# Builds korvadex_line_timing twice, as the project builds (CMake, release, every per-file
# option of CMakeLists.txt): natively for x86-64, and for 32-bit Windows in the mingw-w64
# tree the native tree configures (static, no -march), the one the Windows program is built
# in.  Runs the 32-bit one under Wine beside the 64-bit one, over the same bytes: the speed
# of every line in the 32-bit program and its ratio to the 64-bit speed.
#
# The two programs take turns, ROUNDS times; each time each gives the fastest of its passes
# over each line's messages (see bench/line_timing.cpp: on a shared machine the fastest pass
# is the one the scheduler left alone), and every figure printed is the median over the
# rounds, so that a spell of load on the machine falls on both alike.  Where 32-bit x86
# code cannot run natively (a 64-bit kernel without IA-32 emulation, where
# tools/install-deps.sh runs Wine through qemu-i386), the 32-bit column measures the
# emulator, not the processor; the script says so.
#
#   bench/win32_timing.sh [ROUNDS]      (default 5 rounds)
#
# KORVADEX_TIMING_BUILD names the native build directory (default build-win32); the
# Windows tree is its win/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
rounds="${1:-5}"
out="${KORVADEX_TIMING_BUILD:-$root/build-win32}"

# Without the tests: the Windows tree then builds the libraries, the program and the timing
# program only.
cmake -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=Release -DKORVADEX_BUILD_TESTS=OFF \
  -DKORVADEX_BUILD_WINDOWS=ON >/dev/null
cmake --build "$out" -j"$(nproc)" --target korvadex_line_timing korvadex_windows >/dev/null
native="$out/bench/korvadex_line_timing"
windows="$out/win/korvadex_line_timing.exe"

emulated=no
for f in /proc/sys/fs/binfmt_misc/*; do
  if [ -f "$f" ] && grep -qs 'qemu-i386' "$f"; then emulated=yes; fi
done

export WINEPREFIX="${WINEPREFIX:-$out/wineprefix}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
: >"$out/timing-64.txt"
: >"$out/timing-32.txt"
for ((round = 0; round < rounds; ++round)); do
  "$native" | grep -v '^#' >>"$out/timing-64.txt"
  wine "$windows" | tr -d '\r' | grep -v '^#' >>"$out/timing-32.txt"
done

# label TAB median over the rounds
medians() {
  sort -t $'\t' -k1,1 -k2,2g "$1" | awk -F'\t' '
    function flush() { if (n) printf "%s\t%s\n", label, v[int((n + 1) / 2)] }
    $1 != label { flush(); label = $1; n = 0 }
    { v[++n] = $2 }
    END { flush() }'
}

echo "median of $rounds rounds; load average before: $load_before," \
  "after: $(cut -d' ' -f1-3 /proc/loadavg)"
if [ "$emulated" = yes ]; then
  echo "32-bit code runs here through qemu-i386 (binfmt_misc): the 32-bit figures are EMULATED,"
  echo "not processor speed, and their ratio to the native 64-bit figures means nothing."
fi
# The bar of the 32-bit build: every line at 0.75 of the 64-bit speed or more.
printf '%-22s %12s %12s %7s\n' line "64-bit MB/s" "32-bit MB/s" "32/64"
join -t $'\t' <(medians "$out/timing-64.txt") <(medians "$out/timing-32.txt") |
  awk -F'\t' -v bar=0.75 '
    { r = $3 / $2; printf "%-22s %12.1f %12.1f %7.3f%s\n", $1, $2, $3, r, r < bar ? "  below" : ""
      if (r < bar) below = below (below == "" ? "" : ", ") $1; ++n }
    END { if (below == "") printf "all %d lines at %.2f of the 64-bit speed or more\n", n, bar
          else printf "below %.2f of the 64-bit speed: %s\n", bar, below }'

#!/usr/bin/env bash
# Builds korvadex_line_timing for 32-bit Windows (mingw-w64, the release flags, static) and
# runs it under Wine beside the native 64-bit build of the same source, over the same bytes:
# the speed of every line in the 32-bit program and its ratio to the 64-bit speed.
#
# The two programs take turns, ROUNDS times (each time the median of 3 passes per line);
# every figure printed is the median over the rounds, so that a spell of load on the
# machine falls on both alike.  Where 32-bit x86 code cannot run natively (a 64-bit kernel
# without IA-32 emulation, where tools/install-deps.sh runs Wine through qemu-i386), the
# 32-bit column measures the emulator, not the processor; the script says so.
#
#   bench/win32_timing.sh [BYTES [ROUNDS]]      (default 16 MiB, 5 rounds)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bytes="${1:-16777216}"
rounds="${2:-5}"
out="$root/build-win32"
mkdir -p "$out"

sources=("$root/bench/line_timing.cpp" "$root"/digests/*.cpp "$root/report/report_lines.cpp")
# The digests' 32-bit flags from CMakeLists.txt (no `rep stos` or `rep movs` for the
# block clears and copies).
i686-w64-mingw32-g++-posix -O3 -std=c++17 -Wall -Wextra -static -I"$root/digests" \
  -I"$root/report" -mmemset-strategy=unrolled_loop:256:noalign,libcall:-1:noalign \
  -mmemcpy-strategy=unrolled_loop:256:noalign,libcall:-1:noalign \
  "${sources[@]}" -o "$out/korvadex_line_timing.exe"
g++ -O3 -std=c++17 -Wall -Wextra -I"$root/digests" -I"$root/report" "${sources[@]}" \
  -o "$out/korvadex_line_timing"

emulated=no
for f in /proc/sys/fs/binfmt_misc/*; do
  if [ -f "$f" ] && grep -qs 'qemu-i386' "$f"; then emulated=yes; fi
done

export WINEPREFIX="${WINEPREFIX:-$out/wineprefix}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
: >"$out/timing-64.txt"
: >"$out/timing-32.txt"
for ((round = 0; round < rounds; ++round)); do
  "$out/korvadex_line_timing" "$bytes" 3 | grep -v '^#' >>"$out/timing-64.txt"
  wine "$out/korvadex_line_timing.exe" "$bytes" 3 | tr -d '\r' | grep -v '^#' >>"$out/timing-32.txt"
done

# label TAB median over the rounds
medians() {
  sort -t $'\t' -k1,1 -k2,2g "$1" | awk -F'\t' '
    function flush() { if (n) printf "%s\t%s\n", label, v[int((n + 1) / 2)] }
    $1 != label { flush(); label = $1; n = 0 }
    { v[++n] = $2 }
    END { flush() }'
}

echo "$bytes bytes, median of $rounds rounds; load average before: $load_before," \
  "after: $(cut -d' ' -f1-3 /proc/loadavg)"
if [ "$emulated" = yes ]; then
  echo "32-bit code runs here through qemu-i386 (binfmt_misc): the 32-bit figures are EMULATED,"
  echo "not processor speed, and their ratio to the native 64-bit figures means nothing."
fi
printf '%-22s %12s %12s %7s\n' line "64-bit MB/s" "32-bit MB/s" "32/64"
join -t $'\t' <(medians "$out/timing-64.txt") <(medians "$out/timing-32.txt") |
  awk -F'\t' '{ printf "%-22s %12.1f %12.1f %7.3f\n", $1, $2, $3, $3 / $2 }'

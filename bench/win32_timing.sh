#!/usr/bin/env bash
# Builds korvadex_line_timing for 32-bit Windows (mingw-w64, the release flags, static) and
# runs it under Wine beside the native 64-bit build of the same source, over the same bytes.
#
# Where 32-bit x86 code cannot run natively (a 64-bit kernel without IA-32 emulation), Wine
# itself runs in an instruction-set emulator: the 32-bit column then measures the emulator,
# not the processor, and the ratio says nothing about real 32-bit speed.  The script says
# so when it finds the emulator; bench/instruction_counts.sh compares the code instead.
#
#   bench/win32_timing.sh [BYTES [RUNS]]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bytes="${1:-4194304}"
runs="${2:-3}"
out="$root/build-win32"
mkdir -p "$out"

i686-w64-mingw32-g++-posix -O3 -std=c++17 -Wall -Wextra -static -I"$root/digests" \
  -I"$root/report" "$root/bench/line_timing.cpp" "$root"/digests/*.cpp \
  "$root/report/report_lines.cpp" -o "$out/korvadex_line_timing.exe"
g++ -O3 -std=c++17 -Wall -Wextra -I"$root/digests" -I"$root/report" \
  "$root/bench/line_timing.cpp" "$root"/digests/*.cpp "$root/report/report_lines.cpp" \
  -o "$out/korvadex_line_timing"

emulated=no
for f in /proc/sys/fs/binfmt_misc/*; do
  if [ -f "$f" ] && grep -qs 'qemu-i386' "$f"; then emulated=yes; fi
done

export WINEPREFIX="${WINEPREFIX:-$out/wineprefix}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$out/korvadex_line_timing" "$bytes" "$runs" >"$out/timing-64.txt"
wine "$out/korvadex_line_timing.exe" "$bytes" "$runs" | tr -d '\r' >"$out/timing-32.txt"

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
if [ "$emulated" = yes ]; then
  echo "32-bit code runs here through qemu-i386 (binfmt_misc): the 32-bit figures are EMULATED,"
  echo "not processor speed, and their ratio to the native 64-bit figures means nothing."
fi
printf '%-22s %12s %12s %7s\n' line "64-bit MB/s" "32-bit MB/s" "32/64"
join -t $'\t' <(grep -v '^#' "$out/timing-64.txt" | sort) <(grep -v '^#' "$out/timing-32.txt" | sort) |
  while IFS=$'\t' read -r line m64 m32; do
    printf '%-22s %12.1f %12.1f %7.3f\n' "$line" "$m64" "$m32" "$(echo "$m32 / $m64" | bc -l)"
  done

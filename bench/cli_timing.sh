#!/usr/bin/env bash
# Times the command line over one file as a user runs it: `korvadex --jobs 1 FILE` (the
# serial report) and `korvadex FILE` (all cores), RUNS times each, alternating, and prints
# the median wall and CPU (user + system) seconds of each, with the load average before and
# after.  Without FILE it makes 16 MiB of random bytes.
#
#   bench/cli_timing.sh [KORVADEX [FILE [RUNS]]]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
exe="${1:-$root/build/korvadex}"
file="${2:-}"
runs="${3:-7}"
if [ -z "$file" ]; then
  file="$(mktemp)"
  trap 'rm -f "$file"' EXIT
  head -c $((16 << 20)) /dev/urandom >"$file"
fi

# Runs the command once; prints "wall cpu" in seconds.
measure() {
  local out
  out="$( { /usr/bin/time -f '%e %U %S' "$@" >/dev/null; } 2>&1 | tail -n 1)"
  read -r wall user sys <<<"$out"
  echo "$wall $(awk -v u="$user" -v s="$sys" 'BEGIN {printf "%.2f", u + s}')"
}

median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
: >/tmp/korvadex-cli-timing.serial
: >/tmp/korvadex-cli-timing.parallel
for _ in $(seq "$runs"); do
  measure "$exe" --jobs 1 "$file" >>/tmp/korvadex-cli-timing.serial
  measure "$exe" "$file" >>/tmp/korvadex-cli-timing.parallel
done
echo "load average after:  $(cut -d' ' -f1-3 /proc/loadavg)"
for kind in serial parallel; do
  f="/tmp/korvadex-cli-timing.$kind"
  printf '%-9s median of %s: wall %s s, CPU %s s\n' "$kind" "$runs" \
    "$(cut -d' ' -f1 "$f" | median)" "$(cut -d' ' -f2 "$f" | median)"
  rm -f "$f"
done

#!/usr/bin/env bash
# Times korvadex -c against sha256sum -c on the same list of many small files, in the same
# run, interleaved, and prints the best wall time of each.  Exits 1 when korvadex is the
# slower of the two.
#   tools/check-list-speed.sh [KORVADEX] [FILES] [REPETITIONS]
set -euo pipefail
korvadex=$(realpath "${1:-build/korvadex}")
count=${2:-10000}
repetitions=${3:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
for ((i = 0; i < count; ++i)); do echo "file $i" > "f$i"; done
find . -name 'f*' -type f -print0 | xargs -0 sha256sum > SHA256SUMS

best() {  # best wall time in seconds of the command, over the repetitions
  local best=
  for ((r = 0; r < repetitions; ++r)); do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    best=$(awk -v s="$start" -v e="$end" -v b="$best" \
      'BEGIN { t = e - s; print (b == "" || t < b) ? t : b }')
  done
  echo "$best"
}
ours=() peers=()
for ((round = 0; round < 3; ++round)); do
  peers+=("$(best sha256sum -c --quiet SHA256SUMS)")
  ours+=("$(best "$korvadex" -c --quiet SHA256SUMS)")
done
peer=$(printf '%s\n' "${peers[@]}" | sort -n | head -1)
mine=$(printf '%s\n' "${ours[@]}" | sort -n | head -1)
echo "checking $count small files: sha256sum -c ${peer} s, korvadex -c ${mine} s (best of $((3 * repetitions)))"
awk -v a="$mine" -v b="$peer" 'BEGIN { exit !(a <= b) }'

#!/usr/bin/env bash
# Keeping a list instead of hashing everything again: over a tree of FILES files of 64 KiB
# (default 10 000), an hour old, with a JSON list of them written by a fresh run
#   korvadex --format json -a md5,sha256 -r tree > list
# and then CHANGED of them (default 10) rewritten at their size,
#   korvadex --update list -a md5,sha256 -r tree
# must hash exactly those again (its summary says "0 added, 10 re-hashed (10 changed)") and
# take at most 0.2 of the fresh run's time.  Each is timed --runs times (default 3), the
# files in the page cache, and the fastest run of each is compared.  The updated list must
# then pass korvadex --audit of the tree.
#
#   bench/update_list.sh [--files N] [--changed N] [--runs N] [KORVADEX]
#                                               (default build/korvadex)
set -euo pipefail
cd "$(dirname "$0")/.."
files=10000
changed=10
runs=3
while [ $# -gt 0 ]; do
  case $1 in
    --files) files=$2; shift 2 ;;
    --changed) changed=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) break ;;
  esac
done
exe=$(realpath "${1:-build/korvadex}")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"

python3 - "$files" <<'EOF'
import os, sys
n = int(sys.argv[1])
for i in range(n):
    folder = "tree/%03d" % (i // 100)
    os.makedirs(folder, exist_ok=True)
    with open("%s/f%05d" % (folder, i), "wb") as f:
        f.write(os.urandom(64 * 1024))
EOF
find tree -type f -exec touch -d '1 hour ago' {} +
cat tree/*/* > /dev/null

ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }

fresh_best=
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  "$exe" --format json -a md5,sha256 -r tree > base.json
  took=$(ms "$start")
  if [ -z "$fresh_best" ] || [ "$took" -lt "$fresh_best" ]; then fresh_best=$took; fi
done
touch -d '10 minutes ago' base.json

update_best=
failed=0
for round in $(seq "$runs"); do
  cp --preserve=timestamps base.json list.json
  # The same files change in every round, each time at its size, to new bytes.
  for i in $(seq 0 $((changed - 1))); do
    n=$((i * files / changed))
    head -c 65536 /dev/urandom > "tree/$(printf %03d $((n / 100)))/f$(printf %05d "$n")"
  done
  start=$(date +%s%N)
  summary=$("$exe" --update list.json -a md5,sha256 -r tree 2>&1)
  took=$(ms "$start")
  if [ -z "$update_best" ] || [ "$took" -lt "$update_best" ]; then update_best=$took; fi
  if [[ $summary != *"0 added, $changed re-hashed ($changed changed), 0 dropped"* ]]; then
    echo "FAIL round $round: $summary"
    failed=1
  fi
done
echo "summary: $summary"

share=$(awk -v u="$update_best" -v f="$fresh_best" 'BEGIN { printf "%.3f", u / f }')
verdict=ok
if awk -v s="$share" 'BEGIN { exit !(s > 0.2) }'; then
  verdict=FAIL
  failed=1
fi
printf '%-4s fresh list of %d files: %d ms; --update with %d changed: %d ms (%s of it, at most 0.2)\n' \
  "$verdict" "$files" "$fresh_best" "$changed" "$update_best" "$share"
if "$exe" --audit list.json --status -r tree; then
  echo "ok   --audit passes the updated list"
else
  echo "FAIL --audit of the updated list"
  failed=1
fi
exit $failed

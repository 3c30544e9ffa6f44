#!/usr/bin/env bash
# The command line's resident memory over inputs larger than memory budgets: the maximum
# resident set size (/usr/bin/time -v) of
#   korvadex --only MD5,SHA-256 BIG             (BIG: a sparse file of 5 GiB)
#   head -c 5G /dev/zero | korvadex --only MD5,CRC32 -
#   korvadex --key K --only MD5,SHA-256 BIG
#   korvadex --key K SMALL                      (every line keyed, SMALL 64 MiB: the
#                                               memory does not grow with the input)
#   korvadex -r -a sha256 --format gnu TREE     (TREE: 10 000 files of 4 KiB, several
#                                               computed at once, written in order)
#   korvadex --jobs 4 -a crc32 BIG1 ... BIG4    (four sparse files of 5 GiB given together)
# must stay at or below 64 MiB each.  The piped run's values must also equal Python's
# hashlib and zlib over the same 5 GiB of zeros.
#
#   bench/memory_check.sh [KORVADEX]            (default build/korvadex)
set -euo pipefail
cd "$(dirname "$0")/.."
exe=$(realpath "${1:-build/korvadex}")
limit_kib=$((64 * 1024))
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
big=$dir/big
truncate -s 5G "$big"

failed=0
measure() {
  local what=$1
  shift
  local report=$dir/time.txt
  /usr/bin/time -v -o "$report" "$@" > "$dir/out.txt"
  local kib
  kib=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$report")
  local verdict=ok
  if [ "$kib" -gt "$limit_kib" ]; then
    verdict=FAIL
    failed=1
  fi
  printf '%-4s %6d KiB max resident  %s\n' "$verdict" "$kib" "$what"
}

measure "korvadex --only MD5,SHA-256 BIG (5 GiB)" "$exe" --only MD5,SHA-256 "$big"
measure "head -c 5G /dev/zero | korvadex --only MD5,CRC32 -" \
  bash -c 'head -c 5G /dev/zero | "$0" --only MD5,CRC32 -' "$exe"
expected=$(python3 -c '
import hashlib, zlib
md5, crc, zeros = hashlib.md5(), 0, bytes(1 << 24)
for _ in range(5 * 64):
    md5.update(zeros)
    crc = zlib.crc32(zeros, crc)
print("CRC32: %08X" % crc)
print("MD5: " + md5.hexdigest().upper())')
if [ "$(cat "$dir/out.txt")" = "$expected" ]; then
  echo "ok   the piped values equal hashlib's and zlib's"
else
  echo "FAIL the piped values: $(tr '\n' ' ' < "$dir/out.txt"), expected $(echo $expected)"
  failed=1
fi
measure "korvadex --key K --only MD5,SHA-256 BIG (5 GiB)" "$exe" --key K --only MD5,SHA-256 "$big"
truncate -s 64M "$dir/small"
measure "korvadex --key K SMALL (64 MiB, all forty lines)" "$exe" --key K "$dir/small"
mkdir "$dir/tree"
head -c $((10000 * 4096)) /dev/urandom | split -a 5 -d -b 4096 - "$dir/tree/f"
measure "korvadex -r -a sha256 --format gnu TREE (10 000 files of 4 KiB)" \
  "$exe" -r -a sha256 --format gnu "$dir/tree"
if [ "$(wc -l < "$dir/out.txt")" -ne 10000 ]; then
  echo "FAIL the tree's list has $(wc -l < "$dir/out.txt") lines, not 10000"
  failed=1
fi
rm -rf "$dir/tree"
for i in 1 2 3 4; do truncate -s 5G "$dir/big$i"; done
measure "korvadex --jobs 4 -a crc32 BIG1 ... BIG4 (5 GiB each, together)" \
  "$exe" --jobs 4 -a crc32 "$dir/big1" "$dir/big2" "$dir/big3" "$dir/big4"
exit $failed

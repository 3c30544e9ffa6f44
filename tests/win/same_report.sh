#!/usr/bin/env bash
# The Windows command line's report of random files of many lengths, plain and keyed, is
# the native build's, byte for byte.
#   same_report.sh WINE WINDOWS_EXE NATIVE_KORVADEX WORK_DIR
set -euo pipefail
wine=$1 exe=$2 native=$3 work=$4
rm -rf "$work"
mkdir -p "$work"
cd "$work"
# Lengths around the block sizes of every engine (64, 128 bytes) and the chunks of reading.
for n in 0 1 2 3 55 56 63 64 65 111 112 119 127 128 129 200 255 256 1000 4095 4096 65535 \
         65536 65537 1048577 4194305; do
  head -c "$n" /dev/urandom >"f$n"
done
files=(f*)
"$native" "${files[@]}" >native.txt
"$wine" "$exe" "${files[@]}" >windows.txt
"$native" --key 'k€y' "${files[@]}" >native-keyed.txt
"$wine" "$exe" --key 'k€y' "${files[@]}" >windows-keyed.txt
cmp native.txt windows.txt
cmp native-keyed.txt windows-keyed.txt
echo "${#files[@]} files: the same reports, plain and keyed"

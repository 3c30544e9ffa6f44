#!/usr/bin/env bash
# Installs the peer libraries (as root, when missing), builds the benchmark and runs it:
# every report line on 16 MiB and 1 KiB beside OpenSSL, Crypto++, rhash, mhash, zlib,
# Boost.CRC and ISA-L, the whole report serial and on all cores, and the command line over
# the same 16 MiB as a file; medians of three repetitions run in random order, then the summary
# table, and each line head to head with its fastest peers (the two timed in turn, slice after
# slice, the median ratio of the pairs), then the lines on the processor's CRC and SHA
# instructions beside the limit of those instructions (bench/instruction_ceiling.cpp).  Extra
# arguments go to the benchmark (e.g. --benchmark_filter=MD5 or --benchmark_repetitions=5).
# bench/cli_timing.sh times the command line over a file of your own; bench/cli_compare.sh
# sets it against the peer tools line by line.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

peers=(libbenchmark-dev libssl-dev libcrypto++-dev librhash-dev libmhash-dev zlib1g-dev libboost-dev
  libisal-dev)
missing=()
for p in "${peers[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "bench: run as root to install: ${missing[*]}" >&2
    exit 1
  fi
  . "$root/tools/update-indexes.sh"
  update_indexes
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release -DKORVADEX_BUILD_TESTS=OFF \
  -DKORVADEX_BUILD_WINDOWS=OFF >/dev/null
cmake --build "$root/build-bench" -j2 --target korvadex_bench korvadex >/dev/null
"$root/build-bench/bench/korvadex_bench" --benchmark_enable_random_interleaving=true \
  --benchmark_report_aggregates_only=true "$@"
if [ -x "$root/build-bench/bench/korvadex_instruction_ceiling" ]; then
  echo
  echo "the lines on the CRC and SHA instructions beside the limit of the instruction each waits on"
  "$root/build-bench/bench/korvadex_instruction_ceiling"
fi

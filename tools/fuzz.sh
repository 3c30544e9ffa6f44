#!/usr/bin/env bash
# Runs every libFuzzer target for SECONDS (default 600) each, as many at a time as there are
# cores, growing a corpus in build-fuzz/long/<name> from the committed seeds.  Findings are
# written to build-fuzz/long; each target's output is in build-fuzz/long/<name>.log, and one
# line per target gives its executions, coverage and result.  Exits 1 when a target failed.
#   tools/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORVADEX_FUZZ=ON -DKORVADEX_SANITIZE=ON -DKORVADEX_BUILD_TESTS=OFF \
  -DKORVADEX_BUILD_BENCH=OFF -DKORVADEX_BUILD_WINDOWS=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null

run() {
  local name=$1 seeds=$2
  mkdir -p "build-fuzz/long/$name"
  local status=0
  (cd build-fuzz/long && "../tests/fuzz/$name" -max_total_time="$seconds" -timeout=30 \
    -rss_limit_mb=4096 -print_final_stats=1 "$name" "../../$seeds") >"build-fuzz/long/$name.log" 2>&1 ||
    status=$?
  local runs cov
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "build-fuzz/long/$name.log" | grep -o '[0-9]*$' || true)
  cov=$(grep -o 'cov: [0-9]*' "build-fuzz/long/$name.log" | tail -n 1 | grep -o '[0-9]*$' || true)
  echo "$name: ${runs:-?} executions in $seconds s, coverage ${cov:-?}," \
    "corpus $(ls "build-fuzz/long/$name" | wc -l) files, $([ $status -eq 0 ] && echo 'no finding' || echo "FAILED (exit $status; see build-fuzz/long/$name.log)")"
  return $status
}

# As many targets at a time as there are cores; each one's line says whether it found
# anything.
mkdir -p build-fuzz/long
rm -f build-fuzz/long/*.result
for seeds in tests/fuzz/corpus/*/; do
  while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
  run "$(basename "$seeds")" "$seeds" >"build-fuzz/long/$(basename "$seeds").result" &
done
wait || true
cat build-fuzz/long/*.result
! grep -q FAILED build-fuzz/long/*.result

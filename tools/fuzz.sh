#!/usr/bin/env bash
# Runs every libFuzzer target for SECONDS (default 600) each, growing a corpus in
# build-fuzz/long/<name> from the committed seeds.  Findings are written to build-fuzz/long.
#   tools/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORVADEX_FUZZ=ON -DKORVADEX_SANITIZE=ON -DKORVADEX_BUILD_TESTS=OFF -DKORVADEX_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null
for seeds in tests/fuzz/corpus/*/; do
  name=$(basename "$seeds")
  mkdir -p "build-fuzz/long/$name"
  echo "== $name: $seconds s"
  (cd build-fuzz/long && "../tests/fuzz/$name" -max_total_time="$seconds" -timeout=30 \
    -rss_limit_mb=4096 -print_final_stats=1 "$name" "../../$seeds") 2>&1 | tail -n 12
  echo "corpus grown in build-fuzz/long/$name: $(ls "build-fuzz/long/$name" | wc -l) files"
done

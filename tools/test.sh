#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   the native build (library, command line, tests),
#   the same under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKORVADEX_REQUIRE_ORACLES=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKORVADEX_SANITIZE=ON \
  -DKORVADEX_REQUIRE_ORACLES=ON
cmake --build build-sanitize -j"$jobs"
ctest --test-dir build-sanitize --output-on-failure -j"$jobs"

# libFuzzer targets, a few seconds each (tools/fuzz.sh runs them longer).
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORVADEX_FUZZ=ON -DKORVADEX_SANITIZE=ON -DKORVADEX_BUILD_TESTS=OFF -DKORVADEX_BUILD_BENCH=OFF
cmake --build build-fuzz -j"$jobs"
ctest --test-dir build-fuzz --output-on-failure

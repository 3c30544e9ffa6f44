#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   the native build (library, command line, tests) together with the 32-bit Windows
#   program, whose tests run under Wine in a virtual X display;
#   the native build again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKORVADEX_REQUIRE_ORACLES=ON \
  -DKORVADEX_BUILD_WINDOWS=ON
cmake --build build -j"$jobs"
# -a: the first free display number, so that runs side by side do not meet.
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKORVADEX_SANITIZE=ON \
  -DKORVADEX_REQUIRE_ORACLES=ON -DKORVADEX_BUILD_WINDOWS=OFF
cmake --build build-sanitize -j"$jobs"
ctest --test-dir build-sanitize --output-on-failure -j"$jobs"

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
# The fast lines over a sparse file past 4 GiB, plain and keyed, against Python's hashlib,
# hmac and zlib (without --fast: every line that has an independent implementation).
tools/big_input_check.sh --fast build/korvadex

# The command line's Debian package: built with cpack, installed, run and removed.
bash tools/test-package.sh build

# ---- Robustness: sanitizers and fuzzing (ASan/UBSan, libFuzzer, TSan) -----------------

# Every test under AddressSanitizer and UndefinedBehaviorSanitizer.
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKORVADEX_SANITIZE=ON \
  -DKORVADEX_REQUIRE_ORACLES=ON -DKORVADEX_BUILD_BENCH=OFF -DKORVADEX_BUILD_WINDOWS=OFF
cmake --build build-sanitize -j"$jobs"
ctest --test-dir build-sanitize --output-on-failure -j"$jobs"

# libFuzzer targets, KORVADEX_FUZZ_SECONDS (10) each from their seed corpora; tools/fuzz.sh
# runs them longer.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORVADEX_FUZZ=ON -DKORVADEX_SANITIZE=ON -DKORVADEX_BUILD_TESTS=OFF -DKORVADEX_BUILD_BENCH=OFF \
  -DKORVADEX_BUILD_WINDOWS=OFF
cmake --build build-fuzz -j"$jobs"
ctest --test-dir build-fuzz --output-on-failure --no-tests=error -j"$jobs"

# ThreadSanitizer over what runs on several threads: reports with engine families on
# threads of their own (LineJobs, LineJobPlan, RobustThreads), the command line's --jobs
# and its progress display.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS=-fsanitize=thread \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DKORVADEX_BUILD_BENCH=OFF -DKORVADEX_BUILD_WINDOWS=OFF
cmake --build build-tsan -j"$jobs" --target korvadex korvadex_tests korvadex_cli_tests
TSAN_OPTIONS="halt_on_error=1 ${TSAN_OPTIONS:-}" ctest --test-dir build-tsan --output-on-failure \
  --no-tests=error -R '^(LineJobs|LineJobPlan|LineStreams|RobustThreads|CliJobs|CliProgress)\.'

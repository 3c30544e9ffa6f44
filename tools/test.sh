#!/usr/bin/env bash
# Builds everything and runs every test, in named stages:
#
#   tools/test.sh [STAGE...]      (no STAGE: every stage, in this order)
#
#   deps       installs what is missing (tools/install-deps.sh; root only when something is
#              missing), so that on a fresh machine this script does all the set-up
#   fresh      (root) tools/fresh-system-check.sh: in a bare Debian system made anew,
#              tools/report.sh without root names what to install, as root prints the
#              sample's report, and after deps the full build configures
#   native     the native build in build/ (library, command line, the Windows program's
#              cross-build beside them) and its tests, Windows tests left out
#   windows    the Windows programs' tests under Wine in a virtual X display, and the
#              Windows zip unpacked and both programs run from it
#   sanitize   every native test under AddressSanitizer and UndefinedBehaviorSanitizer
#   fuzz       the libFuzzer targets, KORVADEX_FUZZ_SECONDS (10) each from their seeds
#   tsan       ThreadSanitizer over the test suites that run on several threads
#   package    the command line's Debian package built with cpack, checked, (as root)
#              installed, run and removed
#   big-input  the fast lines over a sparse file past 4 GiB against independent
#              implementations, plain and keyed
#   web        the WebAssembly build's npm package (Node) and offline page (headless Chromium)
#              against the command line
#   cluster    (root) tools/cluster-check.sh: a collection checked in shards, as a Slurm job
#              array on a one-node cluster and as GNU parallel jobs, merged into the list one
#              machine writes
#
# Each stage prints its name when it starts and its time when it ends; the first that fails
# stops the script.
set -euo pipefail
cd "$(dirname "$0")/.."

all_stages=(deps fresh native windows sanitize fuzz tsan package big-input web cluster)
jobs=$(nproc)

# The native build with the Windows program and the WebAssembly build: the native, windows,
# package, big-input, web and cluster stages share it, and the fresh stage configures it in a
# bare system.
main_build_options=(-DCMAKE_BUILD_TYPE=Release -DKORVADEX_REQUIRE_ORACLES=ON
                    -DKORVADEX_BUILD_WINDOWS=ON -DKORVADEX_BUILD_WEB=ON)
built=
main_build() {
  [ -z "$built" ] || return 0
  cmake -S . -B build "${main_build_options[@]}"
  cmake --build build -j"$jobs"
  built=1
}

stage_deps() {
  bash tools/install-deps.sh
}

stage_fresh() {
  bash tools/fresh-system-check.sh "${main_build_options[@]}"
}

stage_native() {
  main_build
  ctest --test-dir build --output-on-failure --no-tests=error -j"$jobs" -E '^(win|wine64)\.'
}

stage_windows() {
  main_build
  # -a: the first free display number, so that runs side by side do not meet.  Wine's
  # loader now and then dies of a signal while it starts a process (seen once in a few
  # hundred starts under load), so a test that fails is run once more, and the stage fails
  # when it fails again; the first failure stays in the log.
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    ctest --test-dir build --output-on-failure --no-tests=error -j"$jobs" -R '^(win|wine64)\.' \
    --repeat until-pass:2
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash tools/test-windows-zip.sh build
}

stage_sanitize() {
  cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKORVADEX_SANITIZE=ON \
    -DKORVADEX_REQUIRE_ORACLES=ON -DKORVADEX_BUILD_BENCH=OFF -DKORVADEX_BUILD_WINDOWS=OFF
  cmake --build build-sanitize -j"$jobs"
  ctest --test-dir build-sanitize --output-on-failure --no-tests=error -j"$jobs"
}

# tools/fuzz.sh runs the same targets longer.
stage_fuzz() {
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORVADEX_FUZZ=ON -DKORVADEX_SANITIZE=ON -DKORVADEX_BUILD_TESTS=OFF \
    -DKORVADEX_BUILD_BENCH=OFF -DKORVADEX_BUILD_WINDOWS=OFF
  cmake --build build-fuzz -j"$jobs"
  ctest --test-dir build-fuzz --output-on-failure --no-tests=error -j"$jobs"
}

# The suites whose code runs on several threads: reports with engine families on threads of
# their own, the command line's --jobs and its progress display.  Each must exist, so that a
# renamed suite is not silently left out.
tsan_suites=(LineStreams RobustThreads InputScheduler CliJobs CliProgress)

stage_tsan() {
  cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread \
    -DKORVADEX_BUILD_BENCH=OFF -DKORVADEX_BUILD_WINDOWS=OFF
  cmake --build build-tsan -j"$jobs" --target korvadex korvadex_tests korvadex_cli_tests
  local suite listing
  for suite in "${tsan_suites[@]}"; do
    listing=$(ctest --test-dir build-tsan -N -R "^$suite\\.")
    if ! grep -q '^Total Tests: [1-9]' <<<"$listing"; then
      echo "tsan: no test of the suite $suite" >&2
      return 1
    fi
  done
  local pattern
  pattern=$(IFS='|'; echo "${tsan_suites[*]}")
  TSAN_OPTIONS="halt_on_error=1 ${TSAN_OPTIONS:-}" ctest --test-dir build-tsan \
    --output-on-failure --no-tests=error -R "^($pattern)\\."
}

stage_package() {
  main_build
  bash tools/test-package.sh build
}

# Without --fast: every line that has an independent implementation (many minutes).
stage_big_input() {
  main_build
  tools/big_input_check.sh --fast build/korvadex
}

stage_web() {
  main_build
  web/tests/run.sh build
}

stage_cluster() {
  main_build
  bash tools/cluster-check.sh build
}

stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=("${all_stages[@]}")
for stage in "${stages[@]}"; do
  if [[ " ${all_stages[*]} " != *" $stage "* ]]; then
    echo "test.sh: no stage '$stage'; the stages: ${all_stages[*]}" >&2
    exit 2
  fi
done

# A failing command ends the script (set -e) inside the stage; the trap names the stage.
current=
trap 'status=$?; [ -z "$current" ] || [ $status -eq 0 ] ||
  echo "==== stage $current FAILED after $((SECONDS - start)) s" >&2' EXIT
for stage in "${stages[@]}"; do
  echo "==== stage $stage"
  start=$SECONDS
  current=$stage
  "stage_${stage//-/_}"
  current=
  echo "==== stage $stage passed in $((SECONDS - start)) s"
done

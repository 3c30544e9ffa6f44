#!/usr/bin/env bash
# Builds the command line (installing the compiler and CMake first when they are missing
# and this runs as root) and prints the report of FILE, or of the sample file.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
file="${1:-$root/samples/abc.txt}"

if ! command -v cmake >/dev/null || ! command -v g++ >/dev/null; then
  if [ "$(id -u)" -eq 0 ]; then
    . "$root/tools/update-indexes.sh"
    update_indexes
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends cmake make g++
  else
    echo "report: cmake and g++ are needed (apt-get install cmake make g++)" >&2
    exit 1
  fi
fi
cmake -S "$root" -B "$root/build-cli" -DCMAKE_BUILD_TYPE=Release -DKORVADEX_BUILD_TESTS=OFF -DKORVADEX_BUILD_BENCH=OFF -DKORVADEX_BUILD_WINDOWS=OFF >/dev/null
cmake --build "$root/build-cli" -j"$(nproc)" --target korvadex >/dev/null
exec "$root/build-cli/korvadex" "$file"

#!/usr/bin/env bash
# Builds the command line and prints the report of FILE, or of the sample file.  What the
# build needs (the compiler, CMake and make, the JSON headers) is installed first when it
# is missing and this runs as root; run as another user, it names the Debian packages to
# install in one line and exits 1.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
file="${1:-$root/samples/abc.txt}"

missing=()
command -v g++ >/dev/null || missing+=(g++)
command -v cmake >/dev/null || missing+=(cmake)
command -v make >/dev/null || missing+=(make)
[ -e /usr/include/nlohmann/json.hpp ] || [ -e /usr/local/include/nlohmann/json.hpp ] ||
  missing+=(nlohmann-json3-dev)
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "report: to build the command line, install (as root): apt-get install ${missing[*]}" >&2
    exit 1
  fi
  # Their output goes to standard error: standard output is the report alone.
  . "$root/tools/update-indexes.sh"
  update_indexes >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
fi
cmake -S "$root" -B "$root/build-cli" -DCMAKE_BUILD_TYPE=Release -DKORVADEX_BUILD_TESTS=OFF -DKORVADEX_BUILD_BENCH=OFF -DKORVADEX_BUILD_WINDOWS=OFF >/dev/null
cmake --build "$root/build-cli" -j"$(nproc)" --target korvadex >/dev/null
exec "$root/build-cli/korvadex" "$file"

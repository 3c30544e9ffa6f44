#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
# Run as root on Debian 12; does nothing for packages already there.
set -euo pipefail

packages=(
  # native build, tests, benchmarks
  cmake make g++ clang libclang-rt-14-dev libgtest-dev googletest libbenchmark-dev
  python3
  # independent implementations for the differential tests and the benchmarks
  zlib1g-dev libssl-dev libcrypto++-dev librhash-dev libmhash-dev php-cli
  # 32-bit Windows build, run under Wine in a virtual X display
  g++-mingw-w64-i686-posix wine wine32:i386 fonts-wine xvfb xauth xdotool imagemagick
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: run as root to install: ${missing[*]}" >&2
  exit 1
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -q
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need, and makes
# sure that 32-bit programs run (Wine's loader for the 32-bit Windows program is one).
# Run as root on Debian 12; does nothing for what is already there.
set -euo pipefail

packages=(
  # native build, tests, benchmarks
  cmake make g++ clang libclang-rt-14-dev libgtest-dev googletest libbenchmark-dev
  python3
  # the JSON lists of the command line (header only)
  nlohmann-json3-dev
  # independent implementations for the differential tests and the benchmarks
  zlib1g-dev libssl-dev libcrypto++-dev librhash-dev libmhash-dev php-cli
  # ISA-L: a benchmark peer; peer checksum tools whose lists the command-line tests
  # exchange (rhash is also an oracle of tools/big_input_check.sh), and man for the page
  libisal-dev coreutils rhash openssl man-db
  # the peer tools of bench/many_files.sh
  hashdeep b3sum
  # the system calls of a run, which the digest cache's test watches
  strace
  # 32-bit Windows build, run under Wine in a virtual X display
  g++-mingw-w64-i686-posix wine wine32:i386 fonts-wine xvfb xauth xdotool imagemagick
  # the command line for 64-bit Windows, run under 64-bit Wine
  g++-mingw-w64-x86-64-posix wine64
  # the bare Debian system that tools/fresh-system-check.sh builds from nothing in
  debootstrap
  # the one-node Slurm cluster and the local jobs of tools/cluster-check.sh, which starts
  # daemons of its own.  The packages start no service where policy-rc.d forbids it or no
  # runlevel is known (a container, a bare chroot), the Slurm daemons none without
  # /etc/slurm/slurm.conf, and a system munged that starts does not meet the check's.
  slurm-wlm munge parallel
  # the WebAssembly build (clang, lld, wasm32 libraries; node builds the package and the
  # page), and the browser its page is tested in
  lld wasi-libc libc++-14-dev-wasm32 libc++abi-14-dev-wasm32 libclang-rt-14-dev-wasm32 nodejs
  chromium
)
# Some builds of nodejs carry npm; Debian's comes apart.
command -v npm >/dev/null || packages+=(npm)

. "$(dirname "$0")/debian-archive.sh"

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: run as root to install: ${missing[*]}" >&2
    exit 1
  fi
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  update_indexes
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Some kernels (virtual machines among them) have their 32-bit emulation switched off and
# cannot start a 32-bit program at all.  There, i386 programs run through qemu's user-mode
# emulator, registered with the kernel's binfmt_misc.  Debian 12's qemu (7.2) cannot run
# Wine (it does not honour the address hints Wine reserves its memory with), so the
# emulator is taken from Debian 13's qemu-user package: one statically linked file, kept
# apart from the system's packages, fetched from the Debian archive that apt uses here.
wine_loader=/usr/lib/wine/wine
if "$wine_loader" --version >/dev/null 2>&1; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: this machine cannot run 32-bit programs; run as root to set up" \
       "their emulation" >&2
  exit 1
fi
qemu=/usr/local/lib/korvadex-qemu/qemu-i386
if [ ! -x "$qemu" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/lists/partial" "$work/archives/partial"
  mirror=$(. /etc/os-release && debian_archive_mirror "$VERSION_CODENAME")
  if [ -z "$mirror" ]; then
    echo "install-deps: apt's sources name no Debian archive to fetch qemu-user from" >&2
    exit 1
  fi
  echo "deb [arch=amd64] $mirror trixie main" >"$work/sources.list"
  apt_private=(-o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=-
               -o Dir::State::Lists="$work/lists" -o Dir::Cache::Archives="$work/archives"
               -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= -o APT::Sandbox::User=root)
  update_indexes "${apt_private[@]}"
  (cd "$work" && apt-get "${apt_private[@]}" download qemu-user)
  dpkg-deb -x "$work"/qemu-user_*.deb "$work/unpacked"
  install -D -m 755 "$work/unpacked/usr/bin/qemu-i386" "$qemu"
fi
binfmt=/proc/sys/fs/binfmt_misc
[ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
[ ! -e "$binfmt/qemu-i386" ] || echo -1 >"$binfmt/qemu-i386"
# i386 ELF executables and shared objects; F: the emulator is opened now, once for all.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
printf '%s' ":qemu-i386:M::$magic:$mask:$qemu:F" >"$binfmt/register"
if ! "$wine_loader" --version >/dev/null 2>&1; then
  echo "install-deps: 32-bit programs still do not run" >&2
  exit 1
fi
echo "install-deps: 32-bit programs run through $qemu"

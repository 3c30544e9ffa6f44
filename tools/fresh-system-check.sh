#!/usr/bin/env bash
# Checks that the first commands of the README work on a bare Debian system:
#
#   tools/fresh-system-check.sh [CMAKE ARGUMENT...]      (as root)
#
# It makes a minimal Debian system (debootstrap --variant=minbase) from the Debian archive
# this machine's apt uses, gives it every suite of that archive apt has here, puts the
# committed tree in it (git archive HEAD) and there:
#   1. runs tools/report.sh as an unprivileged user: it must exit 1 and say in one line on
#      standard error which packages to install;
#   2. runs tools/report.sh as root: it installs what it needs and prints the sample's report,
#      which must be tests/data/abc.report;
#   3. runs tools/test.sh deps and configures the full build with the CMake arguments given
#      (tools/test.sh passes those of its main build), and the two Windows trees as the
#      native tree's ExternalProjects configure them, so that a package deps forgets fails.
#
# Kept between runs in KORVADEX_FRESH_CACHE (/var/cache/korvadex-fresh), under a key made of
# the archive's entries: a tarball of the minimal system as debootstrap leaves it, and the
# .deb files apt downloads.  The packages installed into the system are never kept: each run
# begins from the minimal system, which is made anew once its tarball is a week old.
set -euo pipefail
fail() { echo "fresh-system-check: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "run it as root: it makes a Debian system with debootstrap and mounts"

# Its mounts are made in a mount namespace of its own: the rest of the machine sees none of
# them, and none outlives this script, even one that is killed.  The trap below still undoes
# each, before the system's tree is removed.
if [ -z "${KORVADEX_FRESH_NAMESPACE:-}" ]; then
  KORVADEX_FRESH_NAMESPACE=1 exec unshare --mount --propagation private -- bash "$0" "$@"
fi
cd "$(dirname "$0")/.."
command -v debootstrap >/dev/null || fail "debootstrap is missing: run tools/install-deps.sh"

# The kernel's binfmt_misc registrations hold for the whole machine, inside the bare system
# too.  Where the kernel cannot start 32-bit programs, tools/install-deps.sh registers qemu's
# emulator with the F flag: the kernel opens the emulator's file once, at registration, so
# the 32-bit programs of the bare system run through it though the file is not there, and
# install-deps there finds them running and leaves binfmt_misc alone.  Without that
# registration, install-deps in the bare system would register an emulator of its own, for
# the whole machine, from a tree that is about to be removed: so 32-bit programs must run
# here first.
/usr/lib/wine/wine --version >/dev/null 2>&1 ||
  fail "32-bit programs do not run on this machine yet: run tools/install-deps.sh first"

# Only the Debian archive's entries of apt's sources are given to the bare system (the
# updates and security suites among them), read through apt at run time.  Other archives
# this machine may use are left out: the bare system stands for a plain Debian system,
# which has none of them (nor their keys), and a package that only they offered would
# hide a step that the scripts forget.
. tools/debian-archive.sh
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
arch=$(dpkg --print-architecture)
mirror=$(debian_archive_mirror "$codename")
entries=$(debian_archive_entries)
[ -n "$mirror" ] || fail "apt's sources name no Debian archive of $codename"

cache=${KORVADEX_FRESH_CACHE:-/var/cache/korvadex-fresh}
key=$(printf '%s\n' "$codename" "$arch" "$mirror" "$entries" | sha256sum | cut -c1-16)
cache=$cache/$codename-$arch-$key
mkdir -p "$cache/archives/partial"
# One run at a time uses a cache: apt locks its archives, and the tarball is written once.
exec 9>"$cache/lock"
if ! flock -n 9; then
  echo "fresh-system-check: waiting for another run that uses $cache" >&2
  flock 9
fi

work=$(mktemp -d /var/tmp/korvadex-fresh.XXXXXX)
system=$work/system
mkdir "$system"
mounts_below() {
  awk -v top="$system" '$2 == top || index($2, top "/") == 1 { print $2 }' /proc/self/mounts
}
clean_up() {
  local status=$? proc mount
  # A process left in the system (a daemon an install started) would keep its mounts busy.
  for proc in /proc/[0-9]*; do
    if [ "$(readlink "$proc/root" 2>/dev/null)" = "$system" ]; then
      kill -KILL "${proc#/proc/}" 2>/dev/null || true
    fi
  done
  # Each mount below the system, the last made first; the tree is removed only once none is
  # left, and never beyond its own file system.
  for mount in $(mounts_below | tac); do
    umount "$mount" || true
  done
  if [ -n "$(mounts_below)" ]; then
    echo "fresh-system-check: mounts are left below $system; it is not removed" >&2
    [ "$status" -ne 0 ] || status=1
  else
    rm -rf --one-file-system "$work"
  fi
  exit "$status"
}
trap clean_up EXIT
trap 'exit 1' HUP INT TERM

# step TITLE COMMAND...: runs COMMAND with its output in a log, shown when it fails.
step() {
  local title=$1 start=$SECONDS
  shift
  if ! "$@" >"$work/log" 2>&1; then
    tail -n 40 "$work/log" >&2
    fail "$title failed"
  fi
  echo "fresh: $title ($((SECONDS - start)) s)"
}

# in_system USER COMMAND...: runs COMMAND in the bare system as USER (root or builder), in
# a clean environment.
in_system() {
  local user=$1 home=/root
  shift
  [ "$user" = root ] || home=/home/$user
  chroot --userspec="$user:$user" "$system" /usr/bin/env -i HOME="$home" LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}

tarball=$cache/minbase.tar
make_minbase() {
  debootstrap --variant=minbase --arch="$arch" "$codename" "$system" "$mirror"
  tar -C "$system" --one-file-system --numeric-owner -cf "$tarball.new" .
  mv "$tarball.new" "$tarball"
}
if [ -n "$(find "$tarball" -mtime -7 2>/dev/null)" ]; then
  step "minimal system unpacked from $tarball" \
    tar -C "$system" --numeric-owner -xpf "$tarball"
else
  step "minimal system made by debootstrap from $mirror" make_minbase
fi

sed 's/^/deb /' <<<"$entries" >"$system/etc/apt/sources.list"
cp -L /etc/resolv.conf "$system/etc/resolv.conf"
mount -t proc proc "$system/proc"
mount -t sysfs sysfs "$system/sys"
mount --bind /dev "$system/dev"
mount --bind /dev/pts "$system/dev/pts"
mount --bind "$cache/archives" "$system/var/cache/apt/archives"

in_system root useradd --create-home builder
git archive --prefix=korvadex/ HEAD | tar -C "$system/home/builder" -x
in_system root chown -R builder:builder /home/builder/korvadex
tree=/home/builder/korvadex

# 1. Without root and with nothing installed: one line naming the packages, and exit 1.
start=$SECONDS
status=0
in_system builder bash "$tree/tools/report.sh" >"$work/out" 2>"$work/err" || status=$?
if [ "$status" -ne 1 ] || [ -s "$work/out" ] || [ "$(wc -l <"$work/err")" -ne 1 ]; then
  cat "$work/out" "$work/err" >&2
  fail "report.sh without root: exit status $status; it should print one line on standard" \
       "error and exit 1"
fi
for package in nlohmann-json3-dev g++ cmake; do
  tr ' ' '\n' <"$work/err" | grep -qxF "$package" ||
    fail "report.sh without root does not name $package: $(cat "$work/err")"
done
echo "fresh: report.sh without root: $(cat "$work/err") ($((SECONDS - start)) s)"

# 2. As root: it installs what it needs and prints the report of the sample.
start=$SECONDS
if ! in_system root bash "$tree/tools/report.sh" >"$work/out" 2>"$work/err"; then
  tail -n 40 "$work/err" >&2
  fail "report.sh as root failed"
fi
if ! tr -d '\r' <"$system$tree/tests/data/abc.report" | diff - "$work/out" >&2; then
  fail "report.sh as root did not print the sample's report"
fi
echo "fresh: report.sh as root printed the sample's report ($((SECONDS - start)) s)"

# 3. Everything else, and the configure of the full build.  The Windows and WebAssembly
# trees are configured by the rules of their ExternalProjects' configure steps, with the arguments
# those pass, out of the Makefiles of the native tree: those rules need nothing built, where
# the targets would build korvadex_resgen and korvadex first (the configure only takes their
# paths, for build rules and tests).
step "tools/test.sh deps" in_system root bash -c "cd $tree && bash tools/test.sh deps"
step "configure: cmake $*" in_system root cmake -S "$tree" -B "$tree/build" "$@"
for project in korvadex_windows korvadex_windows64 korvadex_web; do
  step "configure: $project" in_system root make -C "$tree/build" \
    -f "CMakeFiles/$project.dir/build.make" \
    "$project-prefix/src/$project-stamp/$project-configure"
done
# Only the .deb files that the archive still offers stay in the cache.
step "apt-get autoclean" in_system root apt-get autoclean

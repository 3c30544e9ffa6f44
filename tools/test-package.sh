#!/usr/bin/env bash
# Builds the Debian package of the command line with cpack from the build folder given
# (default: build), installs it, runs what it installed, and removes it again:
# the program, its manual page and its bash completion must come and go with it.
# Installing needs root (Debian 12); without root the package is unpacked into a scratch
# folder instead, and the same files are checked there.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

cmake --build "$build" --target korvadex
fail() { echo "test-package: $*" >&2; exit 1; }

# cmake --install into a scratch prefix.
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/korvadex share/man/man1/korvadex.1 share/bash-completion/completions/korvadex; do
  [ -f "$prefix/$f" ] || fail "cmake --install put no $f"
done
# With the WebAssembly build (KORVADEX_BUILD_WEB), the offline page comes along.
page=
if [ -f "$build/web/korvadex.html" ]; then
  page=share/korvadex/korvadex.html
  cmp -s "$build/web/korvadex.html" "$prefix/$page" || fail "cmake --install put no $page"
fi
[ "$("$prefix/bin/korvadex" --version)" = "$("$build/korvadex" --version)" ] ||
  fail "the installed program is not the one built"
rm -rf "$prefix"
trap - EXIT

# The Debian package.
(cd "$build" && rm -f korvadex_*.deb && cpack -G DEB >/dev/null)
package=$(ls "$build"/korvadex_*.deb)
if [ "$(id -u)" -ne 0 ]; then
  unpacked=$(mktemp -d)
  trap 'rm -rf "$unpacked"' EXIT
  dpkg-deb -x "$package" "$unpacked"
  [ -x "$unpacked/usr/bin/korvadex" ] || fail "the package holds no usr/bin/korvadex"
  [ -f "$unpacked/usr/share/man/man1/korvadex.1" ] ||
    [ -f "$unpacked/usr/share/man/man1/korvadex.1.gz" ] || fail "the package holds no manual page"
  [ -f "$unpacked/usr/share/bash-completion/completions/korvadex" ] ||
    fail "the package holds no bash completion"
  [ -z "$page" ] || [ -f "$unpacked/usr/$page" ] || fail "the package holds no usr/$page"
  [ "$(printf abc | "$unpacked/usr/bin/korvadex" -a md5 --format gnu)" = \
    "900150983cd24fb0d6963f7d28e17f72  -" ] || fail "the packaged korvadex gives a wrong MD5"
  "$unpacked/usr/bin/korvadex" --self-test >/dev/null ||
    fail "the packaged korvadex fails its self-test"
  echo "test-package: $(basename "$package") holds a working program, its page and completion" \
    "(not installed: that needs root)"
  exit 0
fi
if dpkg-query -W -f='${Status}' korvadex 2>/dev/null | grep -q 'install ok installed'; then
  echo "test-package: korvadex is installed already; remove it first" >&2
  exit 1
fi
dpkg -i "$package" >/dev/null
trap 'dpkg -r korvadex >/dev/null 2>&1 || true' EXIT

[ "$(command -v korvadex)" = /usr/bin/korvadex ] || fail "korvadex is not /usr/bin/korvadex"
[ "$(printf abc | korvadex -a md5 --format gnu)" = "900150983cd24fb0d6963f7d28e17f72  -" ] ||
  fail "the installed korvadex gives a wrong MD5"
korvadex --self-test >/dev/null || fail "the installed korvadex fails its self-test"
[ "$(man -w korvadex)" = /usr/share/man/man1/korvadex.1 ] ||
  [ "$(man -w korvadex)" = /usr/share/man/man1/korvadex.1.gz ] || fail "man finds no page"
[ -f /usr/share/bash-completion/completions/korvadex ] || fail "no bash completion installed"
[ -z "$page" ] || [ -f "/usr/$page" ] || fail "the page is not installed"

dpkg -r korvadex >/dev/null
trap - EXIT
[ ! -e /usr/bin/korvadex ] || fail "/usr/bin/korvadex is left after removal"
[ ! -e /usr/share/bash-completion/completions/korvadex ] || fail "the completion is left"
[ -z "$page" ] || [ ! -e "/usr/$page" ] || fail "the page is left after removal"
echo "test-package: $(basename "$package") installs, runs and uninstalls"

#!/usr/bin/env bash
# Checks the Windows zip of a build folder: it unpacks it and runs both programs from it
# under Wine, the console program (64-bit Wine) for its self-test and a report equal to the
# native build's, the dialog program (32-bit Wine, in a virtual X display) until its window
# shows, which is then closed; with the WebAssembly build on, the page in it must be the
# build's korvadex.html.
#   tools/test-windows-zip.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: test-windows-zip.sh BUILD_DIR}" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$build" --target korvadex_windows_zip
zip=$(ls "$build"/korvadex-*-windows.zip)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cmake -E tar xf "$zip"
folder=$(basename "$zip" .zip)
for file in korvadex.exe korvadex-cli.exe README.md windows-quick-start.txt; do
  [ -f "$folder/$file" ] || { echo "test-windows-zip: $file is not in the zip" >&2; exit 1; }
done
# The offline page, when the build has the WebAssembly build on: the build's own.
if grep -q '^KORVADEX_BUILD_WEB:BOOL=ON$' "$build/CMakeCache.txt"; then
  cmp "$folder/korvadex.html" "$build/web/korvadex.html" ||
    { echo "test-windows-zip: korvadex.html is not the build's page" >&2; exit 1; }
fi

export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
(
  export WINEPREFIX=$build/win64/tests/win64/wineprefix WINEARCH=win64
  export KORVADEX_WINE=/usr/lib/wine/wine64
  sh "$source_dir/tests/win/wine_prefix.sh" start
  /usr/lib/wine/wine64 "$folder/korvadex-cli.exe" --self-test >/dev/null
  printf 'the zip' >input
  /usr/lib/wine/wine64 "$folder/korvadex-cli.exe" input >windows.txt
  "$build/korvadex" input | cmp - windows.txt
  sh "$source_dir/tests/win/wine_prefix.sh" stop
)
(
  export WINEPREFIX=$build/win/tests/win/wineprefix
  sh "$source_dir/tests/win/wine_prefix.sh" start
  probe() { wine "$build/win/tests/win/korvadex_probe.exe" "$@" </dev/null 2>/dev/null; }
  wine "$folder/korvadex.exe" </dev/null >/dev/null 2>&1 &
  program=$!
  probe wait 30000 || { echo "test-windows-zip: korvadex.exe shows no window" >&2; exit 1; }
  probe close
  wait "$program"
  sh "$source_dir/tests/win/wine_prefix.sh" stop
)
echo "test-windows-zip: $(basename "$zip"): both programs run from it"

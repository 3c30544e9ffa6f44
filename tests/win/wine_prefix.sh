#!/bin/sh
# The Wine prefix of the tests, at $WINEPREFIX (inside the build tree).
#   start: makes the prefix on first use (fonts, windows drawn by Wine itself, no crash
#          dialog) and starts a wineserver that outlives the single tests;
#   stop:  stops that wineserver.
set -eu
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
# The loader: Debian's `wine` runs the 32-bit one; KORVADEX_WINE names the 64-bit one for a
# 64-bit prefix.
wine=${KORVADEX_WINE:-wine}

if [ "${1:-}" = stop ]; then
  wineserver -k 2>/dev/null || true
  exit 0
fi

if [ "$wine" = wine ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "wine_prefix: 32-bit programs cannot run on this machine;" \
       "run tools/install-deps.sh as root" >&2
  exit 1
fi

mkdir -p "$WINEPREFIX"
log="$WINEPREFIX.log"
# Wine's helper processes outlive this script: they get the log, not a pipe of ctest's
# that it would wait on.
if ! (
  exec >"$log" 2>&1 </dev/null
  set -eux
  wineserver -k || true
  wineserver -p
  # The first program of a server session boots the prefix (services, drivers, the
  # desktop's helpers), and makes it first if it is new.  An explicit `wineboot -i` on a new
  # prefix booted it a second time: two sets of services ran side by side for the whole run.
  "$wine" cmd /c exit
  if [ ! -f "$WINEPREFIX/.korvadex-ready" ]; then
    # Without a window manager, managed windows get no caption and every hide waits for
    # an answer that never comes: let Wine draw and manage the windows itself.
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
    "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
    # Tahoma, MS Sans Serif and Marlett: Wine's own copies, which Wine does not load from
    # where Debian installs them.
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
    touch "$WINEPREFIX/.korvadex-ready"
  fi
); then
  cat "$log" >&2
  exit 1
fi

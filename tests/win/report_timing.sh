#!/usr/bin/env bash
# Times the report of one file in korvadex.exe under Wine beside the command line's.
#   report_timing.sh KORVADEX_EXE PROBE_EXE KORVADEX_CLI FILE
# The window's time runs from the click on Open in the open-file dialog until the input
# box shows the path, which the program sets once the whole report is computed; it
# includes closing the dialog and reading the file.  Needs DISPLAY and WINEPREFIX, as the
# end-to-end test does.
set -euo pipefail
exe=$1 probe_exe=$2 cli=$3 file=$(realpath "$4")

probe() { wine "$probe_exe" "$@" </dev/null 2>/dev/null; }
find_window() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }
wait_window() {
  local deadline=$((SECONDS + 60))
  until [ -n "$(find_window "$1")" ]; do
    [ $SECONDS -lt $deadline ] || { echo "no window $1" >&2; exit 1; }
    sleep 0.2
  done
}
click() {
  local x y
  read -r x y < <(PROBE_TITLE=$1 probe center "$2")
  xdotool mousemove "$x" "$y" click 1
}

seconds_since() { awk -v start="$1" -v now="$(date +%s.%N)" 'BEGIN { print now - start }'; }

start=$(date +%s.%N)
"$cli" "$file" >/dev/null
cli_seconds=$(seconds_since "$start")

path=$(winepath -w "$file")
wine "$exe" 2>/dev/null &
app=$!
wait_window kORv
click kORv 1213
wait_window Open
click Open 1148
xdotool key ctrl+a
xdotool type --delay 10 "$path"
PROBE_TITLE=Open probe waittext 1148 "$path" 30000 >/dev/null
read -r x y < <(PROBE_TITLE=Open probe center 1)  # the Open button
probe waittext 1001 "$path" 600000 >/dev/null &
watcher=$!
sleep 2  # the watcher is polling
start=$(date +%s.%N)
xdotool mousemove "$x" "$y" click 1
wait "$watcher"
window_seconds=$(seconds_since "$start")
probe close
wait "$app" || true

printf 'file: %s (%s bytes)\nwindow under Wine: %.2f s\ncommand line: %.2f s\n' \
  "$file" "$(stat -c %s "$file")" "$window_seconds" "$cli_seconds"

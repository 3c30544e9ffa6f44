#!/usr/bin/env bash
# End to end: korvadex.exe under Wine on a real X display, driven with xdotool like a user
# (Browse, typing into the real open-file dialog, About, Exit) and read from outside with
# the probe; the report and the saved file are compared with the command line's report.
#   end_to_end.sh KORVADEX_EXE PROBE_EXE KORVADEX_CLI WORK_DIR
# Leaves the screenshots main-window.png and about-window.png in WORK_DIR/screenshots.
set -euo pipefail
exe=$1 probe_exe=$2 cli=$3 work=$4

if [ -z "${DISPLAY:-}" ]; then
  echo "end_to_end: no X display, skipped"
  exit 77
fi

rm -rf "$work"
mkdir -p "$work/screenshots"
cd "$work"

probe() { wine "$probe_exe" "$@" </dev/null 2>/dev/null; }

# The X window of the visible top-level window with this exact caption.
find_window() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }

# wait_window TITLE [SECONDS]: 60 unless said.
wait_window() {
  local deadline=$((SECONDS + ${2:-60}))
  until [ -n "$(find_window "$1")" ]; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}

wait_window_gone() {
  local deadline=$((SECONDS + 60))
  while [ -n "$(find_window "$1")" ]; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}

screenshot() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$(find_window "$1")")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "screenshots/$2"
}

# Clicks the centre of control ID of the window captioned TITLE.
click() {
  local x y
  read -r x y < <(PROBE_TITLE=$1 probe center "$2")
  xdotool mousemove "$x" "$y" click "${3:-1}"
}

app=
# However the script ends, the program does not outlive it.
trap '[ -z "$app" ] || kill -9 "$app" 2>/dev/null || true' EXIT
fail() {
  echo "end_to_end: $*" >&2
  import -window root screenshots/failure.png 2>/dev/null || true
  exit 1
}

# What a failed start leaves to see, to stderr and start-failure.txt: whether the program
# ended or still runs, whether Wine has its window and X a window of it (mapped or not),
# the program's error messages and where each of its threads (and the desktop's) waits.
describe_failed_start() {
  local state status=0 name
  name=$(basename "$exe")
  if kill -0 "$app" 2>/dev/null; then
    state="still runs"
  else
    wait "$app" || status=$?
    state="ended with status $status"
  fi
  {
    echo "the program $state"
    if PROBE_TITLE=kORv timeout 20 wine "$probe_exe" get 0 </dev/null >/dev/null 2>&1; then
      echo "Wine has a window \"kORv\""
    else
      echo "Wine has no window \"kORv\" (probe status $?)"
    fi
    echo "X windows of the program (all, then visible):" \
      "$(xdotool search --classname "^$name\$" 2>&1 | tr '\n' ' ')/" \
      "$(xdotool search --onlyvisible --classname "^$name\$" 2>&1 | tr '\n' ' ')"
    echo "visible windows:"
    (xdotool search --onlyvisible --name . 2>&1 || true) | while read -r w; do
      case $w in
        *[!0-9]*) echo "  $w" ;;
        *) echo "  $w \"$(xdotool getwindowname "$w" 2>&1)\"" ;;
      esac
    done
    echo "the program's standard error:"
    cat app.err
    if [ "$state" = "still runs" ]; then
      echo "threads of the program and of the desktop:"
      timeout 60 wine winedbg --command "bt all" </dev/null 2>&1 |
        awk -v name="$name" '/^Backtracing for thread/ { show = index($0, name) || /explorer/ } show'
    fi
  } >start-failure.txt 2>&1
  cat start-failure.txt >&2
}

for i in $(seq 0 4999); do printf '%05d Korvadex end-to-end input\n' "$i"; done >input.bin
input=$(winepath -w "$PWD/input.bin")
"$cli" input.bin | sed 's/$/\r/' >expected-report.txt

[ -z "$(find_window kORv)" ] || fail "another main window is open on this display"
# Wine's error messages of this start are kept for a failure report.
WINEDEBUG=-all,err+all wine "$exe" 2>app.err &
app=$!
# The first start has been seen to miss a one-minute wait (cause not yet known): three.
if ! wait_window kORv 180; then
  describe_failed_start
  fail "the main window did not appear (more in $work/start-failure.txt)"
fi

# Browse, type the path into the open-file dialog, Open.
click kORv 1213
wait_window Open || fail "the open-file dialog did not appear"
click Open 1148
xdotool key ctrl+a  # the dialog may offer the last name of an earlier run
xdotool type --delay 10 "$input"
PROBE_TITLE=Open probe waittext 1148 "$input" 30000 >/dev/null || fail "typing into the open-file dialog"
click Open 1  # the Open button
probe waittext 1001 "$input" 60000 >/dev/null || fail "the input box does not show the path"
wait_window_gone Open || fail "the open-file dialog stayed"

probe get 1235 >shown-report.txt
cmp shown-report.txt expected-report.txt || fail "the report differs from the command line's"
screenshot kORv main-window.png

# Command 1216, as another program sends it: saved.txt in the folder the program started in.
probe cmd 1216
ruler=$(printf '=%.0s' $(seq 95))
{
  printf '%s\r\nInput: %s\r\n%s\r\n' "$ruler" "$input" "$ruler"
  cat expected-report.txt
  printf '\r\n%s\r\n- Generated by KORV -' "$ruler"
} >expected-saved.txt
cmp saved.txt expected-saved.txt || fail "saved.txt differs"

# A second Browse starts from the previous file; Cancel changes nothing.
click kORv 1213
wait_window Open || fail "the open-file dialog did not appear again"
offered=$(PROBE_TITLE=Open probe get 1148)
folder=$(PROBE_TITLE=Open probe get 1137)
[ "$offered" = input.bin ] || fail "the second Browse offers '$offered'"
[ "$folder" = "$(basename "$work")" ] || fail "the second Browse shows the folder '$folder'"
click Open 2
wait_window_gone Open || fail "Cancel did not close the open-file dialog"
[ "$(probe get 1001)" = "$input" ] || fail "Cancel changed the input box"

# About: drag it by its picture, then close it with the right button.
click kORv 1215
wait_window About || fail "the About window did not appear"
screenshot About about-window.png
read -r x y < <(PROBE_TITLE=About probe center 1224)
eval "$(xdotool getwindowgeometry --shell "$(find_window About)")"
before_x=$X before_y=$Y
xdotool mousemove "$x" "$y" mousedown 1 mousemove $((x + 30)) $((y + 20)) sleep 0.3 \
  mousemove $((x + 60)) $((y + 40)) sleep 0.3 mouseup 1
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$(find_window About)")"
[ "$X,$Y" = "$((before_x + 60)),$((before_y + 40))" ] ||
  fail "the About window did not follow the drag: $before_x,$before_y -> $X,$Y"
click About 1238 3
wait_window_gone About || fail "a right click did not close the About window"

# Exit ends the process with code 0.
click kORv 1220
code=0
wait "$app" || code=$?
app=
[ "$code" -eq 0 ] || fail "korvadex.exe ended with code $code"
echo "end_to_end: passed"

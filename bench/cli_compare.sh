#!/usr/bin/env bash
# Sets `korvadex --only LINE FILE` against the command-line tools a user would pick
# instead (rhash, openssl dgst, coreutils' *sum), whole processes over the same file, and
# against `dd if=FILE of=/dev/null bs=1M` as the speed of reading it.  Every run of every
# command comes in turn, round after round, so that the machine's drift falls on all of
# them alike; the medians are printed, with each line's ratio to its fastest peer tool
# and, for the checksums, to dd.  A peer tool counts only when it prints our value.
#
#   bench/cli_compare.sh [KORVADEX [FILE [RUNS]]]
#
# Without FILE it writes SIZE_MIB (default 512) MiB of random bytes to a temporary file;
# the file is read once before the rounds so that it sits in the page cache.  LINES
# (comma-separated report labels) chooses the lines; the default is every line that has a
# peer tool, and the five checksums.  RUNS defaults to 5.  BASELINE, the path of another
# build of korvadex, adds its runs of each line to every round, and its speed and the
# ratio of ours to it to the table.  The file's pages are cached as its writing left them;
# READ_BACK=1 drops them and reads the file back, so that they are cached as a file read
# from disk is (in larger pieces, on systems that cache in pieces of several sizes).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
exe="${1:-$root/build/korvadex}"
file="${2:-}"
runs="${3:-5}"
size_mib="${SIZE_MIB:-512}"
baseline="${BASELINE:-}"
lines="${LINES:-ADLER32,CRC16,CRC16CCITT,CRC32,CRC32b,MD4,MD5,RIPEMD-160,SHA-1,SHA-256,SHA-384,SHA-512,TIGER,WHIRLPOOL,GOST}"

if ! command -v rhash >/dev/null; then
  if [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends rhash >/dev/null
  else
    echo "cli_compare: rhash is missing (run as root to install it)" >&2
  fi
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
if [ -z "$file" ]; then
  file="$work/input"
  head -c $((size_mib << 20)) /dev/urandom >"$file"
fi
if [ "${READ_BACK:-0}" = 1 ]; then
  dd if="$file" iflag=nocache count=0 status=none
fi
cat "$file" >/dev/null
bytes="$(stat -c %s "$file")"

# The peer tools of a line, one command a line: "name|command ...", each printing the
# value as the first word of its output.
peers_of() {
  local ossl="openssl dgst -provider default -provider legacy -r"
  case "$1" in
    CRC32) echo "rhash|rhash --simple --crc32" ;;
    MD4) echo "rhash|rhash --simple --md4"; echo "openssl|$ossl -md4" ;;
    MD5) echo "rhash|rhash --simple --md5"; echo "openssl|$ossl -md5"; echo "md5sum|md5sum" ;;
    RIPEMD-160) echo "rhash|rhash --simple --ripemd160"; echo "openssl|$ossl -ripemd160" ;;
    SHA-1) echo "rhash|rhash --simple --sha1"; echo "openssl|$ossl -sha1"; echo "sha1sum|sha1sum" ;;
    SHA-256)
      echo "rhash|rhash --simple --sha256"; echo "openssl|$ossl -sha256"; echo "sha256sum|sha256sum" ;;
    SHA-384)
      echo "rhash|rhash --simple --sha384"; echo "openssl|$ossl -sha384"; echo "sha384sum|sha384sum" ;;
    SHA-512)
      echo "rhash|rhash --simple --sha512"; echo "openssl|$ossl -sha512"; echo "sha512sum|sha512sum" ;;
    TIGER) echo "rhash|rhash --simple --tiger" ;;
    WHIRLPOOL) echo "rhash|rhash --simple --whirlpool"; echo "openssl|$ossl -whirlpool" ;;
    GOST) echo "rhash|rhash --simple --gost94" ;;
    "SNEFRU128 (8 Passes)") echo "rhash|rhash --simple --snefru128" ;;
    "SNEFRU256 (8 Passes)") echo "rhash|rhash --simple --snefru256" ;;
  esac
}
is_checksum() { case "$1" in ADLER32 | CRC16 | CRC16CCITT | CRC32 | CRC32b) return 0 ;; esac; return 1; }

# Seconds of one run of the command line (shell words), its output to /dev/null.
seconds() {
  local start end
  start="$(date +%s%N)"
  eval "$1" >/dev/null 2>&1
  end="$(date +%s%N)"
  awk -v s="$start" -v e="$end" 'BEGIN {printf "%.4f\n", (e - s) / 1e9}'
}
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

# The commands to time, "key|command", after checking each peer's value against ours.
IFS=',' read -r -a wanted <<<"$lines"
: >"$work/commands"
quoted_file="$(printf '%q' "$file")"
echo "dd|dd if=$quoted_file of=/dev/null bs=1M" >>"$work/commands"
for line in "${wanted[@]}"; do
  ours="$("$exe" --lower --only "$line" "$file")" || { echo "korvadex: no line $line" >&2; exit 1; }
  ours="${ours##*: }"
  echo "$line/korvadex|$(printf '%q ' "$exe" --only "$line" "$file")" >>"$work/commands"
  if [ -n "$baseline" ]; then
    theirs="$("$baseline" --lower --only "$line" "$file")"
    if [ "${theirs##*: }" != "$ours" ]; then
      echo "$line: the baseline prints ${theirs##*: }, not $ours" >&2
      exit 1
    fi
    echo "$line/baseline/korvadex|$(printf '%q ' "$baseline" --only "$line" "$file")" >>"$work/commands"
  fi
  while IFS='|' read -r name command; do
    [ -n "$name" ] || continue
    tool="${command%% *}"
    command -v "$tool" >/dev/null || continue
    theirs="$($command "$file" 2>/dev/null | awk 'NR == 1 {print tolower($1)}')" || true
    if [ "$theirs" != "$ours" ]; then
      echo "$line: $name prints $theirs, not $ours: left out" >&2
      continue
    fi
    echo "$line/$name|$command $quoted_file" >>"$work/commands"
  done < <(peers_of "$line")
done

echo "file: $file, $bytes bytes; $runs rounds; $(nproc) cores; $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
[ "${READ_BACK:-0}" = 1 ] && echo "pages dropped and read back before the rounds"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for _ in $(seq "$runs"); do
  while IFS='|' read -r key command; do
    seconds "$command" >>"$work/$(echo "$key" | tr '/ ()' '____')"
  done <"$work/commands"
done
echo "load average after:  $(cut -d' ' -f1-3 /proc/loadavg)"

time_of() { median <"$work/$(echo "$1" | tr '/ ()' '____')"; }
rate() { awk -v b="$bytes" -v s="$1" 'BEGIN {printf "%.0f", (s > 0 ? b / s / 1e6 : 0)}'; }
dd_time="$(time_of dd)"
[ -z "$baseline" ] || echo "baseline: $baseline"
printf '\n%-21s %9s  %-24s %9s %6s  %8s' "median, MB/s" "korvadex" "fastest peer tool" "MB/s" "ratio" "vs dd"
[ -z "$baseline" ] && echo || printf ' %9s %8s %8s\n' "baseline" "vs base" "base/dd"
printf '%-21s %9s\n' "dd bs=1M (reading)" "$(rate "$dd_time")"
for line in "${wanted[@]}"; do
  ours_time="$(time_of "$line/korvadex")"
  best_name="-" best_time=""
  while IFS='|' read -r key _; do
    case "$key" in "$line"/korvadex | "$line"/*/*) continue ;; "$line"/*) ;; *) continue ;; esac
    t="$(time_of "$key")"
    if [ -z "$best_time" ] || awk -v a="$t" -v b="$best_time" 'BEGIN {exit !(a < b)}'; then
      best_time="$t" best_name="${key#"$line"/}"
    fi
  done <"$work/commands"
  peer_rate="-" ratio="-" vs_dd="-"
  if [ -n "$best_time" ]; then
    peer_rate="$(rate "$best_time")"
    ratio="$(awk -v p="$best_time" -v o="$ours_time" 'BEGIN {printf "%.2f", p / o}')"
  fi
  if is_checksum "$line"; then
    vs_dd="$(awk -v d="$dd_time" -v o="$ours_time" 'BEGIN {printf "%.2f", d / o}')"
  fi
  printf '%-21s %9s  %-24s %9s %6s  %8s' "$line" "$(rate "$ours_time")" "$best_name" \
    "$peer_rate" "$ratio" "$vs_dd"
  if [ -n "$baseline" ]; then
    base_time="$(time_of "$line/baseline/korvadex")"
    base_dd="-"
    if is_checksum "$line"; then
      base_dd="$(awk -v d="$dd_time" -v o="$base_time" 'BEGIN {printf "%.2f", d / o}')"
    fi
    printf ' %9s %8s %8s' "$(rate "$base_time")" \
      "$(awk -v b="$base_time" -v o="$ours_time" 'BEGIN {printf "%.2f", b / o}')" "$base_dd"
  fi
  echo
done

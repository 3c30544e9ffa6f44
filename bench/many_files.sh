#!/usr/bin/env bash
# Times the command line over many files, whole processes, beside the tools a user would
# run instead.  Three sets of random bytes are written to a scratch folder (and so sit in
# the page cache): 10 000 files of 4 KiB, 1 000 of 1 MiB and 64 of 4 MiB.  The jobs:
#
#   sha256   korvadex -r -a sha256 SET, against find | xargs -0 sha256sum, rhash -r,
#            hashdeep -r and find | xargs -0 -P N of each of them
#   md2      korvadex -r -a md2,sha256 SET (no peer computes MD2)
#   report   korvadex -r SET, the forty lines, against rhash -r and hashdeep -r (and their
#            xargs -P N) computing the lines they share with it: 13 and 5 of the forty
#   list     korvadex -r -a sha256 --format gnu SET > LIST, against sha256sum > LIST
#   check    korvadex -c LIST, against sha256sum -c LIST
#   blake3   find | xargs -0 b3sum: BLAKE3 only, its cost per file, not a bar
#
# Every run of every command of a set comes in turn, round after round, so that the
# machine's drift falls on all of them alike; the table of each set gives the median wall
# and CPU (user + system, children included) seconds, the wall milliseconds per file, and
# each row's wall time over the first korvadex's in the same job; under it, for sha256, list
# and check, the fastest peer and the first korvadex's time over its.  Before the rounds, each
# tool's values over a sample file must equal korvadex's where they share the algorithm,
# and the lists of the builds and of sha256sum must hold the same lines; over each set,
# each build's output of each job must be byte for byte that of the first build with
# --jobs 1.
#
#   bench/many_files.sh [--quick] [--runs N] [--korvadex PATH]... [--sets small,medium,large]
#                       [--procs N] [--jobs LIST] [--dir DIR]
#
#   --quick          1 000 files of 4 KiB, 32 of 1 MiB and 8 of 4 MiB: a smoke test
#   --runs N         rounds (default 5, 3 with --quick)
#   --korvadex PATH  the build to time (default build/korvadex); given twice or more, every
#                    build has its rows in the same tables, runs alternating (main's and a
#                    branch's side by side)
#   --sets LIST      the sets to time (default all three)
#   --procs N        processes of xargs -P (default the number of cores); each takes a
#                    quarter of a process's share of the files
#   --jobs LIST      the jobs to time, of sha256, md2, report, list, check and blake3
#                    (default all)
#   --dir DIR        where the scratch folder is made (default $TMPDIR or /tmp)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

runs="" quick=0 sets="small,medium,large" jobs="sha256,md2,report,list,check,blake3" procs="$(nproc)" parent="${TMPDIR:-/tmp}"
builds=()
usage() {
  sed -n '/^#   bench/,/^#   --dir/p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) quick=1 ;;
    --runs) runs="${2:?}"; shift ;;
    --korvadex) builds+=("$(realpath "${2:?}")"); shift ;;
    --sets) sets="${2:?}"; shift ;;
    --procs) procs="${2:?}"; shift ;;
    --dir) parent="${2:?}"; shift ;;
    --jobs) jobs="${2:?}"; shift ;;
    *) usage ;;
  esac
  shift
done
[ -n "$runs" ] || runs=$((quick ? 3 : 5))
[ ${#builds[@]} -gt 0 ] || builds=("$root/build/korvadex")
for exe in "${builds[@]}"; do
  [ -x "$exe" ] || { echo "many_files: $exe is not an executable" >&2; exit 1; }
done
case "$runs$procs" in *[!0-9]*) usage ;; esac
if [ "$runs" -lt 1 ] || [ "$procs" -lt 1 ]; then usage; fi

# A set: "name count KiB".
set_spec() {
  case "$quick:$1" in
    0:small) echo "small 10000 4" ;;
    0:medium) echo "medium 1000 1024" ;;
    0:large) echo "large 64 4096" ;;
    1:small) echo "small 1000 4" ;;
    1:medium) echo "medium 32 1024" ;;
    1:large) echo "large 8 4096" ;;
    *) echo "many_files: no set $1 (small, medium or large)" >&2; return 1 ;;
  esac
}
IFS=',' read -r -a wanted_sets <<<"$sets"
for s in "${wanted_sets[@]}"; do set_spec "$s" >/dev/null; done

have() { command -v "$1" >/dev/null; }
for tool in rhash hashdeep b3sum; do
  have "$tool" || echo "many_files: $tool is missing: its rows are left out" \
    "(tools/install-deps.sh installs it)" >&2
done

work="$(mktemp -d "$parent/korvadex-many-files.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cd "$work"

# The lines rhash and hashdeep share with the report, by their option names.
rhash_lines="--crc32 --md4 --md5 --sha1 --sha256 --sha384 --sha512 --ripemd160 --tiger"
rhash_lines+=" --whirlpool --gost94 --snefru128 --snefru256"
hashdeep_lines="md5,sha1,sha256,tiger,whirlpool"

fail() {
  echo "many_files: $*" >&2
  exit 1
}

# korvadex's value of LABEL in REPORT (a file), in lower case.
value_of() { awk -v l="$1: " 'index($0, l) == 1 {print tolower(substr($0, length(l) + 1))}' "$2"; }

# The sample check: every build's report, and its one- and two-line runs, against the
# others and against each peer's value of the lines it shares.
check_sample() {
  local sample=sample.bin exe report=sample.0 label option theirs i=0
  head -c 100000 /dev/urandom >"$sample"
  for exe in "${builds[@]}"; do
    "$exe" "$sample" >"sample.$i" || fail "$exe failed over the sample"
    [ "$i" -eq 0 ] || cmp -s "sample.$i" "$report" ||
      fail "$exe and ${builds[0]} print different reports of the sample"
    [ "$("$exe" -a sha256 "$sample")" = "$(grep '^SHA-256: ' "sample.$i")" ] ||
      fail "$exe -a sha256 differs from its report"
    [ "$("$exe" -a md2,sha256 "$sample")" = "$(grep -E '^(MD2|SHA-256): ' "sample.$i")" ] ||
      fail "$exe -a md2,sha256 differs from its report"
    i=$((i + 1))
  done
  [ "$(sha256sum "$sample" | cut -d' ' -f1)" = "$(value_of SHA-256 "$report")" ] ||
    fail "sha256sum and korvadex differ over the sample"
  if have rhash; then
    for option in $rhash_lines; do
      case "$option" in
        --crc32) label=CRC32 ;; --md4) label=MD4 ;; --md5) label=MD5 ;; --sha1) label=SHA-1 ;;
        --sha256) label=SHA-256 ;; --sha384) label=SHA-384 ;; --sha512) label=SHA-512 ;;
        --ripemd160) label=RIPEMD-160 ;; --tiger) label=TIGER ;; --whirlpool) label=WHIRLPOOL ;;
        --gost94) label=GOST ;; --snefru128) label="SNEFRU128 (8 Passes)" ;;
        --snefru256) label="SNEFRU256 (8 Passes)" ;;
      esac
      theirs="$(rhash --simple "$option" "$sample" | cut -d' ' -f1)"
      [ "$theirs" = "$(value_of "$label" "$report")" ] ||
        fail "rhash $option prints $theirs, korvadex $(value_of "$label" "$report")"
    done
  fi
  if have hashdeep; then
    theirs="$(hashdeep -c "$hashdeep_lines" "$sample" | grep -v '^[%#]' | cut -d, -f2-6)"
    [ "$theirs" = "$(for label in MD5 SHA-1 SHA-256 TIGER WHIRLPOOL; do
      value_of "$label" "$report"
    done | paste -sd,)" ] || fail "hashdeep's values differ from korvadex's: $theirs"
  fi
  # BLAKE3 of no bytes, from the function's published test vectors.
  if have b3sum; then
    [ "$(b3sum </dev/null | cut -d' ' -f1)" = \
      af1349b9f5f9a1a6a0404dea36dcc9499bcb25c9adc112b7cc9a93cae41f3262 ] ||
      fail "b3sum's value of no bytes is wrong"
  fi
}

# Writes the set: COUNT files of KIB KiB of random bytes in the folder NAME.
make_set() {
  mkdir "$1"
  head -c $(($2 * $3 * 1024)) /dev/urandom | (cd "$1" && split -a 5 -d -b $(($3 * 1024)) - f)
  [ "$(find "$1" -type f | wc -l)" -eq "$2" ] || fail "the set $1 has not $2 files"
}

# The commands timed over the set NAME of COUNT files, one "job<TAB>label<TAB>command" a
# line, job by job, each job's korvadex rows first.
commands_of() {
  local set=$1 count=$2 per find xp
  per=$(((count + 4 * procs - 1) / (4 * procs)))
  find="find $set -type f -print0 | xargs -0"
  xp="find $set -type f -print0 | xargs -0 -P $procs -n $per"
  ours sha256 "-r -a sha256" "$set"
  row sha256 "$find sha256sum" "$find sha256sum"
  row sha256 "xargs -P $procs sha256sum" "$xp sha256sum"
  walker sha256 rhash --sha256 --sha256
  walker sha256 hashdeep "-c sha256" "-c sha256"
  ours md2 "-r -a md2,sha256" "$set"
  ours report "-r" "$set"
  walker report rhash "$rhash_lines" "(13 lines)"
  walker report hashdeep "-c $hashdeep_lines" "(5 lines)"
  ours list "-r -a sha256 --format gnu" "$set >out.list"
  row list "$find sha256sum" "$find sha256sum >out.list"
  row list "xargs -P $procs sha256sum" "$xp sha256sum >out.list"
  ours check "-c" "$set.list"
  row check "sha256sum -c" "sha256sum -c $set.list"
  if have b3sum; then
    row blake3 "$find b3sum" "$find b3sum"
    row blake3 "xargs -P $procs b3sum" "$xp b3sum"
  fi
}
# A peer TOOL's rows in JOB, when it is installed: its own walk (-r) over commands_of's set,
# and find | xargs -P; OPTIONS, then how the label shows them.
walker() {
  have "$2" || return 0
  row "$1" "$2 -r $4" "$2 -r $3 $set"
  row "$1" "xargs -P $procs $2 $4" "$xp $2 $3"
}
row() { printf '%s\t%s\t%s\n' "$1" "$2" "$3"; }
# One row per build: JOB, the options (shown in the label), then the operands.
ours() {
  local i
  for i in "${!builds[@]}"; do
    row "$1" "korvadex#$i $2" "$(printf '%q' "${builds[$i]}") $2 $3"
  done
}

# Runs the command once; appends "wall cpu" in seconds to FILE.
time_into() {
  local TIMEFORMAT='%3R %3U %3S' wall user sys
  { time eval "$1" >/dev/null 2>err.txt; } 2>time.txt ||
    fail "failed (status $?): $1: $(head -n 3 err.txt)"
  read -r wall user sys <time.txt
  awk -v w="$wall" -v u="$user" -v s="$sys" 'BEGIN {printf "%.3f %.3f\n", w, u + s}' >>"$2"
}
sort_list() { LC_ALL=C sort "$1"; }

# Runs the command once; its output (the list it writes, for the list job) goes to FILE.
output_into() {
  eval "$1" >"$2" 2>err.txt || fail "failed (status $?): $1: $(head -n 3 err.txt)"
  [ "$3" != list ] || mv out.list "$2"
}

# Each build's output of each job of commands.txt, run once, equals the first build's
# with --jobs 1: byte for byte, in the same order.
same_output() {
  local job label command
  while IFS=$'\t' read -r job label command; do
    case "$label" in korvadex#*) ;; *) continue ;; esac
    output_into "$command" ours.out "$job"
    if [ "${label%% *}" = "korvadex#0" ]; then
      output_into "${command%% *} --jobs 1 ${command#* }" serial.out "$job"
    fi
    cmp -s ours.out serial.out || fail "$job: $label prints other bytes than korvadex#0 --jobs 1"
  done <commands.txt
}
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

echo "processor: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')" \
  "(family $(grep -m1 'cpu family' /proc/cpuinfo | cut -d: -f2 | tr -d ' ')," \
  "model $(grep -m1 '^model[[:space:]]*:' /proc/cpuinfo | cut -d: -f2 | tr -d ' ')), $(nproc) cores"
echo "tree: $(git -C "$root" describe --always --dirty 2>/dev/null || echo unknown)"
i=0
for exe in "${builds[@]}"; do
  commit="$(git -C "$(dirname "$exe")" describe --always --dirty 2>/dev/null || echo "no git")"
  echo "korvadex#$i: $exe ($("$exe" --version), built from the tree at $commit)"
  i=$((i + 1))
done
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$runs rounds; xargs -P $procs; scratch folder $work"
check_sample

for s in "${wanted_sets[@]}"; do
  read -r name count kib <<<"$(set_spec "$s")"
  make_set "$name" "$count" "$kib"
  cat "$name"/* >/dev/null
  # The builds' lists and sha256sum's hold the same lines; the list the check jobs read.
  find "$name" -type f -print0 | xargs -0 sha256sum >peer.list
  i=0
  for exe in "${builds[@]}"; do
    "$exe" -r -a sha256 --format gnu "$name" >"build$i.list"
    cmp -s <(sort_list "build$i.list") <(sort_list peer.list) ||
      fail "$exe's list of $name differs from sha256sum's"
    i=$((i + 1))
  done
  mv build0.list "$name.list"
  sha256sum -c --quiet "$name.list" || fail "sha256sum -c rejects korvadex's list"

  commands_of "$name" "$count" | awk -F'\t' -v want=",$jobs," 'index(want, "," $1 ",")' \
    >commands.txt
  same_output
  rm -f -- *.times
  for _ in $(seq "$runs"); do
    n=0
    while IFS=$'\t' read -r _ _ command; do
      time_into "$command" "$n.times"
      n=$((n + 1))
    done <commands.txt
  done

  size="$kib KiB"
  [ $((kib % 1024)) -ne 0 ] || size="$((kib / 1024)) MiB"
  mib="$(awk -v c="$count" -v k="$kib" 'BEGIN {printf "%.1f", c * k / 1024}')"
  echo
  echo "### $count files of $size ($mib MiB), median of $runs"
  echo
  echo "| job | command | wall s | CPU s | wall ms per file | wall / korvadex#0 |"
  echo "|---|---|--:|--:|--:|--:|"
  n=0 base=""
  while IFS=$'\t' read -r job label _; do
    wall="$(cut -d' ' -f1 "$n.times" | median)"
    cpu="$(cut -d' ' -f2 "$n.times" | median)"
    [ "${label%% *}" != "korvadex#0" ] || base="$wall"
    ratio="-"
    if [ "$job" != blake3 ]; then
      ratio="$(awk -v w="$wall" -v b="$base" 'BEGIN {printf "%.2f", (b > 0 ? w / b : 0)}')"
    fi
    per_file="$(awk -v w="$wall" -v c="$count" 'BEGIN {printf "%.3f", w * 1000 / c}')"
    echo "| $job | ${label//|/\\|} | $wall | $cpu | $per_file | $ratio |"
    case "$job:$label" in
      report:* | blake3:* | *:korvadex#*) ;;
      *) echo "$job $wall $label" >>peers.txt ;;
    esac
    n=$((n + 1))
  done <commands.txt
  # The bars: in the jobs whose peers compute all that korvadex does, the fastest of them.
  echo
  for job in sha256 list check; do
    best="$(awk -v j="$job" '$1 == j' peers.txt | sort -k2,2n | head -n 1)"
    [ -n "$best" ] || continue
    read -r _ wall label <<<"$best"
    first="$(awk -F'\t' -v j="$job" '$1 == j && $2 ~ /^korvadex#0 / {print NR - 1}' commands.txt)"
    echo "$job: fastest peer $label, $wall s; korvadex#0 takes" \
      "$(awk -v o="$(cut -d' ' -f1 "$first.times" | median)" -v p="$wall" \
        'BEGIN {printf "%.2f", o / p}') of it"
  done
  rm -f peers.txt
  rm -rf -- "$name"
done
echo
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"

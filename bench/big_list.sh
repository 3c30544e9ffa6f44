#!/usr/bin/env bash
# The memory and time of the commands that read a large checksum list: a tree of FILES small
# files (0-2 KiB, three folders deep) and lists of ENTRIES entries that hold those files, with
# their true digests, among made-up ones (random names and random values), spread through
# them.  Two lists: gnu lines of MD5 ("hex  name", as --format gnu writes) and JSON Lines with
# MD5 and SHA-256 (as --format json writes).  Each of these runs under /usr/bin/time -v, in
# the tree's parent folder, its output to /dev/null, and its wall time, maximum resident set
# (mapped pages of the list included) and exit status are printed:
#   korvadex -c LIST --ignore-missing             (gnu and JSON)
#   korvadex --known LIST -r tree                 (gnu and JSON)
#   korvadex --audit LIST -r tree                 (gnu and JSON)
#   korvadex --update COPY-OF-LIST -r tree        (gnu)
#   korvadex --merge of the lists of --audit LIST -r tree in 2 shards   (JSON)
#   korvadex --merge of the lists of --update COPY-OF-LIST -r tree in 2 shards   (gnu)
# then --audit and --update again after tree is renamed (every file moved).
#
#   bench/big_list.sh [SCRATCH]          (default: a new folder under TMPDIR, removed after)
#   ENTRIES=100000 bench/big_list.sh     (a quick run; default 10000000 entries)
#   RUNS="check known" bench/big_list.sh    (only those of -c and --known; default
#                                            "check known audit update merge")
# KORVADEX names the program (default build/korvadex), FILES the files of the tree
# (default 100000, or ENTRIES / 10 when that is fewer).  A SCRATCH given is kept, and lists
# already made in it for the same ENTRIES and FILES are used again.  The lists of 10^7
# entries take about 2.6 GB.
set -euo pipefail
cd "$(dirname "$0")/.."
exe=$(realpath "${KORVADEX:-build/korvadex}")
entries=${ENTRIES:-10000000}
runs=" ${RUNS:-check known audit update merge} "
files=${FILES:-$((entries / 10 < 100000 ? entries / 10 : 100000))}
if [ $# -ge 1 ]; then
  mkdir -p "$1"
  dir=$(realpath "$1")
else
  dir=$(mktemp -d "${TMPDIR:-/tmp}/big_list.XXXXXX")
  trap 'rm -rf "$dir"' EXIT
fi
cd "$dir"
stamp="$entries entries, $files files"

if [ "$(cat made 2>/dev/null)" != "$stamp" ]; then
  rm -rf tree moved made list.md5 list.json
  echo "making $files files and lists of $entries entries in $dir" >&2
  # The tree: tree/AA/BB/CC/fNNNNNNN, random sizes and bytes.
  python3 - "$files" <<'PY'
import os, random, sys
count = int(sys.argv[1])
random.seed(1)
blob = os.urandom(4096)
for i in range(count):
    folder = "tree/%02d/%02d/%02d" % (i % 7, i % 11, i % 13)
    os.makedirs(folder, exist_ok=True)
    size = random.randrange(2049)
    start = random.randrange(4096 - size + 1)
    with open("%s/f%07d" % (folder, i), "wb") as f:
        f.write(blob[start:start + size])
PY
  "$exe" -r -a md5 --format gnu tree > real.md5
  "$exe" -r -a md5,sha256 --format json tree > real.json
  # The made-up entries, in the shape of the real ones (the first real JSON line is the
  # pattern), with a real one after every (ENTRIES / FILES - 1) of them.
  python3 - "$entries" <<'PY'
import os, re, sys
total = int(sys.argv[1])
real_md5 = open("real.md5").read().splitlines(True)
real_json = open("real.json").read().splitlines(True)
made = total - len(real_md5)
pattern = real_json[0].replace("%", "%%")
pattern = re.sub(r'"name":"[^"]*"', '"name":"%s"', pattern, count=1)
pattern = re.sub(r'"size":\d+', '"size":%d', pattern, count=1)
pattern = re.sub(r'"hex":"[0-9a-f]{32}"', '"hex":"%s"', pattern, count=1)
pattern = re.sub(r'"hex":"[0-9a-f]{64}"', '"hex":"%s"', pattern, count=1)
assert pattern.count("%s") == 3 and pattern.count("%d") == 1, pattern
every = max(1, made // max(1, len(real_md5)))
chunk = 100000
with open("list.md5", "w") as gnu, open("list.json", "w") as js:
    taken = 0
    done = 0
    while done < made:
        n = min(chunk, made - done)
        raw = os.urandom(56 * n).hex()
        sizes = os.urandom(2 * n)
        g, j = [], []
        for i in range(n):
            at = 112 * i
            name = "made-up/%s/%s.dat" % (raw[at:at + 4], raw[at + 4:at + 16])
            md5 = raw[at + 16:at + 48]
            sha = raw[at + 48:at + 112]
            g.append("%s  %s\n" % (md5, name))
            j.append(pattern % (name, sizes[2 * i] << 8 | sizes[2 * i + 1], md5, sha))
            if (done + i + 1) % every == 0 and taken < len(real_md5):
                g.append(real_md5[taken])
                j.append(real_json[taken])
                taken += 1
        gnu.writelines(g)
        js.writelines(j)
        done += n
    gnu.writelines(real_md5[taken:])
    js.writelines(real_json[taken:])
PY
  rm real.md5 real.json
  echo "$stamp" > made
fi
if [ -d moved ]; then mv moved tree; fi
echo "korvadex: $exe" >&2
echo "list.md5: $(wc -l < list.md5) lines, $(($(stat -L -c %s list.md5) / 1048576)) MiB;" \
  "list.json: $(($(stat -L -c %s list.json) / 1048576)) MiB; $files files" >&2

measure() {
  local what=$1
  shift
  local report=$dir/time.txt status=0
  /usr/bin/time -v -o "$report" "$@" > /dev/null 2> "$dir/errors.txt" || status=$?
  local kib elapsed seconds
  kib=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$report")
  elapsed=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$report")
  seconds=$(awk -v t="$elapsed" 'BEGIN { n = split(t, p, ":"); s = 0;
    for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }')
  printf '%-34s %8.2f s %9d KiB (%6.1f MiB)  exit %d\n' "$what" "$seconds" "$kib" \
    "$(awk -v k="$kib" 'BEGIN { print k / 1024 }')" "$status"
  tail -n 3 "$dir/errors.txt" | sed 's/^/    /' | cut -c1-200
}

echo "$entries entries, $files files: wall time, maximum resident set, exit status"
if [[ $runs == *" check "* ]]; then
  measure "-c gnu --ignore-missing" "$exe" -c list.md5 --ignore-missing
  measure "-c json --ignore-missing" "$exe" -c list.json --ignore-missing
fi
if [[ $runs == *" known "* ]]; then
  measure "--known gnu -r tree" "$exe" --known list.md5 -r tree
  measure "--known json -r tree" "$exe" --known list.json -r tree
fi
if [[ $runs == *" merge "* ]]; then
  # The shards' runs are not measured: each reads the whole list, as --audit does.
  for k in 1 2; do
    "$exe" --audit list.json -r tree --shard $k/2 -o audit-$k.json 2> /dev/null || true
  done
  measure "--merge of --audit json, 2 shards" "$exe" --merge audit-1.json audit-2.json
  cp list.md5 copy.md5
  for k in 1 2; do
    "$exe" --update copy.md5 -r tree --shard $k/2 -o update-$k.json 2> /dev/null || true
  done
  measure "--merge of --update gnu, 2 shards" "$exe" --merge update-1.json update-2.json
  rm -f audit-1.json audit-2.json update-1.json update-2.json
fi
for moved in no yes; do
  folder=tree
  if [ $moved = yes ]; then
    [[ $runs == *" audit "* || $runs == *" update "* ]] || break
    mv tree moved
    folder=moved
  fi
  if [[ $runs == *" audit "* ]]; then
    measure "--audit gnu -r $folder" "$exe" --audit list.md5 -r $folder
    measure "--audit json -r $folder" "$exe" --audit list.json -r $folder
  fi
  if [[ $runs == *" update "* ]]; then
    cp list.md5 copy.md5
    measure "--update copy of gnu -r $folder" "$exe" --update copy.md5 -r $folder
  fi
done
if [ -d moved ]; then mv moved tree; fi
rm -f copy.md5 time.txt errors.txt

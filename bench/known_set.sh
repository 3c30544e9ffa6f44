#!/usr/bin/env bash
# Loading a set of known digests: the time (elapsed) and the maximum resident set size
# (/usr/bin/time -v) of
#   korvadex --known LIST FILE
# for a LIST of COUNT SHA-256 digests (default 1 000 000) in three forms: sha256sum's lines
# ("hex  NAME"), JSON Lines of --format json, and CSV of --format csv.  The last digest of
# each list is FILE's own, so that FILE must be printed: a load that dropped digests fails.
# Each run must take at most 10 s and 256 MiB.  The processor time (user and system) is
# given beside the elapsed time, which a busy machine stretches.
#
#   bench/known_set.sh [KORVADEX] [COUNT]      (default build/korvadex, 1000000)
set -euo pipefail
cd "$(dirname "$0")/.."
exe=$(realpath "${1:-build/korvadex}")
count=${2:-1000000}
limit_kib=$((256 * 1024))
limit_seconds=10
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf 'the file looked up\n' > "$dir/file"

# The lists: random digests under made-up names, the file's own last.
python3 - "$dir" "$count" <<'PY'
import hashlib, json, os, sys
folder, count = sys.argv[1], int(sys.argv[2])
own = hashlib.sha256(open(os.path.join(folder, "file"), "rb").read()).hexdigest()
random = os.urandom(32 * (count - 1))
digests = [random[32 * i:32 * i + 32].hex() for i in range(count - 1)] + [own]
with open(os.path.join(folder, "list.sha256"), "w") as gnu, \
     open(os.path.join(folder, "list.json"), "w") as js, \
     open(os.path.join(folder, "list.csv"), "w", newline="") as csv:
    csv.write("list_version,name,name_base64,size,modified,SHA-256\r\n")
    for i, hex in enumerate(digests):
        name = "files/%07d.bin" % i
        gnu.write("%s  %s\n" % (hex, name))
        js.write(json.dumps({"list_version": 1, "name": name, "size": 65536,
                             "modified": "2024-02-29T13:45:07.000000123Z",
                             "digests": {"SHA-256": {"hex": hex,
                                                     "names": ["sha256", "sha2-256", "SHA256"]}}},
                            separators=(",", ":")) + "\n")
        csv.write("1,%s,,65536,2024-02-29T13:45:07.000000123Z,%s\r\n" % (name, hex))
PY

failed=0
for form in sha256 json csv; do
  list=$dir/list.$form
  report=$dir/time.txt
  /usr/bin/time -v -o "$report" "$exe" --known "$list" "$dir/file" > "$dir/out.txt" || true
  kib=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$report")
  elapsed=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$report")
  seconds=$(awk -v t="$elapsed" 'BEGIN { n = split(t, p, ":"); s = 0;
    for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }')
  cpu=$(awk -F': ' '/User time|System time/ {s += $2} END {print s}' "$report")
  verdict=ok
  if [ "$(cat "$dir/out.txt")" != "$dir/file" ] || [ "$kib" -gt "$limit_kib" ] ||
     awk -v s="$seconds" -v l="$limit_seconds" 'BEGIN { exit !(s > l) }'; then
    verdict=FAIL
    failed=1
  fi
  printf '%-4s %-6s %8d digests %6.2f s (%5.2f s CPU) %7d KiB max resident  (list %d MiB)\n' \
    "$verdict" "$form" "$count" "$seconds" "$cpu" "$kib" $(( $(stat -c %s "$list") / 1048576 ))
done
exit $failed

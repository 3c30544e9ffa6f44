#!/usr/bin/env bash
# Checks that a collection checked in shards on a cluster merges into the very list that one
# machine writes:
#
#   tools/cluster-check.sh BUILD      (as root: it starts munged, slurmctld and slurmd)
#
# In a scratch folder it makes a test tree and the one-machine list of BUILD/korvadex, then
# starts a one-node Slurm cluster there (munged, slurmctld, slurmd, on loopback ports that are
# free, with every file of theirs in the scratch folder) and runs:
#   1. a Slurm job array of 7 tasks, each one shard (--shard K/7) of the MD5 and SHA-256
#      list in BSD format;
#   2. the same shards as local jobs of GNU parallel, then a SHA-256 list in GNU format and
#      an SFV list (CRC-32, of a folder whose names SFV can carry) the same way;
# and each time merges the shards' lists (--merge) and compares the result with the
# one-machine list byte for byte.  It prints each shard's exit status, time and summary line
# and the merge's time.  Every daemon it started is ended on exit, whatever failed, and the
# scratch folder removed.
set -euo pipefail
fail() { echo "cluster-check: $*" >&2; exit 1; }
[ $# -eq 1 ] || { echo "usage: tools/cluster-check.sh BUILD" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || fail "run it as root: it starts munged, slurmctld and slurmd"
korvadex=$(realpath "$1/korvadex")
[ -x "$korvadex" ] || fail "$1/korvadex is missing: build the korvadex target first"
for tool in munged slurmctld slurmd sbatch squeue sinfo scancel parallel python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing: run tools/install-deps.sh"
done

shards=7
scratch=$(mktemp -d /tmp/korvadex-cluster.XXXXXX)
daemons=()     # NAME:PID of each daemon started, in the order started
jobs_started=()
export SLURM_CONF=$scratch/slurm/slurm.conf

# wait_gone SECONDS PID...: true once none of the processes runs, false after SECONDS.
wait_gone() {
  local deadline=$((SECONDS + $1)) pid alive
  shift
  while :; do
    alive=
    for pid in "$@"; do
      ! kill -0 "$pid" 2>/dev/null || alive=1
    done
    [ -n "$alive" ] || return 0
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}

clean_up() {
  local status=$? entry pid pids=() proc i
  trap - EXIT
  cd /
  # The jobs first, while the daemons that end them still run.
  if [ ${#jobs_started[@]} -gt 0 ] && [ ${#daemons[@]} -gt 0 ]; then
    scancel "${jobs_started[@]}" 2>/dev/null || true
    for _ in $(seq 50); do
      [ -n "$(squeue -h -j "$(IFS=,; echo "${jobs_started[*]}")" 2>/dev/null)" ] || break
      sleep 0.2
    done
  fi
  # The daemons, the last started first.
  for ((i = ${#daemons[@]} - 1; i >= 0; i--)); do
    entry=${daemons[i]}
    pid=${entry#*:}
    if kill -TERM "$pid" 2>/dev/null; then
      if ! wait_gone 10 "$pid"; then
        echo "cluster-check: ${entry%%:*} ($pid) did not end on SIGTERM; killed" >&2
        kill -KILL "$pid" 2>/dev/null || true
      fi
    fi
  done
  # Any process still working in the scratch folder (a job step slurmd left behind).
  for proc in /proc/[0-9]*; do
    case "$(readlink "$proc/cwd" 2>/dev/null)" in
      "$scratch" | "$scratch"/*) pids+=("${proc#/proc/}") ;;
    esac
  done
  if [ ${#pids[@]} -gt 0 ]; then
    echo "cluster-check: ending processes left in the scratch folder: ${pids[*]}" >&2
    kill -KILL "${pids[@]}" 2>/dev/null || true
    wait_gone 5 "${pids[@]}" || true
  fi
  rm -rf "$scratch"
  exit "$status"
}
trap clean_up EXIT
trap 'echo "cluster-check: interrupted" >&2; exit 1' HUP INT TERM

# show_logs: the daemons' logs, for a failure.
show_logs() {
  local log
  for log in "$scratch"/munge/munged.log "$scratch"/slurm/slurmctld.log \
             "$scratch"/slurm/slurmd.log; do
    [ -f "$log" ] || continue
    echo "---- $log (last lines)" >&2
    tail -n 30 "$log" >&2
  done
}

# record_daemon NAME PIDFILE: records the process id that the daemon NAME, just started,
# writes to PIDFILE, once that process runs.
record_daemon() {
  local name=$1 pid deadline=$((SECONDS + 10))
  until pid=$(cat "$2" 2>/dev/null) && [[ "$pid" =~ ^[0-9]+$ ]] && kill -0 "$pid" 2>/dev/null
  do
    if [ $SECONDS -ge $deadline ]; then
      show_logs
      fail "$name wrote no process id of a running process to $2 within 10 s"
    fi
    sleep 0.1
  done
  daemons+=("$name:$pid")
}

# now_ms: milliseconds since the epoch; seconds A B: B - A (ms) in seconds.
now_ms() { date +%s%3N; }
seconds() { printf '%d.%03d' $((($2 - $1) / 1000)) $((($2 - $1) % 1000)); }

cd "$scratch"

# The test tree: a few hundred files of many sizes (an empty one, the lengths around a
# block's, a few of some MiB) in nested folders, names with blanks and one with a line break.
make_tree() {
  local i dir size
  mkdir -p tree/a/b/c "tree/with blanks/inner" tree/d
  for i in $(seq 0 299); do
    case $((i % 4)) in
      0) dir=tree ;;
      1) dir=tree/a/b ;;
      2) dir="tree/with blanks" ;;
      *) dir=tree/a/b/c ;;
    esac
    size=$(((i * i * 7919) % 70001))
    head -c "$size" /dev/urandom >"$dir/file $i.bin"
  done
  : >tree/empty
  for size in 1 55 56 63 64 65 127 128 129 4095 4096 4097; do
    head -c "$size" /dev/urandom >"tree/d/edge-$size"
  done
  for i in 1 2 3; do
    head -c $((i * 1024 * 1024 + i)) /dev/urandom >"tree/d/large-$i"
  done
  printf 'two\nlines\n' >"tree/with blanks/name with a"$'\n'"line break"
}
make_tree

start=$(now_ms)
"$korvadex" -r -a md5,sha256 --format bsd tree >reference.bsd
"$korvadex" -r -a sha256 --format gnu tree >reference.gnu
"$korvadex" -r -a crc32 --format sfv tree/a >reference.sfv
echo "cluster-check: $(find tree -type f | wc -l) files, $(du -sh tree | cut -f1);" \
     "one-machine lists in $(seconds "$start" "$(now_ms)") s"

# One shard: run-shard.sh NAME K ARGUMENT... runs shard K of job NAME, its list
# NAME/shard-K.json, its standard error NAME/shard-K.err, and its exit status and time in
# seconds in NAME/shard-K.status.  Slurm's tasks and parallel's jobs both run it.
cat >run-shard.sh <<EOF
#!/usr/bin/env bash
name=\$1 k=\$2
shift 2
cd "$scratch"
start=\$(date +%s%3N)
status=0
"$korvadex" --shard "\$k/$shards" --run-id "cluster-check-\$name" \\
  -o "\$name/shard-\$k.json" "\$@" 2>"\$name/shard-\$k.err" || status=\$?
elapsed=\$((\$(date +%s%3N) - start))
printf '%d %d.%03d\n' "\$status" \$((elapsed / 1000)) \$((elapsed % 1000)) \\
  >"\$name/shard-\$k.status"
exit "\$status"
EOF

# report_shards NAME: prints each shard's status, time and summary line; fails when a shard
# has no status or a status other than 0.
report_shards() {
  local name=$1 k status elapsed bad=
  for k in $(seq "$shards"); do
    if ! read -r status elapsed <"$name/shard-$k.status" 2>/dev/null; then
      echo "  shard $k/$shards: did not run" >&2
      cat "$name/task-$k.out" >&2 2>/dev/null || true
      bad=1
      continue
    fi
    printf '  shard %d/%d: exit %d, %s s: %s\n' "$k" "$shards" "$status" "$elapsed" \
      "$(tail -n 1 "$name/shard-$k.err" 2>/dev/null)"
    if [ "$status" -ne 0 ]; then
      cat "$name/shard-$k.err" >&2
      bad=1
    fi
  done
  [ -z "$bad" ] || fail "$name: a shard failed"
}

# merge_and_compare NAME REFERENCE: merges NAME's shards and compares with REFERENCE.
merge_and_compare() {
  local name=$1 reference=$2 start
  start=$(now_ms)
  "$korvadex" --merge -o "$name/merged" "$name"/shard-*.json ||
    fail "$name: the merge failed"
  echo "  merge: $(seconds "$start" "$(now_ms)") s"
  cmp "$reference" "$name/merged" || fail "$name: the merged list differs from $reference"
  echo "cluster-check: $name: the merged list is the one-machine list"
}

# ---- the one-node Slurm cluster

mkdir -p munge slurm/state slurm/spool
chmod 700 munge
dd if=/dev/urandom of=munge/munge.key bs=1024 count=1 status=none
chmod 400 munge/munge.key
munged --force --socket="$scratch/munge/munge.socket" --key-file="$scratch/munge/munge.key" \
  --pid-file="$scratch/munge/munged.pid" --log-file="$scratch/munge/munged.log" \
  --seed-file="$scratch/munge/munged.seed" ||
  { show_logs; fail "munged did not start"; }
record_daemon munged "$scratch/munge/munged.pid"

# free_port: a TCP port of the loopback address that nothing listens on.
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])'
}
ctld_port=$(free_port)
slurmd_port=$(free_port)
while [ "$slurmd_port" = "$ctld_port" ]; do slurmd_port=$(free_port); done

host=$(hostname -s)
# slurmd -C: the node as it is (its CPUs, sockets, cores and memory), named by hostname -s.
node=$(slurmd -C | grep '^NodeName=')
cat >"$SLURM_CONF" <<EOF
ClusterName=korvadexcheck
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
AuthType=auth/munge
AuthInfo=socket=$scratch/munge/munge.socket
CredType=cred/munge
SlurmUser=root
SlurmdUser=root
StateSaveLocation=$scratch/slurm/state
SlurmdSpoolDir=$scratch/slurm/spool
SlurmctldPidFile=$scratch/slurm/slurmctld.pid
SlurmdPidFile=$scratch/slurm/slurmd.pid
SlurmctldLogFile=$scratch/slurm/slurmctld.log
SlurmdLogFile=$scratch/slurm/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
MpiDefault=none
SwitchType=switch/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
ReturnToService=2
$node NodeAddr=127.0.0.1 State=UNKNOWN
PartitionName=check Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF

slurmctld -c -f "$SLURM_CONF" || { show_logs; fail "slurmctld did not start"; }
record_daemon slurmctld "$scratch/slurm/slurmctld.pid"
slurmd -f "$SLURM_CONF" || { show_logs; fail "slurmd did not start"; }
record_daemon slurmd "$scratch/slurm/slurmd.pid"

start=$(now_ms)
deadline=$((SECONDS + 60))
until [ "$(sinfo -h -n "$host" -o %T 2>/dev/null)" = idle ]; do
  if [ $SECONDS -ge $deadline ]; then
    sinfo >&2 || true
    show_logs
    fail "the node $host was not idle in Slurm after 60 s"
  fi
  sleep 0.5
done
echo "cluster-check: Slurm's node $host idle after $(seconds "$start" "$(now_ms)") s" \
     "(slurmctld on port $ctld_port, slurmd on $slurmd_port)"

# ---- 1. a Slurm job array

mkdir slurm-job
cat >slurm-job.sh <<EOF
#!/usr/bin/env bash
exec bash "$scratch/run-shard.sh" slurm-job "\$SLURM_ARRAY_TASK_ID" \\
  -r -a md5,sha256 --format bsd tree
EOF
start=$(now_ms)
job=$(sbatch --parsable --array="1-$shards" --chdir="$scratch" \
  --output="$scratch/slurm-job/task-%a.out" slurm-job.sh) ||
  { show_logs; fail "sbatch failed"; }
job=${job%%;*}
jobs_started+=("$job")
deadline=$((SECONDS + 180))
while [ -n "$(squeue -h -j "$job" -o %i 2>/dev/null)" ]; do
  if [ $SECONDS -ge $deadline ]; then
    squeue >&2 || true
    show_logs
    fail "the job array $job had not ended after 180 s"
  fi
  sleep 0.5
done
echo "cluster-check: Slurm job array $job ($shards tasks) ended in" \
     "$(seconds "$start" "$(now_ms)") s"
report_shards slurm-job
merge_and_compare slurm-job reference.bsd

# ---- 2. the same through GNU parallel

run_parallel() {
  local name=$1 start
  shift
  mkdir "$name"
  start=$(now_ms)
  parallel --will-cite -j2 --joblog "$name/joblog" \
    bash "$scratch/run-shard.sh" "$name" {} "$@" ::: $(seq "$shards") ||
    echo "cluster-check: $name: GNU parallel counted failed jobs" >&2
  echo "cluster-check: $name: $shards shards through GNU parallel in" \
       "$(seconds "$start" "$(now_ms)") s"
  report_shards "$name"
}
run_parallel parallel-bsd -r -a md5,sha256 --format bsd tree
merge_and_compare parallel-bsd reference.bsd

run_parallel parallel-gnu -r -a sha256 --format gnu tree
merge_and_compare parallel-gnu reference.gnu

run_parallel parallel-sfv -r -a crc32 --format sfv tree/a
merge_and_compare parallel-sfv reference.sfv

echo "cluster-check: passed"

#!/usr/bin/env python3
"""Runs split in shards and merged, and runs cut off and taken up, with the built korvadex.

  shard_test.py KORVADEX merge    a tree of 3 000 files of mixed sizes (empty files, names
                                  with blanks and line breaks, a few of 64 MiB) listed in 1,
                                  7 and 64 shards: each merge is byte for byte the list of
                                  one run, in every list format
  shard_test.py KORVADEX audit    --audit in 1, 7 and 64 shards after folders were renamed,
                                  files changed, added and removed: the merged verdicts are
                                  those of one run, moves across shards included
  shard_test.py KORVADEX update   --update in 1, 7 and 64 shards of json, gnu and hashdeep
                                  lists: the merged list is the one run's
  shard_test.py KORVADEX refuse   shards of another job, a shard missing or given twice, an
                                  entry in two shards: exit 1 and a message naming them
  shard_test.py KORVADEX resume   -o runs killed (SIGKILL) at random points and taken up with
                                  --resume give the list of an uninterrupted run
  shard_test.py KORVADEX check    -c of a list of a tree since changed, in 1, 3 and 7 shards
                                  and with -o: the merge writes what one run writes; runs
                                  killed and taken up; shards of another job refused
  shard_test.py KORVADEX known    --known and --unknown in 1, 3 and 7 shards and with -o,
                                  and taken up from partial lists cut anywhere
  shard_test.py KORVADEX bypath   --check-embedded and --verify-cache likewise, over names
                                  with good and bad CRCs, files corrupt, outdated, without
                                  cache and missing
  shard_test.py KORVADEX bag      -c of a damaged bag with -o, and taken up from partial
                                  lists cut anywhere; --shard refused for it

A random case prints its seed; KORVADEX_TEST_SEED repeats one.
"""
import hashlib
import json
import os
import random
import re
import signal
import subprocess
import sys
import tempfile
import time
import zlib

KORVADEX = sys.argv[1] if len(sys.argv) > 1 else ""
FAULTS = []


def check(condition, what):
    if not condition:
        FAULTS.append(what[:400])


# The one-machine runs sort the entries they do not hold in many scratch files, the shards and
# merges in memory: both ways must give the same output.
SMALL_SORTS = dict(os.environ, KORVADEX_SORT_BYTES="4096")


def run(args, cwd, **kwargs):
    return subprocess.run([KORVADEX] + args, cwd=cwd, capture_output=True, **kwargs)


def killed(args, root, after, env=None, until=None):
    """Starts korvadex with args and kills it (SIGKILL) after that many seconds, or, with
    until, as soon as until() holds."""
    child = subprocess.Popen([KORVADEX] + args, cwd=root, env=env, stderr=subprocess.DEVNULL)
    if until is None:
        time.sleep(after)
    else:
        while child.poll() is None and not until():
            time.sleep(0.005)
    child.send_signal(signal.SIGKILL)
    child.wait()


def contents(path):
    """The bytes of the file at path, or None when there is none."""
    try:
        with open(path, "rb") as file:
            return file.read()
    except FileNotFoundError:
        return None


def discard(path):
    if os.path.exists(path):
        os.remove(path)


def seeded():
    seed = int(os.environ.get("KORVADEX_TEST_SEED", random.randrange(1 << 30)))
    print(f"seed {seed} (KORVADEX_TEST_SEED={seed} repeats it)")
    return random.Random(seed)


def make_tree(root, rng, files, large):
    """files of mixed sizes below root/tree, with awkward names, and large files of 64 MiB."""
    names = []
    for i in range(files):
        folder = f"d{i % 37}/e{i % 5}" if i % 3 else f"d{i % 37}"
        leaf = rng.choice([f"f{i}", f"f {i}.txt", f"f{i}-x", f"F{i}", f"line\nbreak{i}"])
        names.append(f"{folder}/{leaf}")
    for i, name in enumerate(names):
        path = os.path.join(root, "tree", name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        size = 0 if i % 50 == 0 else rng.choice([rng.randrange(1, 64), rng.randrange(64, 40000)])
        with open(path, "wb") as out:
            out.write(rng.randbytes(size))
    for i in range(large):
        with open(os.path.join(root, "tree", f"large{i}.bin"), "wb") as out:
            block = rng.randbytes(1 << 20)
            for _ in range(64):
                out.write(block)


def shard_lists(root, n, args, tag, before=lambda: None):
    """Runs the n shards of args, each after before(); returns the paths of their lists."""
    paths = []
    for k in range(1, n + 1):
        path = os.path.join(root, f"{tag}-{k}of{n}.json")
        before()
        done = run(["--shard", f"{k}/{n}", "-o", path] + args, root)
        # A shard's verdicts of change fail it, and for a check its files not read.
        verdicts = any(word in args for word in
                       ("--audit", "-c", "--check-embedded", "--verify-cache"))
        check(done.returncode == 0 or verdicts and (b"verdicts of change" in done.stderr or
                                                   b"could not be read" in done.stderr),
              f"shard {k}/{n} of {args}: {done.stderr.decode()}")
        check(f"shard {k}/{n}: ".encode() in done.stderr, f"shard {k}/{n} says how it went")
        paths.append(path)
    return paths


def case_merge(root):
    rng = seeded()
    make_tree(root, rng, 3000, 3)
    # Jobs, and the formats their shards' lists are merged into besides their own.
    jobs = [
        (["-r", "-a", "md5,sha256", "--format", "json", "tree"], ["csv", "bsd"]),
        (["-r", "-a", "md5,sha256", "--format", "hashdeep", "tree"], []),
        (["-r", "-a", "md5", "--format", "gnu", "tree"], []),
        (["-r", "--format", "sfv", "tree"], []),
    ]
    for args, others in jobs:
        alone = run(args, root)
        check(alone.stdout.count(b"\n") > 2000, f"one run of {args} lists the tree")
        expected = {None: alone}
        for other in others:
            changed = [a if a != args[args.index("--format") + 1] else other for a in args]
            expected[other] = run(changed, root)
        for n in (1, 7, 64):
            paths = shard_lists(root, n, args, "m")
            for other, want in expected.items():
                fmt = ["--format", other] if other else []
                merged = run(["--merge"] + fmt + paths, root)
                # A format that cannot hold a line break fails those names in both.
                check(merged.returncode == want.returncode and merged.stderr == want.stderr,
                      f"merge of {n} shards of {args}: {merged.stderr}")
                check(merged.stdout == want.stdout, f"merge of {n} shards of {args} in {other}")
            for path in paths:
                os.remove(path)


def case_audit(root):
    """--audit in shards, after the tree's top folder is renamed: moves across shards."""
    rng = seeded()
    make_tree(root, rng, 600, 0)
    listed = run(["-r", "-a", "md5,sha256", "--format", "json", "tree"], root).stdout
    open(os.path.join(root, "list.json"), "wb").write(listed)
    os.rename(os.path.join(root, "tree"), os.path.join(root, "moved"))
    os.makedirs(os.path.join(root, "tree"))
    os.rename(os.path.join(root, "moved", "d1"), os.path.join(root, "tree", "d1"))
    open(os.path.join(root, "tree", "d1", "f1-new"), "wb").write(b"new")
    gone = sorted(os.path.join(folder, name) for folder, _, names in
                  os.walk(os.path.join(root, "moved", "d2")) for name in names)
    for path in gone[:3]:
        os.remove(path)
    kept = sorted(os.path.join(folder, name) for folder, _, names in
                  os.walk(os.path.join(root, "tree", "d1")) for name in names)
    open(kept[0], "ab").write(b"changed")
    for extra in ([], ["--format", "json"], ["--quiet"]):
        args = ["--audit", "list.json", "-r", "tree", "moved"] + extra
        alone = run(args, root, env=SMALL_SORTS)
        counts = dict((word, int(n)) for n, word in
                      re.findall(rb"(\d+) (changed|moved|new|missing)", alone.stderr))
        check(alone.returncode == 1 and all(counts.get(w, 0) > 0 for w in
                                            (b"changed", b"moved", b"new", b"missing")),
              f"{args}: {alone.stderr}")
        for n in (1, 7, 64):
            paths = shard_lists(root, n, args, "a")
            merged = run(["--merge"] + paths, root)
            check((merged.returncode, merged.stdout, merged.stderr) ==
                  (alone.returncode, alone.stdout, alone.stderr),
                  f"{args} in {n} shards: {merged.stderr} against {alone.stderr}")
            for path in paths:
                os.remove(path)


def case_update(root):
    """--update in shards, after files changed, were added and removed: the merged list, its
    summary and its exit status are those of one run, in every format that keeps a list."""
    rng = seeded()
    make_tree(root, rng, 500, 0)
    tree = os.path.join(root, "tree")
    names = sorted(os.path.join(folder, name) for folder, _, leaves in os.walk(tree)
                   for name in leaves if "\n" not in name)
    keyed = ["--key", "k1"]
    for args, suffix in ((["-a", "md5,sha256", "--format", "json"], "json"),
                         (["-a", "md5", "--format", "gnu"], "md5"),
                         (["-a", "md5,sha256", "--format", "hashdeep"], "hd"),
                         (keyed + ["-a", "sha256", "--format", "json"], "keyed")):
        listed = os.path.join(root, f"list.{suffix}")
        made = run(["-r"] + args + ["tree"], root)
        open(listed, "wb").write(made.stdout)
        os.utime(listed, (1577836800, 1577836800))  # older than the files: hashed again
        original = open(listed, "rb").read()
    for path in names[:5]:
        os.remove(path)
    for path in names[5:10]:
        open(path, "ab").write(b"changed")
    open(os.path.join(tree, "added one"), "wb").write(b"new")
    for suffix in ("json", "md5", "hd", "keyed"):
        listed = os.path.join(root, f"list.{suffix}")
        original = open(listed, "rb").read()
        args = (keyed if suffix == "keyed" else []) + ["--update", f"list.{suffix}", "--prune",
                                                       "-r", "tree"]
        alone = run(args, root, env=SMALL_SORTS)
        want = open(listed, "rb").read()
        check(b"5 dropped" in alone.stderr, f"{args}: {alone.stderr}")
        for n in (1, 7, 64):
            open(listed, "wb").write(original)
            os.utime(listed, (1577836800, 1577836800))
            paths = shard_lists(root, n, args, "u")
            merged = run(["--merge", "-o", "merged"] + paths, root)
            check((merged.returncode, merged.stderr) == (alone.returncode, alone.stderr),
                  f"{args} in {n} shards: {merged.stderr} against {alone.stderr}")
            check(open(os.path.join(root, "merged"), "rb").read() == want,
                  f"{args} in {n} shards: the list differs")
            for path in paths:
                os.remove(path)
        open(listed, "wb").write(original)


def case_refuse(root):
    rng = seeded()
    make_tree(root, rng, 200, 0)
    args = ["-r", "-a", "md5", "--run-id", "nightly", "tree"]
    paths = shard_lists(root, 3, args, "r")
    other = os.path.join(root, "other.json")
    run(["--shard", "3/3", "-o", other, "-r", "-a", "sha1", "--run-id", "nightly", "tree"], root)
    twice = os.path.join(root, "twice.json")
    # Shard 2's list with an entry of shard 1 as well, in the walk's order (a folder's end
    # before any other byte), so that only the entry in two shards is wrong with it.
    lines = open(paths[1], "rb").read().split(b"\n")
    entries = lines[1:-2] + [open(paths[0], "rb").read().split(b"\n")[1]]
    entries.sort(key=lambda line: (json.loads(line)["operand"],
                                   json.loads(line)["name"].replace("/", "\0")))
    open(twice, "wb").write(b"\n".join(lines[:1] + entries + lines[-2:]))
    cases = [
        (paths[:2], b"shard 3/3: missing"),
        (paths + paths[2:], b"shard 3/3: given twice"),
        (paths[:2] + [other], b"the list of another job"),
        ([paths[0], twice, paths[2]], b"in two shards"),
    ]
    for lists, said in cases:
        merged = run(["--merge"] + lists, root)
        check(merged.returncode == 1 and said in merged.stderr and merged.stdout == b"",
              f"--merge {lists}: exit {merged.returncode}, {merged.stderr!r}, not {said!r}")
    check(run(["--merge"] + paths, root).returncode == 0, "the whole merge passes")


def case_resume(root):
    rng = seeded()
    make_tree(root, rng, 300, 0)
    for i in range(4):
        with open(os.path.join(root, "tree", f"slow{i}"), "wb") as out:
            out.write(rng.randbytes(3 << 20))
    args = ["-r", "-a", "md2,md5", "--format", "json", "--jobs", "1", "tree"]
    alone = run(args, root).stdout
    out = os.path.join(root, "out.txt")
    # A try killed before the first line of its partial list was whole left nothing to keep.
    for cut in [b"", b'{"korvadex":']:
        open(out + ".partial", "wb").write(cut)
        taken = run(["-o", out, "--resume"] + args, root)
        check(taken.returncode == 0 and contents(out) == alone,
              f"a partial list of {len(cut)} bytes taken up: {taken.stderr}")
        discard(out)
    for attempt in range(5):
        killed(["-o", out] + args, root, rng.uniform(0.02, 0.4))
        if os.path.exists(out):
            os.remove(out)  # finished before the kill: nothing to take up
            continue
        taken = run(["-o", out, "--resume"] + args, root)
        check(taken.returncode == 0, f"--resume: {taken.stderr}")
        check(contents(out) == alone, f"try {attempt}: the list taken up differs")
        check(not os.path.exists(out + ".partial"), "the partial list is gone")
        discard(out)
    # A large file is taken up from its last saved state (every MiB here).
    large = os.path.join(root, "large")
    os.makedirs(large)
    with open(os.path.join(large, "one.bin"), "wb") as out_file:
        out_file.write(rng.randbytes(24 << 20))
    once = ["-r", "-a", "md2,sha256", "--format", "json", "large"]
    whole_large = run(once, root).stdout
    env = dict(os.environ, KORVADEX_CHECKPOINT_BYTES=str(1 << 20))
    def saved():
        return [name for name in os.listdir(root) if name.endswith(".state")]
    killed(["-o", out] + once, root, 0, env, until=saved)
    states = saved()
    check(len(states) == 1, f"one saved state of the large file: {states}")
    taken = run(["-o", out, "--resume"] + once, root, env=env)
    check(taken.returncode == 0 and contents(out) == whole_large,
          f"a large file taken up from its state: {taken.stderr}")
    check(not saved(),
          "its state is removed once its record is written")
    discard(out)
    # An audit taken up gives the verdicts of one uninterrupted audit.
    listed = os.path.join(root, "list.json")
    open(listed, "wb").write(alone)
    os.rename(os.path.join(root, "tree", "slow0"), os.path.join(root, "tree", "slow0-moved"))
    audit = ["--audit", "list.json", "--jobs", "1", "-r", "tree"]
    whole = run(audit, root)
    for attempt in range(3):
        killed(["-o", out] + audit, root, rng.uniform(0.02, 0.3))
        taken = run(["-o", out, "--resume"] + audit, root)
        check((taken.returncode, taken.stderr) == (whole.returncode, whole.stderr),
              f"audit try {attempt}: {taken.stderr} against {whole.stderr}")
        check(contents(out) == whole.stdout, f"audit try {attempt}: the verdicts differ")
        discard(out)
    # A partial list of another job is refused, and without --resume replaced.
    def begun():
        return b"\n" in (contents(out + ".partial") or b"")
    killed(["-o", out] + args, root, 0, until=begun)
    if begun():
        other = run(["-o", out, "--resume", "-r", "-a", "md5", "tree"], root)
        check(other.returncode == 1 and b"not taken up" in other.stderr,
              f"a partial list of another job: {other.stderr}")
        fresh = run(["-o", out, "-r", "-a", "md5", "tree"], root)
        check(fresh.returncode == 0 and b"replaced" in fresh.stderr, "an old partial replaced")


def case_check(root):
    rng = seeded()
    make_tree(root, rng, 300, 0)
    tree = os.path.join(root, "tree")
    for i in range(3):
        with open(os.path.join(tree, f"slow{i}"), "wb") as out:
            out.write(rng.randbytes(2 << 20))
    made = run(["-r", "-a", "md5,sha256", "--format", "bsd", "tree"], root).stdout
    open(os.path.join(root, "list.txt"), "wb").write(made + b"not a checksum line\n")
    names = sorted(os.path.join(folder, name) for folder, _, leaves in os.walk(tree)
                   for name in leaves if "\n" not in name and "slow" not in name)
    os.remove(names[0])
    for path in names[1:4]:
        open(path, "ab").write(b"changed")
    out = os.path.join(root, "out.txt")
    for extra in ([], ["--format", "json"], ["--quiet", "--warn"], ["--ignore-missing"]):
        args = ["-c", "list.txt", "-a", "md5,sha256"] + extra
        alone = run(args, root)
        want = (alone.returncode, alone.stdout, alone.stderr)
        check(alone.returncode == 1 and b"did NOT match" in alone.stderr and
              (b"could not be read" in alone.stderr) != ("--ignore-missing" in extra),
              f"{args}: {alone.stderr}")
        for n in (1, 3, 7):
            paths = shard_lists(root, n, args, "c")
            merged = run(["--merge"] + paths, root)
            check((merged.returncode, merged.stdout, merged.stderr) == want,
                  f"{args} in {n} shards: {merged.stderr} against {alone.stderr}")
            for path in paths:
                os.remove(path)
        whole = run(["-o", out] + args, root)
        check((whole.returncode, contents(out), whole.stderr) == want and whole.stdout == b"",
              f"-o {out} {args}: {whole.stderr}")
        discard(out)
    # Runs killed once some verdicts are written, the last maybe in the slow files, and
    # taken up: alone, and as shard 2 of 3.
    args = ["-c", "list.txt", "-a", "md5,sha256", "--format", "json", "--jobs", "1"]
    alone = run(args, root)
    def written(at_least):
        return lambda: (contents(out + ".partial") or b"").count(b"\n") >= at_least
    for at_least in (2, rng.randrange(3, 300), 300):
        killed(["-o", out] + args, root, 0, until=written(at_least))
        check(contents(out) is None and written(at_least)(),
              f"-c killed after {at_least} lines: the run was cut off")
        taken = run(["-o", out, "--resume"] + args, root)
        check((taken.returncode, contents(out)) == (alone.returncode, alone.stdout),
              f"-c killed after {at_least} lines and taken up: {taken.stderr}")
        check(not os.path.exists(out + ".partial"), "the partial list is gone")
        discard(out)
    paths = shard_lists(root, 3, args, "k")
    os.remove(paths[1])
    killed(["--shard", "2/3", "-o", paths[1]] + args, root, 0, until=lambda: os.path.exists(
        paths[1] + ".partial") and written(2)())
    run(["--shard", "2/3", "-o", paths[1], "--resume"] + args, root)
    merged = run(["--merge"] + paths, root)
    check((merged.returncode, merged.stdout) == (alone.returncode, alone.stdout),
          f"a shard killed and taken up: {merged.stderr}")
    # Shards of another job: other options, another state of the list, or another command.
    other = os.path.join(root, "other.json")
    refused = [(["-c", "list.txt", "-a", "md5", "--format", "json", "--jobs", "1"],
                b"a run of other arguments"),
               (["-r", "tree"], b"a run of list, not of check")]
    for other_args, said in refused:
        run(["--shard", "3/3", "-o", other] + other_args, root)
        merged = run(["--merge"] + paths[:2] + [other], root)
        check(merged.returncode == 1 and said in merged.stderr and merged.stdout == b"",
              f"--merge with a shard of {other_args}: {merged.stderr}")
    open(os.path.join(root, "list.txt"), "ab").write(b"# one more line\n")
    run(["--shard", "3/3", "-o", other] + args, root)
    merged = run(["--merge"] + paths[:2] + [other], root)
    check(merged.returncode == 1 and b"another state of the list" in merged.stderr,
          f"--merge with a shard of the list since changed: {merged.stderr}")


def case_known(root):
    rng = seeded()
    make_tree(root, rng, 200, 0)
    made = run(["-r", "-a", "md5,sha256", "--format", "json", "tree/d1", "tree/d2"], root)
    open(os.path.join(root, "known.json"), "wb").write(made.stdout)
    out = os.path.join(root, "out.txt")
    for word in ("--known", "--unknown"):
        args = [word, "known.json", "-r", "tree", "--string", "abc"]
        alone = run(args, root)
        want = (alone.returncode, alone.stdout)
        check(alone.returncode == 0 and alone.stdout.count(b"\n") > 10, f"{args}: {alone}")
        for n in (1, 3, 7):
            paths = shard_lists(root, n, args, "n")
            merged = run(["--merge"] + paths, root)
            check((merged.returncode, merged.stdout) == want, f"{args} in {n} shards: {merged}")
            for path in paths:
                os.remove(path)
        whole = run(["-o", out] + args, root)
        check((whole.returncode, contents(out), whole.stderr) == (want + (alone.stderr,)),
              f"-o {out} {args}: {whole.stderr}")
        # The list of one shard of one is what a try of -o leaves: cut anywhere, it is taken
        # up.
        listed = contents(shard_lists(root, 1, args, "n")[0])
        for cut in sorted(rng.sample(range(1, len(listed)), 5)):
            open(out + ".partial", "wb").write(listed[:cut])
            taken = run(["-o", out, "--resume"] + args, root)
            check((taken.returncode, contents(out)) == want,
                  f"{args} taken up after {cut} bytes: {taken.stderr}")


def case_bypath(root):
    """--check-embedded and --verify-cache: shards merged, -o, and partial lists taken up give
    the verdicts, messages and exit status of one run."""
    rng = seeded()
    make_tree(root, rng, 200, 0)
    tree = os.path.join(root, "tree")
    for i in range(30):
        data = rng.randbytes(rng.randrange(0, 5000))
        crc = zlib.crc32(data) ^ (1 if i % 4 == 0 else 0)
        with open(os.path.join(tree, f"d{i % 7}", f"c{i} [{crc:08X}].bin"), "wb") as out:
            out.write(data)
    names = sorted(os.path.join(folder, name) for folder, _, leaves in os.walk(tree)
                   for name in leaves)
    old = 1577836800  # older than the cache's settling time: cached
    for path in names:
        os.utime(path, (old, old))
    run(["--cache", "-r", "-a", "md5,sha256", "tree/d1", "tree/d2", "tree/d3"], root)
    cached_names = [path for path in names
                    if os.path.relpath(path, tree).split(os.sep)[0] in ("d1", "d2", "d3")]
    # Same size and time, other bytes: corrupt.
    for path in cached_names[1::12]:
        flipped = bytes(b ^ 0xFF for b in contents(path))
        open(path, "wb").write(flipped)
        os.utime(path, (old, old))
    touched = cached_names[0]
    def before():
        # A new time each run: its records are outdated every time.
        os.utime(touched, None)
    cached = b": ok\n" in run(["--verify-cache", "-r", "tree"], root).stdout
    if not cached:
        print("the temporary folder keeps no user attributes: --verify-cache left out")
    jobs = [["--check-embedded", "-r", "tree", "missing"],
            ["--check-embedded", "--quiet", "--strict", "-a", "md5", "--lower", "-r", "tree"]]
    if cached:
        jobs += [["--verify-cache", "-r", "tree", "missing"],
                 ["--verify-cache", "-a", "sha256", "tree/d1", "-r", "tree/d3", "tree/d2"]]
    out = os.path.join(root, "out.txt")
    for args in jobs:
        before()
        alone = run(args, root)
        want = (alone.returncode, alone.stdout, alone.stderr)
        verified = b"corrupt" in alone.stdout and b"outdated" in alone.stdout
        check(alone.returncode != 0 and alone.stdout.count(b"\n") > 20 and
              (verified or "--check-embedded" in args), f"{args}: {alone}")
        for n in (1, 3):
            paths = shard_lists(root, n, args, "p", before)
            merged = run(["--merge"] + paths, root)
            check((merged.returncode, merged.stdout, merged.stderr) == want,
                  f"{args} in {n} shards: {merged.stderr} against {alone.stderr}")
            for path in paths:
                os.remove(path)
        before()
        whole = run(["-o", out] + args, root)
        check((whole.returncode, contents(out), whole.stderr) == want and whole.stdout == b"",
              f"-o {out} {args}: {whole.stderr}")
        listed = contents(shard_lists(root, 1, args, "p", before)[0])
        for cut in sorted(rng.sample(range(1, len(listed)), 5)) + [len(listed)]:
            open(out + ".partial", "wb").write(listed[:cut])
            before()
            taken = run(["-o", out, "--resume"] + args, root)
            check((taken.returncode, contents(out)) == want[:2],
                  f"{args} taken up after {cut} bytes: {taken.stderr}")
            check(not os.path.exists(out + ".partial"), "the partial list is gone")
    # The partial list of another command is not taken up.
    open(out + ".partial", "wb").write(listed)
    other = run(["-o", out, "--resume", "--check-embedded", "-r", "tree", "missing"], root)
    check(other.returncode == 1 and b"not taken up" in other.stderr and contents(out) == want[1],
          f"a partial list of another job: {other.stderr}")


def case_bag(root):
    rng = seeded()
    make_tree(root, rng, 150, 0)
    bag = os.path.join(root, "tree")
    made = run(["--make-bag", "-a", "md5,sha256", "tree"], root)
    check(made.returncode == 0, f"--make-bag: {made.stderr}")
    payload = sorted(os.path.join(folder, name) for folder, _, leaves in
                     os.walk(os.path.join(bag, "data")) for name in leaves)
    open(payload[3], "ab").write(b"changed")
    os.remove(payload[4])
    open(os.path.join(bag, "data", "unlisted"), "wb").write(b"new")
    out = os.path.join(root, "out.txt")
    # A target that cannot be written keeps the whole partial list of a run.
    kept = os.path.join(root, "kept")
    os.makedirs(kept)
    for extra in ([], ["--format", "json"], ["--quiet"]):
        args = ["-c", "tree"] + extra
        alone = run(args, root)
        want = (alone.returncode, alone.stdout, alone.stderr)
        check(alone.returncode == 1 and b"FAILED" in alone.stdout and b"missing" in alone.stdout,
              f"{args}: {alone}")
        whole = run(["-o", out] + args, root)
        check((whole.returncode, contents(out), whole.stderr) == want and whole.stdout == b"",
              f"-o {out} {args}: {whole.stderr}")
        run(["-o", kept] + args, root)
        listed = contents(kept + ".partial")
        for cut in sorted(rng.sample(range(1, len(listed)), 5)) + [len(listed)]:
            open(out + ".partial", "wb").write(listed[:cut])
            taken = run(["-o", out, "--resume"] + args, root)
            check((taken.returncode, contents(out)) == want[:2],
                  f"{args} taken up after {cut} bytes: {taken.stderr}")
    # A file that was missing when the run taken up passed its place is not taken as checked.
    first = payload[0]
    moved = os.path.join(root, "aside")
    os.rename(first, moved)
    run(["-o", kept, "-c", "tree"], root)
    os.rename(moved, first)
    open(out + ".partial", "wb").write(contents(kept + ".partial"))
    taken = run(["-o", out, "--resume", "-c", "tree"], root)
    check(taken.returncode == 1 and b"not checked" in contents(out),
          f"a file back after its place was passed: {taken.stderr}")
    sharded = run(["--shard", "1/2", "-o", out, "-c", "tree"], root)
    check(sharded.returncode == 1 and b"--shard takes a checksum list" in sharded.stderr,
          f"--shard of a bag: {sharded.stderr}")


def main():
    case = sys.argv[2] if len(sys.argv) > 2 else ""
    cases = {"merge": case_merge, "audit": case_audit, "update": case_update,
             "refuse": case_refuse, "resume": case_resume, "check": case_check,
             "known": case_known, "bypath": case_bypath, "bag": case_bag}
    if not KORVADEX or case not in cases:
        print(__doc__)
        return 2
    with tempfile.TemporaryDirectory() as root:
        cases[case](root)
    for fault in FAULTS:
        print("FAULT:", fault)
    return 1 if FAULTS else 0


if __name__ == "__main__":
    sys.exit(main())

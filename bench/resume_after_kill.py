#!/usr/bin/env python3
"""Runs killed and taken up again: what a resumed run rereads, and that its list is whole.

  bench/resume_after_kill.py KORVADEX [FOLDER]

In FOLDER (default: a new folder under /var/tmp, on a disk rather than in memory) it makes
2 000 files of up to 64 KiB and one of 3 GiB, and lists them once uninterrupted
(-r -a md5,sha256 --format json).  Then, ten times, it starts the same run with -o, kills
it (SIGKILL) at a random point, evicts the files' pages from the cache
(POSIX_FADV_DONTNEED), and takes the run up with --resume.  For each it prints how many
bytes the resumed run read from storage (the blocks the kernel counts for it, which mapped
reads do not escape) against the bytes not yet written when it was killed, and checks that
the list equals the uninterrupted one.  KORVADEX_BENCH_SEED repeats a run; BENCH_LARGE_MIB
sets the large file's size.
"""
import json
import os
import random
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time


def evict(root):
    os.sync()
    for folder, _, names in os.walk(root):
        for name in names:
            fd = os.open(os.path.join(folder, name), os.O_RDONLY)
            os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
            os.close(fd)


def read_blocks():
    return resource.getrusage(resource.RUSAGE_CHILDREN).ru_inblock * 512


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    korvadex = os.path.abspath(sys.argv[1])
    root = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp(dir="/var/tmp")
    seed = int(os.environ.get("KORVADEX_BENCH_SEED", random.randrange(1 << 30)))
    print(f"seed {seed}; folder {root}")
    rng = random.Random(seed)
    large_mib = int(os.environ.get("BENCH_LARGE_MIB", "3072"))
    tree = os.path.join(root, "tree")
    sizes = {}
    if not os.path.isdir(tree):
        for i in range(2000):
            path = os.path.join(tree, f"d{i % 20}", f"f{i:04d}")
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as out:
                out.write(rng.randbytes(rng.randrange(0, 64 << 10)))
        with open(os.path.join(tree, "large.bin"), "wb") as out:
            block = rng.randbytes(1 << 20)
            for _ in range(large_mib):
                out.write(block)
    for folder, _, names in os.walk(tree):
        for name in names:
            path = os.path.join(folder, name)
            sizes[os.path.relpath(path, root)] = os.path.getsize(path)
    total = sum(sizes.values())
    args = [korvadex, "-r", "-a", "md5,sha256", "--format", "json", "tree"]
    started = time.monotonic()
    whole = subprocess.run(args, cwd=root, capture_output=True, check=True).stdout
    run_time = time.monotonic() - started
    print(f"{len(sizes)} files, {total / 2**20:.0f} MiB; uninterrupted run {run_time:.1f} s")
    out = os.path.join(root, "list.json")
    faults = 0
    print("kill at s | left unwritten MiB | resumed run read MiB | list whole")
    for attempt in range(10):
        for stale in (out, out + ".partial"):
            if os.path.exists(stale):
                os.remove(stale)
        at = rng.uniform(0.05, run_time * 0.95)
        child = subprocess.Popen(args + ["-o", out], cwd=root, stderr=subprocess.DEVNULL)
        time.sleep(at)
        child.send_signal(signal.SIGKILL)
        child.wait()
        written = set()
        with open(out + ".partial", "rb") as partial:
            for line in partial.read().split(b"\n")[1:]:
                try:
                    written.add(json.loads(line)["name"])
                except (ValueError, KeyError):
                    pass  # the header, a torn last line, or the end
        left = sum(size for name, size in sizes.items() if name not in written)
        evict(root)
        before = read_blocks()
        subprocess.run(args + ["-o", out, "--resume"], cwd=root, check=True,
                       stderr=subprocess.DEVNULL)
        read = read_blocks() - before
        same = open(out, "rb").read() == whole
        faults += not same
        print(f"{at:9.2f} | {left / 2**20:18.1f} | {read / 2**20:20.1f} | {same}")
    if len(sys.argv) <= 2:
        shutil.rmtree(root)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

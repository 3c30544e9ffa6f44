#!/usr/bin/env python3
"""The digest cache at the system calls, with the built korvadex.

  cache_system_test.py KORVADEX unread
      A second run of -r --format json --cache over 10 000 unchanged files opens no file of
      the tree for reading, maps none and writes no attribute: strace shows the calls, and
      the files' change times stay as they were.
  cache_system_test.py KORVADEX vfat
      On a file system without user attributes (a loop-mounted vfat image, or ramfs where
      vfat cannot be mounted, as root in a mount namespace of its own, so that the mount
      goes with the test however it ends), --cache says so once and reports every file
      right.

Exits 77 (skipped), after saying why, when what a case needs is missing.
"""
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
OLD = 1577836800  # 2020-01-01: files older than the cache's settling time


def skip(why):
    print(f"SKIPPED: {why}")
    sys.exit(SKIP)


def fail(why):
    print(f"FAILED: {why}")
    sys.exit(1)


def json_run(korvadex, tree, prefix=()):
    command = list(prefix) + [korvadex, "--cache", "-r", "--format", "json", "-a",
                              "md5,sha256", tree]
    # Under strace, a sanitizer build's leak check cannot stop the threads it looks at.
    env = dict(os.environ)
    env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS"), "detect_leaks=0"]))
    return subprocess.run(command, capture_output=True, text=True, env=env)


def unread(korvadex):
    if shutil.which("strace") is None:
        skip("strace is not installed")
    with tempfile.TemporaryDirectory() as scratch:
        tree = os.path.join(scratch, "tree")
        for d in range(100):
            os.makedirs(os.path.join(tree, f"d{d:02}"))
            for f in range(100):
                path = os.path.join(tree, f"d{d:02}", f"f{f:02}")
                with open(path, "wb") as out:
                    out.write(f"{d} {f}".encode())
                os.utime(path, (OLD, OLD))
        first = json_run(korvadex, tree)
        if first.returncode != 0:
            fail(f"the first run: {first.stderr}")
        if first.stderr:
            skip(f"the first run could not cache: {first.stderr.strip()}")
        changed = {p: os.stat(p).st_ctime_ns for p in walk(tree)}
        log = os.path.join(scratch, "strace.log")
        second = json_run(korvadex, tree, ["strace", "-f", "-qq", "-o", log, "-e",
                                           "trace=open,openat,openat2,mmap,setxattr,"
                                           "lsetxattr,fsetxattr,removexattr"])
        if second.returncode != 0 or second.stdout != first.stdout:
            fail(f"the second run differs: {second.stderr}")
        faults = []
        opens = 0
        mapped_from = {}  # descriptor -> path opened
        with open(log) as calls:
            for call in calls:
                opened = re.search(r'open(?:at2?)?\((?:[^,]+, )?"([^"]*)", ([A-Z_|]+).*= (-?\d+)',
                                   call)
                if opened:
                    path, flags, fd = opened.groups()
                    opens += 1
                    if "O_DIRECTORY" not in flags:
                        if not path.startswith("/") or path.startswith(tree + "/"):
                            faults.append(call.strip())
                        mapped_from[fd] = path
                    continue
                mapped = re.search(r"mmap\([^,]+, \d+, [^,]+, [^,]+, (\d+),", call)
                if mapped and mapped_from.get(mapped.group(1), "").startswith(tree + "/"):
                    faults.append(call.strip())
                if "xattr(" in call:
                    faults.append(call.strip())
        if opens == 0:
            fail(f"no open call in the trace: is {log} strace's?")
        if faults:
            fail("the second run reached the files:\n" + "\n".join(faults[:10]))
        moved = [p for p, t in changed.items() if os.stat(p).st_ctime_ns != t]
        if moved:
            fail(f"{len(moved)} change times moved, {moved[0]} first")
        print(f"{len(changed)} files: none opened, mapped or given an attribute")


def walk(tree):
    for folder, _, names in os.walk(tree):
        for name in names:
            yield os.path.join(folder, name)


def vfat(korvadex):
    if os.geteuid() != 0:
        skip("mounting a vfat image needs root")
    if os.environ.get("KORVADEX_VFAT_NAMESPACE") != "1":
        for tool in ("mkfs.vfat", "unshare", "mount"):
            if shutil.which(tool) is None:
                skip(f"{tool} is not installed")
        # In a mount namespace of its own, the mount ends with the process, however it ends.
        env = dict(os.environ, KORVADEX_VFAT_NAMESPACE="1")
        inner = subprocess.run(["unshare", "--mount", "--propagation", "private",
                                sys.executable, __file__, korvadex, "vfat"], env=env)
        sys.exit(inner.returncode)
    with tempfile.TemporaryDirectory() as scratch:
        image = os.path.join(scratch, "fat.img")
        mount = os.path.join(scratch, "mnt")
        os.mkdir(mount)
        with open(image, "wb") as out:
            out.truncate(8 << 20)
        if subprocess.run(["mkfs.vfat", image], capture_output=True).returncode != 0:
            skip("mkfs.vfat failed")
        mounted = subprocess.run(["mount", "-o", "loop", image, mount], capture_output=True,
                                 text=True)
        if mounted.returncode != 0:
            # Where vfat cannot be mounted (a container without its module), ramfs, which
            # keeps no user attributes either.
            print(f"vfat cannot be loop-mounted here ({mounted.stderr.strip()}): ramfs instead")
            if subprocess.run(["mount", "-t", "ramfs", "ramfs", mount]).returncode != 0:
                skip("neither vfat nor ramfs can be mounted here")
        try:
            check_vfat(korvadex, mount)
        finally:
            subprocess.run(["umount", mount])


def check_vfat(korvadex, mount):
    expected = ""
    for i in range(3):
        data = f"file {i}".encode()
        with open(os.path.join(mount, f"f{i}"), "wb") as out:
            out.write(data)
        os.utime(os.path.join(mount, f"f{i}"), (OLD, OLD))
        expected += f"{hashlib.sha256(data).hexdigest()}  {mount}/f{i}\n"
    run = subprocess.run([korvadex, "--cache", "-r", "--format", "gnu", "-a", "sha256", mount],
                         capture_output=True, text=True)
    if run.returncode != 0 or run.stdout != expected:
        fail(f"--cache on vfat: status {run.returncode}\n{run.stdout}{run.stderr}")
    messages = run.stderr.splitlines()
    if len(messages) != 1 or "keeps no user extended attributes" not in messages[0]:
        fail(f"--cache on vfat should say once that there are no attributes:\n{run.stderr}")
    verified = subprocess.run([korvadex, "--verify-cache", "-r", mount], capture_output=True,
                              text=True)
    if verified.returncode != 0 or verified.stdout.count(": no cache\n") != 3:
        fail(f"--verify-cache on vfat: status {verified.returncode}\n{verified.stdout}")
    print("the cache is left out, once said, and every value is right")


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[2] not in ("unread", "vfat"):
        sys.exit(__doc__)
    {"unread": unread, "vfat": vfat}[sys.argv[2]](sys.argv[1])

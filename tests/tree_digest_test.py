#!/usr/bin/env python3
"""The values of --tree, computed from the definition in docs/tree-digest.md with hashlib,
hmac and zlib alone, against what korvadex prints.

    tree_digest_test.py KORVADEX WORKDIR      compare; exit status 1 on any difference
    tree_digest_test.py --vectors WORKDIR     print the worked vectors of the document
"""
import hashlib
import hmac
import os
import shutil
import struct
import subprocess
import sys
import zlib

HEAD = b"korvadex tree 1\n"


def crc32(data):
    return struct.pack(">I", zlib.crc32(data) & 0xFFFFFFFF)


def adler32(data):
    return struct.pack(">I", zlib.adler32(data) & 0xFFFFFFFF)


# The lines checked: korvadex's -a name, and the digest of bytes.
LINES = {
    "md5": lambda d: hashlib.md5(d).digest(),
    "sha1": lambda d: hashlib.sha1(d).digest(),
    "sha256": lambda d: hashlib.sha256(d).digest(),
    "sha512": lambda d: hashlib.sha512(d).digest(),
    "ripemd160": lambda d: hashlib.new("ripemd160", d).digest(),
    "crc32": crc32,
    "adler32": adler32,
}
LABELS = {
    "md5": "MD5", "sha1": "SHA-1", "sha256": "SHA-256", "sha512": "SHA-512",
    "ripemd160": "RIPEMD-160", "crc32": "CRC32", "adler32": "ADLER32",
}


def digest(name, data, key):
    """The digest of data, or with a key its HMAC (hash lines only: hmac has no checksums)."""
    if key is None:
        return LINES[name](data)
    return hmac.new(key, data, name).digest()


def walk(root, follow, max_depth, excluded, below=b"", depth=0):
    """The entries below root: (relative name, kind, detail), each directory before what is
    in it, the names of one directory in byte order.  excluded(relative) leaves an entry
    out."""
    entries = []
    folder = os.path.join(root, below) if below else root
    for name in sorted(os.listdir(folder)):
        relative = below + b"/" + name if below else name
        if excluded(relative):
            continue
        path = os.path.join(root, relative)
        if os.path.islink(path) and not follow:
            entries.append((relative, "L", os.readlink(path)))
        elif os.path.isdir(path):
            entries.append((relative, "D", None))
            if max_depth is None or depth + 1 < max_depth:
                entries += walk(root, follow, max_depth, excluded, relative, depth + 1)
        else:
            with open(path, "rb") as f:
                entries.append((relative, "F", f.read()))
    return entries


def manifest(entries, name, key):
    out = bytearray(HEAD)
    for relative, kind, detail in entries:
        out += kind.encode() + struct.pack(">I", len(relative)) + relative
        if kind == "F":
            out += struct.pack(">Q", len(detail)) + digest(name, detail, key)
        elif kind == "L":
            out += struct.pack(">I", len(detail)) + detail
    return bytes(out)


def tree_value(root, name, key=None, follow=False, max_depth=None, excluded=lambda r: False):
    entries = walk(os.fsencode(root), follow, max_depth, excluded)
    return digest(name, manifest(entries, name, key), key).hex()


def make_vector_tree(root):
    """The tree of the worked vectors."""
    os.makedirs(os.path.join(root, "b"))
    os.makedirs(os.path.join(root, "e"))
    for name, content in (("a.txt", b"abc"), ("b/c.txt", b""), ("b-c", b"message digest")):
        with open(os.path.join(root, name), "wb") as f:
            f.write(content)
    os.symlink("a.txt", os.path.join(root, "l"))


def make_hostile_tree(root):
    """Names that are not UTF-8, hold line breaks and blanks, a link to a directory above and
    one that leads nowhere."""
    make_vector_tree(root)
    raw = os.fsencode(root)
    for name in (b"\xff\xfe bytes", b"line\nbreak", b"sp ace", b"b/\xc3\xa9t\xc3\xa9"):
        with open(os.path.join(raw, name), "wb") as f:
            f.write(name * 3)
    os.symlink("..", os.path.join(root, "b", "up"))
    os.symlink("missing", os.path.join(root, "dangling"))


def run(korvadex, args):
    result = subprocess.run([korvadex] + args, capture_output=True)
    return result.returncode, result.stdout


def main():
    if sys.argv[1] == "--vectors":
        work = sys.argv[2]
        shutil.rmtree(work, ignore_errors=True)
        root = os.path.join(work, "t")
        make_vector_tree(root)
        entries = walk(os.fsencode(root), False, None, lambda r: False)
        print("manifest (SHA-256):", manifest(entries, "sha256", None).hex())
        for name in LINES:
            print(LABELS[name], tree_value(root, name))
        print("HMAC-SHA-256, key 'key'", tree_value(root, "sha256", b"key"))
        empty = os.path.join(work, "empty")
        os.makedirs(empty)
        print("empty SHA-256", tree_value(empty, "sha256"))
        return 0

    korvadex, work = sys.argv[1], sys.argv[2]
    shutil.rmtree(work, ignore_errors=True)
    vector_root = os.path.join(work, "vectors")
    make_vector_tree(vector_root)
    hostile_root = os.path.join(work, "hostile")
    make_hostile_tree(hostile_root)
    failures = 0

    def compare(what, args, expected):
        nonlocal failures
        status, out = run(korvadex, ["--tree", "--tag", "--lower"] + args)
        got = out.decode("latin-1").rsplit(" = ", 1)[-1].strip()
        if status != 0 or got != expected:
            print(f"{what}: korvadex {args} gave {got!r} (status {status}), expected {expected}")
            failures += 1

    for name in LINES:
        compare(name, ["-a", name, vector_root], tree_value(vector_root, name))
    for name in ("md5", "sha1", "sha256", "sha512", "ripemd160"):
        compare("keyed " + name, ["-a", name, "--key", "key", vector_root],
                tree_value(vector_root, name, b"key"))
    compare("--follow", ["--follow", vector_root], tree_value(vector_root, "sha256", follow=True))
    compare("--max-depth 1", ["--max-depth", "1", vector_root],
            tree_value(vector_root, "sha256", max_depth=1))
    compare("--exclude", ["--exclude", "*.txt", vector_root],
            tree_value(vector_root, "sha256", excluded=lambda r: r.endswith(b".txt")))
    compare("--exclude a directory", ["--exclude", "b/", vector_root],
            tree_value(vector_root, "sha256", excluded=lambda r: r == b"b"))
    compare("hostile names", ["-a", "md5", hostile_root], tree_value(hostile_root, "md5"))
    empty = os.path.join(work, "empty")
    os.makedirs(empty)
    compare("empty", [empty], tree_value(empty, "sha256"))
    print(f"{failures} difference(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

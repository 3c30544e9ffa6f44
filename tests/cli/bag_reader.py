#!/usr/bin/env python3
"""A second reader of bags, written from RFC 8493 alone, for the tests of korvadex's bags.

  bag_reader.py DIR   prints "valid", "incomplete N" or "invalid N" (N problems), then one
                      line per problem and per warning; exits 0 when the bag is valid.

It shares nothing with korvadex: it reads the tag files, walks the payload and hashes with
hashlib.
"""
import hashlib
import os
import sys
import unicodedata

ALGORITHMS = {"md5", "sha1", "sha256", "sha384", "sha512"}
VERSIONS = {"0.93", "0.94", "0.95", "0.96", "0.97", "1.0"}


def lines_of(text):
    return text.replace("\r\n", "\n").replace("\r", "\n").split("\n")


def decode(raw, encoding):
    name = encoding.upper()
    if name == "UTF-8":
        return raw.decode("utf-8-sig")
    if name in ("ISO-8859-1", "LATIN1"):
        return raw.decode("latin-1")
    if name.startswith("UTF-16"):
        return raw.decode("utf-16" if name == "UTF-16" else name.lower())
    raise ValueError(f"unknown encoding {encoding}")


def unescape(path):
    out, i = "", 0
    while i < len(path):
        code = path[i:i + 3].upper()
        if code in ("%0D", "%0A", "%25"):
            out += {"%0D": "\r", "%0A": "\n", "%25": "%"}[code]
            i += 3
        else:
            out += path[i]
            i += 1
    return out


def outside(path):
    parts = path.replace("\\", "/").split("/")
    return (path.startswith(("/", "\\", "~")) or ".." in parts or
            (len(path) > 1 and path[1] == ":" and path[0].isalpha()))


def validate(bag):
    incomplete, invalid, warnings = [], [], []
    try:
        raw = open(os.path.join(bag, "bagit.txt"), "rb").read()
    except OSError:
        return "incomplete", ["bagit.txt missing"], []
    if raw.startswith(b"\xef\xbb\xbf"):
        return "invalid", ["bagit.txt has a byte-order mark"], []
    declared = [l for l in lines_of(raw.decode("utf-8", "replace")) if l]
    if (len(declared) != 2 or not declared[0].startswith("BagIt-Version: ") or
            not declared[1].startswith("Tag-File-Character-Encoding: ")):
        return "invalid", ["bagit.txt malformed"], []
    version = declared[0][len("BagIt-Version: "):]
    encoding = declared[1][len("Tag-File-Character-Encoding: "):]
    if version not in VERSIONS:
        return "invalid", [f"version {version}"], []
    if version in ("0.93", "0.94", "0.95", "0.96"):
        warnings.append("old version")
    modern = version == "1.0"

    payload = set()
    for folder, dirs, files in os.walk(os.path.join(bag, "data")):
        for name in files:
            full = os.path.join(folder, name)
            if not os.path.islink(full):
                payload.add(os.path.relpath(full, bag).replace(os.sep, "/"))
    if not os.path.isdir(os.path.join(bag, "data")):
        incomplete.append("data/ missing")

    manifests = {}  # file name -> (algorithm, tag, {path: hex})
    for name in sorted(os.listdir(bag)):
        for prefix, tag in (("manifest-", False), ("tagmanifest-", True)):
            if not (name.startswith(prefix) and name.endswith(".txt")):
                continue
            algorithm = name[len(prefix):-4]
            if algorithm not in ALGORITHMS:
                warnings.append(f"{name}: algorithm not read")
                continue
            entries = {}
            text = decode(open(os.path.join(bag, name), "rb").read(), encoding)
            for number, line in enumerate(lines_of(text), 1):
                if not line:
                    continue
                parts = line.replace("\t", " ").split(" ", 1)
                if len(parts) != 2:
                    invalid.append(f"{name}:{number}: malformed")
                    continue
                value, path = parts[0], parts[1].lstrip(" \t")
                if path.startswith("*"):
                    warnings.append(f"{name}:{number}: star")
                    path = path[1:]
                if modern:
                    path = unescape(path)
                while path.startswith("./"):
                    path = path[2:]
                if outside(path):
                    invalid.append(f"{name}:{number}: outside")
                    continue
                if path.startswith("data/") == tag:
                    invalid.append(f"{name}:{number}: wrong kind of file")
                    continue
                if path in entries:
                    if entries[path] != value.lower():
                        invalid.append(f"{name}:{number}: listed twice, two values")
                    else:
                        warnings.append(f"{name}:{number}: listed twice")
                    continue
                entries[path] = value.lower()
            manifests[name] = (algorithm, tag, entries)
    payload_manifests = [m for m in manifests.values() if not m[1]]
    if not payload_manifests:
        incomplete.append("no payload manifest")

    fetch = {}
    if os.path.isfile(os.path.join(bag, "fetch.txt")):
        text = decode(open(os.path.join(bag, "fetch.txt"), "rb").read(), encoding)
        for line in lines_of(text):
            parts = line.split(None, 2)
            if len(parts) == 3:
                fetch[unescape(parts[2]) if modern else parts[2]] = parts[0]

    for name, (algorithm, tag, entries) in manifests.items():
        for path, value in entries.items():
            full = os.path.join(bag, *path.split("/"))
            if not os.path.isfile(full):
                incomplete.append(f"{path}: missing from {name}")
                continue
            actual = hashlib.new(algorithm, open(full, "rb").read()).hexdigest()
            if actual != value:
                invalid.append(f"{path}: fails {name}")
        if not tag:
            for path in payload - set(entries):
                if modern:
                    incomplete.append(f"{path}: not in {name}")
    if not modern:
        for path in payload:
            if not any(path in m[2] for m in payload_manifests):
                incomplete.append(f"{path}: in no manifest")

    seen = {}
    for path in sorted(payload | {p for m in payload_manifests for p in m[2]}):
        key = unicodedata.normalize("NFC", path).casefold()
        if key in seen and seen[key] != path:
            warnings.append(f"{seen[key]} and {path} collide")
        seen.setdefault(key, path)
        if os.path.basename(path) in (".DS_Store", "Thumbs.db"):
            warnings.append(f"{path}: made by the system")

    problems = invalid + incomplete
    verdict = "invalid" if invalid else "incomplete" if incomplete else "valid"
    return verdict, problems, warnings


if __name__ == "__main__":
    verdict, problems, warnings = validate(sys.argv[1])
    print(verdict if not problems else f"{verdict} {len(problems)}")
    for line in problems + [f"warning: {w}" for w in warnings]:
        print(line)
    sys.exit(0 if verdict == "valid" else 1)

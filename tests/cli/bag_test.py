#!/usr/bin/env python3
"""Bags with the built korvadex, each case also read by bag_reader.py, the second reader.

  bag_test.py KORVADEX corpus   bags written here from the RFC's rules, valid, incomplete,
                                invalid and with warnings: korvadex -c gives each its verdict
                                and warnings, and the second reader the same verdict
  bag_test.py KORVADEX make     --make-bag in place over awkward names, -a added to a bag,
                                one byte changed: korvadex and the second reader agree
  bag_test.py KORVADEX kill     --make-bag killed (SIGKILL, strace's injection) before each
                                rename it makes: no file is lost, and a run after finishes it

Exits 77 (skipped), after saying why, when what a case needs is missing.
"""
import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bag_reader  # noqa: E402

KORVADEX = sys.argv[1] if len(sys.argv) > 1 else ""
FAULTS = []


def check(condition, what):
    if not condition:
        FAULTS.append(what)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data if isinstance(data, bytes) else data.encode())


def manifest(bag, name, algorithm, paths, encode=lambda p: p, codec="utf-8"):
    text = ""
    for path in paths:
        data = open(os.path.join(bag, *path.split("/")), "rb").read()
        text += f"{hashlib.new(algorithm, data).hexdigest()}  {encode(path)}\n"
    write(os.path.join(bag, name), text.encode(codec))


def percent(path):
    return path.replace("%", "%25").replace("\r", "%0D").replace("\n", "%0A")


def make_bag(bag, version="1.0", payload=None, algorithms=("sha256", "sha512"),
             encoding="UTF-8", info="bag-info.txt", tags=True):
    payload = payload if payload is not None else {"data/a.txt": "alpha", "data/sub/b.txt": "bravo"}
    shutil.rmtree(bag, ignore_errors=True)
    write(os.path.join(bag, "bagit.txt"),
          f"BagIt-Version: {version}\nTag-File-Character-Encoding: {encoding}\n")
    os.makedirs(os.path.join(bag, "data"), exist_ok=True)
    for path, data in payload.items():
        write(os.path.join(bag, *path.split("/")), data)
    codec = {"UTF-8": "utf-8", "ISO-8859-1": "latin-1", "UTF-16": "utf-16"}[encoding]
    encode = percent if version == "1.0" else (lambda p: p)
    octets = sum(len(d if isinstance(d, bytes) else d.encode()) for d in payload.values())
    write(os.path.join(bag, info),
          f"Bagging-Date: 2024-01-01\nPayload-Oxum: {octets}.{len(payload)}\n".encode(codec))
    for algorithm in algorithms:
        manifest(bag, f"manifest-{algorithm}.txt", algorithm, sorted(payload), encode, codec)
    if tags:
        tag_files = ["bagit.txt", info] + [f"manifest-{a}.txt" for a in algorithms]
        manifest(bag, "tagmanifest-sha256.txt", "sha256", tag_files, codec=codec)


def replace_in(path, old, new):
    data = open(path, "rb").read()
    assert old.encode() in data, (path, old)
    write(path, data.replace(old.encode(), new.encode(), 1))


def append(path, text):
    with open(path, "ab") as out:
        out.write(text.encode())


def corpus():
    sha = lambda data: hashlib.sha256(data.encode()).hexdigest()
    # Each case: name, what to do to the base bag at b (or None; a case may make b afresh),
    # the verdict, the problems korvadex counts, and a text a warning must hold.
    cases = [
        ("valid 1.0", None, "valid", 0, None),
        ("empty payload", lambda b: make_bag(b, payload={}), "valid", 0, None),
        ("percent-encoded names", lambda b: make_bag(
            b, payload={"data/100%.txt": "p", "data/two\nlines": "n", "data/cr\rname": "r"}),
         "valid", 0, None),
        ("CR line ends", lambda b: (make_bag(b, tags=False), replace_in(
            f"{b}/manifest-sha256.txt", "\n", "\r")), "valid", 0, None),
        ("./ before paths", lambda b: (make_bag(b, tags=False), replace_in(
            f"{b}/manifest-sha256.txt", "  data/a.txt", "  ./data/a.txt")), "valid", 0, None),
        ("0.97 in ISO-8859-1", lambda b: make_bag(
            b, version="0.97", encoding="ISO-8859-1", payload={"data/caf\u00e9": "c"}),
         "valid", 0, "ISO-8859-1"),
        ("0.97 in UTF-16", lambda b: make_bag(b, version="0.97", encoding="UTF-16"),
         "valid", 0, "UTF-16"),
        ("0.97: one manifest is enough", lambda b: (make_bag(b, version="0.97", tags=False),
                                                    write(f"{b}/data/c.txt", "c"),
                                                    append(f"{b}/manifest-sha256.txt",
                                                           f"{sha('c')}  data/c.txt\n")),
         "valid", 0, None),
        ("0.95 with package-info.txt", lambda b: make_bag(b, version="0.95",
                                                          info="package-info.txt"),
         "valid", 0, "is old"),
        ("0.96", lambda b: make_bag(b, version="0.96"), "valid", 0, "is old"),
        # Incomplete.
        ("no data/", lambda b: (make_bag(b, payload={}), os.rmdir(f"{b}/data")),
         "incomplete", 1, None),
        ("entry without a file", lambda b: os.remove(f"{b}/data/a.txt"), "incomplete", 1, None),
        ("file missing from one manifest", lambda b: (make_bag(b, tags=False),
                                                      write(f"{b}/data/c.txt", "c"), append(
            f"{b}/manifest-sha256.txt", f"{sha('c')}  data/c.txt\n")), "incomplete", 1, None),
        ("file in no manifest", lambda b: write(f"{b}/data/c.txt", "c"), "incomplete", 1, None),
        ("no payload manifest", lambda b: make_bag(b, algorithms=(), tags=False),
         "incomplete", 1, None),
        ("fetch.txt with a hole", lambda b: (make_bag(
            b, payload={"data/a.txt": "alpha", "data/c.txt": "c"}, tags=False),
            os.remove(f"{b}/data/c.txt"),
            write(f"{b}/fetch.txt", "https://example.org/c 1 data/c.txt\n")),
         "incomplete", 1, None),
        # Invalid: every problem counted, not only the first.
        ("one wrong payload byte", lambda b: write(f"{b}/data/a.txt", "alphA"), "invalid", 1, None),
        ("three wrong files", lambda b: (make_bag(b, payload={f"data/{i}": str(i) for i in range(3)}),
                                         [write(f"{b}/data/{i}", "x") for i in range(3)]),
         "invalid", 3, None),
        ("wrong tag file", lambda b: append(f"{b}/bag-info.txt", "Contact-Name: X\n"),
         "invalid", 1, None),
        ("both wrong and missing", lambda b: (write(f"{b}/data/a.txt", "alphA"),
                                              os.remove(f"{b}/data/sub/b.txt")),
         "invalid", 2, "empty folder"),
    ]
    for path in ("../outside", "data/../../outside", "/etc/passwd", "~/x", "C:/x", "\\\\server\\x"):
        cases.append((f"path {path}", lambda b, p=path: (make_bag(b, tags=False), append(
            f"{b}/manifest-sha256.txt", f"{sha('x')}  {p}\n")), "invalid", 1, None))
    cases += [
        ("version 2.0", lambda b: replace_in(f"{b}/bagit.txt", "1.0", "2.0"), "invalid", 1, None),
        ("bagit.txt with a BOM", lambda b: write(
            f"{b}/bagit.txt", b"\xef\xbb\xbf" + open(f"{b}/bagit.txt", "rb").read()),
         "invalid", 1, None),
        ("bagit.txt of three lines", lambda b: append(f"{b}/bagit.txt", "Extra: 1\n"),
         "invalid", 1, None),
        ("a path listed twice, two values", lambda b: (make_bag(b, tags=False), append(
            f"{b}/manifest-sha256.txt", f"{sha('x')}  data/a.txt\n")), "invalid", 1, None),
        ("payload in a tag manifest", lambda b: append(
            f"{b}/tagmanifest-sha256.txt", f"{sha('alpha')}  data/a.txt\n"), "invalid", 1, None),
        ("a tag file in a payload manifest", lambda b: (make_bag(b, tags=False), append(
            f"{b}/manifest-sha256.txt", f"{sha('x')}  bag-info.txt\n")), "invalid", 1, None),
        ("a checksum of the wrong width", lambda b: (make_bag(b, tags=False), replace_in(
            f"{b}/manifest-sha256.txt", sha("alpha"), sha("alpha")[:-2])), "invalid", 2, None),
        # Valid, with warnings.
        ("a path listed twice", lambda b: (make_bag(b, tags=False), append(
            f"{b}/manifest-sha256.txt", f"{sha('alpha')}  data/a.txt\n")),
         "valid", 0, "listed twice"),
        ("names that differ in case", lambda b: make_bag(
            b, payload={"data/A.txt": "1", "data/a.txt": "2"}), "valid", 0, "differ only"),
        ("names that differ in normalisation", lambda b: make_bag(
            b, payload={"data/caf\u00e9": "1", "data/cafe\u0301": "2"}), "valid", 0, "normalisation"),
        ("md5sum's star", lambda b: (make_bag(b, tags=False), replace_in(
            f"{b}/manifest-sha256.txt", "  data/a.txt", " *data/a.txt")), "valid", 0, "'*'"),
        (".DS_Store", lambda b: make_bag(b, payload={"data/.DS_Store": "x"}), "valid", 0,
         "on its own"),
        ("a payload manifest no tag manifest lists", lambda b: (
            make_bag(b), manifest(b, "manifest-md5.txt", "md5", ["data/a.txt", "data/sub/b.txt"])),
         "valid", 0, "does not list"),
        ("Payload-Oxum twice", lambda b: (make_bag(b, tags=False), append(
            f"{b}/bag-info.txt", "Payload-Oxum: 1.1\n")), "valid", 0, "more than once"),
        ("an algorithm not read", lambda b: write(f"{b}/manifest-blake2b.txt", "00  data/a.txt\n"),
         "valid", 0, "not an algorithm"),
    ]
    names = set()
    for name, mutate, verdict, problems, warning in cases:
        check(name not in names, f"two cases named {name}")
        names.add(name)
        with tempfile.TemporaryDirectory() as scratch:
            bag = os.path.join(scratch, "bag")
            make_bag(bag)
            if mutate:
                mutate(bag)
            run = subprocess.run([KORVADEX, "-c", "--format", "json", bag], capture_output=True)
            objects = [json.loads(line) for line in run.stdout.decode().splitlines()]
            summary = objects[-1] if objects else {}
            check(summary.get("verdict") == verdict and summary.get("problems") == problems,
                  f"{name}: korvadex says {summary}, not {verdict} with {problems} problems")
            check(run.returncode == (0 if verdict == "valid" else 1),
                  f"{name}: exit status {run.returncode}")
            shown = " ".join(summary.get("warnings", []))
            check(warning is None or warning in shown,
                  f"{name}: no warning with '{warning}' in {shown!r}")
            check(warning is not None or not shown, f"{name}: unexpected warnings {shown!r}")
            second, _, _ = bag_reader.validate(bag)
            check(second == verdict, f"{name}: the second reader says {second}")
    # --fast looks at Payload-Oxum only.
    with tempfile.TemporaryDirectory() as scratch:
        bag = os.path.join(scratch, "bag")
        make_bag(bag)
        check(subprocess.run([KORVADEX, "-c", "--fast", bag], capture_output=True).returncode == 0,
              "--fast of a right Payload-Oxum")
        write(f"{bag}/data/a.txt", "alphA")  # same size: --fast cannot see it
        check(subprocess.run([KORVADEX, "-c", "--fast", bag], capture_output=True).returncode == 0,
              "--fast reads no checksum")
        write(f"{bag}/data/a.txt", "alpha!")
        check(subprocess.run([KORVADEX, "-c", "--fast", bag], capture_output=True).returncode == 1,
              "--fast of a wrong Payload-Oxum")
    return len(cases)


def tree(root):
    files = {}
    for folder, _, names in os.walk(root):
        for name in names:
            full = os.path.join(folder, name)
            if not os.path.islink(full):
                files[os.path.relpath(full, root)] = open(full, "rb").read()
    return files


def awkward(root):
    for path, data in {"a.txt": "alpha", "100%.txt": "percent", "two\nlines": "n",
                       "sp ace/\u00e9t\u00e9.txt": "summer", ".hidden": "h",
                       "data/inner.txt": "an entry already named data",
                       "manifest-md5.txt": "a file that looks like a tag file"}.items():
        write(os.path.join(root, path), data)
    os.makedirs(os.path.join(root, "empty"))
    os.symlink("a.txt", os.path.join(root, "link"))


def make():
    with tempfile.TemporaryDirectory() as scratch:
        bag = os.path.join(scratch, "bag")
        awkward(bag)
        before = tree(bag)
        run = subprocess.run([KORVADEX, "--make-bag", "-a", "md5,sha256,sha512", bag],
                             capture_output=True, text=True)
        check(run.returncode == 0, f"--make-bag: {run.stderr}")
        check("symbolic link" in run.stderr and "empty folder" in run.stderr,
              f"--make-bag warns of the link and the empty folder: {run.stderr}")
        after = tree(os.path.join(bag, "data"))
        check(after == before, "the payload is not the tree as it was")
        for algorithms in ("", "sha1"):
            if algorithms:
                added = subprocess.run([KORVADEX, "--make-bag", "-a", algorithms, bag],
                                       capture_output=True, text=True)
                check(added.returncode == 0, f"--make-bag -a sha1: {added.stderr}")
                check(os.path.isfile(f"{bag}/manifest-sha1.txt"), "no manifest-sha1.txt")
            verdict, problems, _ = bag_reader.validate(bag)
            check(verdict == "valid", f"the second reader: {verdict} {problems}")
            check(subprocess.run([KORVADEX, "-c", bag], capture_output=True).returncode == 0,
                  "korvadex -c of its own bag")
        check(subprocess.run([KORVADEX, "--make-bag", "-a", "crc32", bag],
                             capture_output=True).returncode == 2, "-a crc32 is refused")
        write(f"{bag}/data/a.txt", "alphA")
        run = subprocess.run([KORVADEX, "-c", "--format", "json", "--quiet", bag],
                             capture_output=True, text=True)
        objects = [json.loads(line) for line in run.stdout.splitlines()]
        check(run.returncode == 1, "a changed byte")
        check(objects[0].get("name") == "data/a.txt" and objects[0].get("manifests") == [
            f"manifest-{a}.txt" for a in ("md5", "sha1", "sha256", "sha512")],
              f"the changed file and every manifest it fails: {objects[:1]}")
        check(bag_reader.validate(bag)[0] == "invalid", "the second reader sees the byte")
        check(subprocess.run([KORVADEX, "--make-bag", "-a", "sha384", bag],
                             capture_output=True).returncode == 1, "a bad bag is not changed")
        check(not os.path.exists(f"{bag}/manifest-sha384.txt"), "a bad bag was changed")


def kill():
    if shutil.which("strace") is None:
        print("SKIPPED: strace is not installed")
        sys.exit(77)
    runs = 0
    with tempfile.TemporaryDirectory() as scratch:
        original = os.path.join(scratch, "original")
        awkward(original)
        before = tree(original)
        for call in ("renameat2", "rename"):
            for when in range(1, 12):
                bag = os.path.join(scratch, f"{call}-{when}")
                shutil.copytree(original, bag, symlinks=True)
                killed = subprocess.run(
                    ["strace", "-f", "-qq", "-o", os.devnull, "-e", f"trace={call}", "-e",
                     f"inject={call}:signal=SIGKILL:when={when}", KORVADEX, "--make-bag", bag],
                    capture_output=True)
                if killed.returncode == 0:
                    break  # fewer such calls than when: the run ended
                runs += 1
                # Every file is somewhere: where it was, in the staging folder or in data/.
                found = {}
                for root in (bag, os.path.join(bag, ".korvadex-payload"), os.path.join(bag, "data")):
                    if os.path.isdir(root):
                        for path, data in tree(root).items():
                            found.setdefault(path, data)
                lost = [p for p, d in before.items() if found.get(p) != d]
                check(not lost, f"killed at {call} #{when}: lost {lost}")
                again = subprocess.run([KORVADEX, "--make-bag", bag], capture_output=True,
                                       text=True)
                check(again.returncode == 0, f"after a kill at {call} #{when}: {again.stderr}")
                check(tree(os.path.join(bag, "data")) == before,
                      f"after a kill at {call} #{when}: the payload differs")
                check(bag_reader.validate(bag)[0] == "valid",
                      f"after a kill at {call} #{when}: not a valid bag")
    check(runs >= 8, f"only {runs} kills")
    return runs


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[2] not in ("corpus", "make", "kill"):
        sys.exit(__doc__)
    done = {"corpus": corpus, "make": make, "kill": kill}[sys.argv[2]]()
    for fault in FAULTS:
        print("FAILED:", fault)
    if not FAULTS:
        print("passed", "" if done is None else f"({done})")
    sys.exit(1 if FAULTS else 0)

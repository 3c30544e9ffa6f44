#!/usr/bin/env python3
"""Checks every #include of cli/ against the rooms' one-way rule (cli/README.md).

A header of the command line is named from cli/ ("lists/json_lines.h"); a room includes its
own headers and those of the rooms below it, never one above.  The commands also read the
options, which the top parses.  Exits 1, naming each include that breaks the rule.
"""
import os
import re
import sys

# Each room, with the rooms it may include besides its own.
ALLOWED = {
    "": {"commands", "lists", "batch", "system", "common"},
    "commands": {"lists", "batch", "system", "common"},
    "lists": {"system", "common"},
    "batch": {"system", "common"},
    "system": {"common"},
    "common": set(),
}
# The headers of the top that a room below may read.
TOP_HEADERS_FOR = {"commands": {"options.h"}}


def room_of(relative):
    return relative.split("/")[0] if "/" in relative else ""


def check(cli):
    headers = set()
    sources = []
    for folder, _, names in os.walk(cli):
        for name in names:
            relative = os.path.relpath(os.path.join(folder, name), cli).replace(os.sep, "/")
            if name.endswith(".h"):
                headers.add(relative)
            if name.endswith((".h", ".cpp")):
                sources.append(relative)
    by_name = {}
    for header in headers:
        by_name.setdefault(os.path.basename(header), []).append(header)

    faults = []
    for source in sorted(sources):
        room = room_of(source)
        if room not in ALLOWED:
            faults.append(f"{source}: in no room of the command line")
            continue
        with open(os.path.join(cli, source), encoding="utf-8") as text:
            for number, line in enumerate(text, 1):
                match = re.match(r'\s*#\s*include\s*"([^"]+)"', line)
                if not match:
                    continue
                target = match.group(1)
                where = f"{source}:{number}: #include \"{target}\""
                if target not in headers:
                    if os.path.basename(target) in by_name:
                        faults.append(f"{where}: name it from cli/, as "
                                      f"{' or '.join(sorted(by_name[os.path.basename(target)]))}")
                    continue  # a header of report/ or digests/, below the command line
                to = room_of(target)
                if to == room or to in ALLOWED[room]:
                    continue
                if to == "" and target in TOP_HEADERS_FOR.get(room, set()):
                    continue
                faults.append(f"{where}: {room or 'the top'} may not include "
                              f"{to or 'the top'}")
    return faults, len(sources)


def main():
    cli = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(__file__), "..", "..", "cli")
    faults, count = check(cli)
    for fault in faults:
        print(fault)
    if count == 0:
        print("no source found under", cli)
        return 1
    print(f"{count} files checked, {len(faults)} includes against the rule")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

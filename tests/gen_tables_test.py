#!/usr/bin/env python3
"""tools/gen_tables.py --check in a copy that holds nothing but the generator, its data and
the two generated files: it passes on the committed tables, and fails once one byte of a
data file (a number or a comment) or of a generated file changes.

    gen_tables_test.py SOURCE_DIR WORK_DIR
"""
import os
import shutil
import subprocess
import sys

source, work = sys.argv[1], sys.argv[2]
GENERATED = ['digests/digest_tables.h', 'digests/digest_tables.cpp']


def fresh_copy():
    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(os.path.join(source, 'tools', 'tables'), os.path.join(work, 'tools', 'tables'))
    shutil.copy(os.path.join(source, 'tools', 'gen_tables.py'), os.path.join(work, 'tools'))
    os.makedirs(os.path.join(work, 'digests'))
    for path in GENERATED:
        shutil.copy(os.path.join(source, path), os.path.join(work, path))


def check():
    return subprocess.run([sys.executable, os.path.join(work, 'tools', 'gen_tables.py'), '--check'],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE).returncode


def change_byte(path, find_offset):
    """Replaces the byte at find_offset(content) by another of its kind (a hex digit by
    another hex digit, anything else by the next letter)."""
    with open(path, 'rb') as f:
        content = bytearray(f.read())
    at = find_offset(content)
    digits = b'0123456789ABCDEF'
    old = content[at]
    content[at] = digits[(digits.index(old) + 1) % 16] if old in digits else (old + 1 if old != 0x7E else 0x41)
    with open(path, 'wb') as f:
        f.write(content)


def last_digit(content):
    return len(content.rstrip(b'\n')) - 1


def in_comment(content):
    return content.index(b'#') + 3


def in_table(content):
    return content.rindex(b'0x') + 4


failures = []
fresh_copy()
if check() != 0:
    failures.append('--check fails on the committed tables')

cases = [(os.path.join('tools', 'tables', name), last_digit)
         for name in sorted(os.listdir(os.path.join(source, 'tools', 'tables')))]
cases += [(os.path.join('tools', 'tables', 'md2_sbox.txt'), in_comment)]
cases += [(path, in_table) for path in GENERATED]
for path, where in cases:
    fresh_copy()
    change_byte(os.path.join(work, path), where)
    if check() != 1:
        failures.append('--check passes with a byte of %s changed (%s)' % (path, where.__name__))

shutil.rmtree(work, ignore_errors=True)
for failure in failures:
    print('FAIL:', failure)
print('%d cases, %d failures' % (len(cases) + 1, len(failures)))
sys.exit(1 if failures else 0)

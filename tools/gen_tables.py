#!/usr/bin/env python3
"""Writes digests/digest_tables.h and digests/digest_tables.cpp, the constant tables of the
digest engines, from the published data in tools/tables/.

    python3 tools/gen_tables.py           writes both files
    python3 tools/gen_tables.py --check   exits 0 when the committed files equal what it
                                          generates, 1 (naming what differs) otherwise

Each data file in tools/tables/ names its source in its header ('#' comment lines); every
other line holds upper-case hex numbers of the entry's width, separated by single spaces.
What can be derived is derived here: the CRC tables from their polynomials, Whirlpool's
tables C0..C7 and its round constants from its S-box.  Before anything is written, every
table is checked: rows against published values, the Whirlpool tables against a plain
product of the S-box with the circulant matrix, the Whirlpool S-box against its mini-boxes,
the HAVAL constants against pi and the SHA-2 constants against the primes they come from.
The header records the SHA-256 of every data file, so that a change of any byte of the data
shows in --check even where it changes no table.

Only the files of this repository are read.  The build never runs this script; a test runs
--check.
"""
import hashlib
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, 'tools', 'tables')
OUTPUTS = ('digests/digest_tables.h', 'digests/digest_tables.cpp')
MASK64 = (1 << 64) - 1


class DataError(Exception):
    pass


def expect(condition, what):
    if not condition:
        raise DataError(what)


def data_lines(name):
    """The non-comment lines of a data file, with their line numbers."""
    with open(os.path.join(DATA, name), encoding='ascii') as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip('\n')
            if line and not line.startswith('#'):
                yield number, line


def load(name, sections):
    """Reads the numbers of a data file.  sections: (count, digits) pairs in file order; each
    number must have exactly the digits of its section."""
    widths = [digits for count, digits in sections for _ in range(count)]
    values = []
    for number, line in data_lines(name):
        tokens = line.split(' ')
        for token in tokens:
            where = '%s:%d' % (name, number)
            expect(len(values) < len(widths), '%s: more than %d numbers' % (where, len(widths)))
            digits = widths[len(values)]
            expect(re.fullmatch('[0-9A-F]{%d}' % digits, token),
                   '%s: "%s" is not a number of %d upper-case hex digits' % (where, token, digits))
            values.append(int(token, 16))
    expect(len(values) == len(widths),
           '%s: expected %d numbers, found %d' % (name, len(widths), len(values)))
    return values


def load_crc_parameters(name):
    algorithms = {}
    for number, line in data_lines(name):
        fields = line.split()
        expect(len(fields) == 7 and re.fullmatch('(16|32)', fields[1]) and
               fields[3] in ('yes', 'no'), '%s:%d: malformed line' % (name, number))
        width = int(fields[1])
        for token in fields[2:3] + fields[4:]:
            expect(re.fullmatch('[0-9A-F]{%d}' % (width // 4), token),
                   '%s:%d: "%s" is not %d hex digits' % (name, number, token, width // 4))
        expect(' '.join(fields) == re.sub(' +', ' ', line), '%s:%d: stray blanks' % (name, number))
        poly, init, xorout, check = (int(t, 16) for t in fields[2:3] + fields[4:])
        algorithms[fields[0]] = (width, poly, fields[3] == 'yes', init, xorout, check)
    return algorithms


# --- derivations ---------------------------------------------------------------------------

def reflect(value, width):
    return int(format(value, '0%db' % width)[::-1], 2)


def crc_table(width, poly, reflected):
    """The byte-wise table: entry i is i put through eight steps of the bit-serial CRC."""
    table = []
    if reflected:
        rpoly = reflect(poly, width)
        for i in range(256):
            r = i
            for _ in range(8):
                r = (r >> 1) ^ rpoly if r & 1 else r >> 1
            table.append(r)
    else:
        top = 1 << (width - 1)
        mask = (1 << width) - 1
        for i in range(256):
            r = i << (width - 8)
            for _ in range(8):
                r = ((r << 1) ^ poly) & mask if r & top else (r << 1) & mask
            table.append(r)
    return table


def crc_of(table, width, reflected, init, xorout, message):
    mask = (1 << width) - 1
    r = init
    for byte in message:
        if reflected:
            r = (r >> 8) ^ table[(r ^ byte) & 0xFF]
        else:
            r = ((r << 8) & mask) ^ table[((r >> (width - 8)) ^ byte) & 0xFF]
    return r ^ xorout


def gf_double(a):
    """a times x in GF(2^8) modulo x^8 + x^4 + x^3 + x^2 + 1."""
    a <<= 1
    return a ^ 0x11D if a & 0x100 else a


def gf_times(a, factor):
    """a times a small factor, by doubling and adding."""
    product = 0
    while factor:
        if factor & 1:
            product ^= a
        a = gf_double(a)
        factor >>= 1
    return product


WHIRLPOOL_ROW = (1, 1, 4, 1, 8, 5, 2, 9)  # the first row of the circulant matrix


def whirlpool_tables(sbox):
    """C0[x] packs S[x] times the first matrix row, first byte most significant; Ck[x] is
    C0[x] rotated right by 8k bits."""
    c0 = []
    for x in range(256):
        word = 0
        for factor in WHIRLPOOL_ROW:
            word = (word << 8) | gf_times(sbox[x], factor)
        c0.append(word)
    rotr = lambda v, n: ((v >> n) | (v << (64 - n))) & MASK64 if n else v
    return [rotr(v, 8 * k) for k in range(8) for v in c0]


def whirlpool_round_constants(sbox):
    """Round r's constant is S-box entries 8(r - 1) .. 8r - 1, first entry most significant."""
    return [int.from_bytes(bytes(sbox[8 * r:8 * r + 8]), 'big') for r in range(10)]


def snefru_byte_planes(boxes):
    return [(boxes[256 * box + x] >> (8 * n)) & 0xFF
            for box in range(16) for n in range(4) for x in range(256)]


# --- independent checks --------------------------------------------------------------------

def clmul_mod(a, b, modulus=0x11D):
    """a times b in GF(2^8): carry-less product, then reduction by polynomial division."""
    product = 0
    for bit in range(8):
        if b >> bit & 1:
            product ^= a << bit
    for bit in range(15, 7, -1):
        if product >> bit & 1:
            product ^= modulus << (bit - 8)
    return product


def check_whirlpool(sbox, tables, round_constants):
    # The S-box from its mini-boxes E, E^-1 and R (the construction of the Whirlpool paper).
    e = [0x1, 0xB, 0x9, 0xC, 0xD, 0x6, 0xF, 0x3, 0xE, 0x8, 0x7, 0x4, 0xA, 0x2, 0x5, 0x0]
    r = [0x7, 0xC, 0xB, 0xD, 0xE, 0x4, 0x9, 0xF, 0x6, 0x3, 0x8, 0xA, 0x2, 0x5, 0x1, 0x0]
    e_inv = [e.index(v) for v in range(16)]
    for u in range(256):
        a, b = e[u >> 4], e_inv[u & 15]
        t = r[a ^ b]
        expect(sbox[u] == (e[a ^ t] << 4 | e_inv[b ^ t]),
               'whirlpool_sbox.txt: entry %d is not the mini-box construction' % u)
    # Ck[x] is the row vector with S[x] in column k and zeros elsewhere, times the circulant
    # matrix whose entry (i, j) is row[(j - i) mod 8].
    for k in range(8):
        for x in range(256):
            vector = [sbox[x] if i == k else 0 for i in range(8)]
            out = [0] * 8
            for j in range(8):
                for i in range(8):
                    out[j] ^= clmul_mod(vector[i], WHIRLPOOL_ROW[(j - i) % 8])
            expect(tables[256 * k + x] == int.from_bytes(bytes(out), 'big'),
                   'Whirlpool C%d[%d] differs from the matrix product' % (k, x))
    # Rows published with the Whirlpool reference code.
    expect(tables[0:4] == [0x18186018C07830D8, 0x23238C2305AF4626, 0xC6C63FC67EF991B8,
                           0xE8E887E8136FCDFB], 'Whirlpool C0[0..3]')
    expect(tables[255] == 0x8686228644A411C2, 'Whirlpool C0[255]')
    expect(round_constants[0] == 0x1823C6E887B8014F and
           round_constants[9] == 0xCA2DBF07AD5A8333, 'Whirlpool round constants 1 and 10')


def check_crc(name, table, width, reflected, init, xorout, check):
    expect(crc_of(table, width, reflected, init, xorout, b'123456789') == check,
           '%s: the table does not give the check value' % name)
    published = {  # entries of the usual byte-wise tables, by index
        'CRC-16/ARC': {1: 0xC0C1, 255: 0x4040},
        'CRC-16/IBM-3740': {1: 0x1021, 255: 0x1EF0},
        'CRC-32/ISO-HDLC': {1: 0x77073096, 128: 0xEDB88320, 255: 0x2D02EF8D},
        'CRC-32/BZIP2': {1: 0x04C11DB7, 255: 0xB1F740B4},
    }[name]
    for index, value in published.items():
        expect(table[index] == value, '%s: entry %d' % (name, index))


def icbrt(n):
    x = 1 << ((n.bit_length() + 2) // 3 + 1)
    while True:
        y = (2 * x + n // (x * x)) // 3
        if y >= x:
            break
        x = y
    while x * x * x > n:
        x -= 1
    while (x + 1) ** 3 <= n:
        x += 1
    return x


def isqrt(n):
    x = 1 << ((n.bit_length() + 1) // 2 + 1)
    while True:
        y = (x + n // x) // 2
        if y >= x:
            return x
        x = y


def primes(count):
    found = []
    n = 2
    while len(found) < count:
        if all(n % p for p in found):
            found.append(n)
        n += 1
    return found


def check_sha2(values):
    p = primes(80)
    frac_root = lambda root, prime, power, bits: root(prime << (power * bits)) & ((1 << bits) - 1)
    derived = ([frac_root(icbrt, q, 3, 32) for q in p[:64]] +
               [frac_root(isqrt, q, 2, 32) for q in p[:8]] +
               [frac_root(isqrt, q, 2, 64) for q in p[8:16]] +
               [frac_root(isqrt, q, 2, 64) for q in p[:8]] +
               [frac_root(icbrt, q, 3, 64) for q in p[:80]])
    for i, (value, want) in enumerate(zip(values, derived)):
        expect(value == want, 'sha2_constants.txt: number %d is not the root of its prime' % i)


def pi_fraction_words(count):
    """The first count 32-bit words of the fractional part of pi (Machin's formula)."""
    bits = 32 * count + 64
    one = 1 << bits

    def arctan_inverse(x):
        total, term, n, sign = 0, one // x, 1, 1
        while term:
            total += sign * (term // n)
            term //= x * x
            n += 2
            sign = -sign
        return total

    pi = 16 * arctan_inverse(5) - 4 * arctan_inverse(239)
    fraction = (pi - 3 * one) >> 64
    return [(fraction >> (32 * (count - 1 - i))) & 0xFFFFFFFF for i in range(count)]


def check_haval(values):
    for i, (value, want) in enumerate(zip(values, pi_fraction_words(len(values)))):
        expect(value == want, 'haval_constants.txt: word %d is not word %d of pi' % (i, i))


def check_permutation(values, size, what):
    expect(sorted(values) == list(range(size)), '%s is not a permutation' % what)


def check_tables(md2, snefru, tiger, gost):
    check_permutation(md2, 256, 'the MD2 table')
    expect(md2[:16] == [41, 46, 67, 201, 162, 216, 124, 1, 61, 54, 84, 161, 236, 240, 6, 19] and
           md2[255] == 20, 'MD2: entries 0..15 and 255 of RFC 1319')
    for box in range(16):
        for n in range(4):
            check_permutation([(v >> (8 * n)) & 0xFF for v in snefru[256 * box:256 * box + 256]],
                              256, 'byte %d of Snefru box %d' % (n, box))
    expect(snefru[0] == 0x64F9001B and snefru[4095] == 0x4D87253C, 'Snefru: first and last word')
    expect(tiger[0] == 0x02AAB17CF7E90C5E and tiger[1023] == 0xC3A0396F7363A51F,
           'Tiger: first word of t1 and last of t4')
    for row in range(8):
        check_permutation(gost[16 * row:16 * row + 16], 16, 'GOST S-box row %d' % (row + 1))
    expect(gost[:16] == [4, 10, 9, 2, 13, 8, 0, 14, 6, 11, 1, 12, 7, 15, 5, 3],
           'GOST: row 1 of the test parameter set')


# --- output --------------------------------------------------------------------------------

def emit(out, ctype, name, dims, values, digits, per_line, qualifier='const'):
    out.append('%s %s %s%s = {' % (qualifier, ctype, name, ''.join('[%d]' % d for d in dims)))
    emit_rows(out, dims, values, digits, per_line, 1)
    out.append('};')
    out.append('')


def emit_rows(out, dims, values, digits, per_line, depth):
    indent = '    ' * depth
    if len(dims) == 1:
        for i in range(0, len(values), per_line):
            out.append(indent + ', '.join('0x%0*X' % (digits, v) for v in values[i:i + per_line]) + ',')
        return
    step = len(values) // dims[0]
    for i in range(dims[0]):
        out.append(indent + '{')
        emit_rows(out, dims[1:], values[i * step:(i + 1) * step], digits, per_line, depth + 1)
        out.append(indent + '},')


def generate():
    """Returns {path: text} of the two generated files."""
    crc = load_crc_parameters('crc_polynomials.txt')
    expect(sorted(crc) == sorted(['CRC-16/ARC', 'CRC-16/IBM-3740', 'CRC-32/ISO-HDLC',
                                  'CRC-32/BZIP2']), 'crc_polynomials.txt: the four CRCs')
    crc_tables = {}
    for name, (width, poly, reflected, init, xorout, check) in crc.items():
        crc_tables[name] = crc_table(width, poly, reflected)
        check_crc(name, crc_tables[name], width, reflected, init, xorout, check)

    md2 = load('md2_sbox.txt', [(256, 2)])
    sha2 = load('sha2_constants.txt', [(72, 8), (96, 16)])
    snefru = load('snefru_sboxes.txt', [(4096, 8)])
    tiger = load('tiger_sboxes.txt', [(1024, 16)])
    gost = load('gost94_test_sboxes.txt', [(128, 1)])
    haval = load('haval_constants.txt', [(136, 8)])
    sbox = load('whirlpool_sbox.txt', [(256, 2)])
    whirlpool = whirlpool_tables(sbox)
    round_constants = whirlpool_round_constants(sbox)

    check_sha2(sha2)
    check_haval(haval)
    check_whirlpool(sbox, whirlpool, round_constants)
    check_tables(md2, snefru, tiger, gost)

    cpp = [
        '// Constant tables of the digest engines.',
        '// Generated by tools/gen_tables.py -- do not edit.',
        '//',
        '// CRC tables: the byte-wise tables of each polynomial, computed by the generator.',
        '// MD2: the substitution table of RFC 1319.  SHA-384/512: the 80 round constants of',
        '// FIPS 180-2.  Snefru: the sixteen standard S-boxes, two per pass, and their bytes',
        '// laid out as planes (plane n of a box holds byte n of every entry).  Tiger: the S-boxes',
        '// t1..t4 of the 1996 publication.  Whirlpool (ISO/IEC 10118-3): C0 combines the',
        '// S-box with the first row of circ(1, 1, 4, 1, 8, 5, 2, 9); Ck is C0 rotated right by',
        '// 8k bits; the round constants are S-box rows.  GOST R 34.11-94: the S-boxes of the',
        '// test parameter set, row 1 (least significant nibble) first.',
        '',
        '#include "digest_tables.h"',
        '',
        '// clang-format off',
        '',
    ]
    emit(cpp, 'uint16_t', 'kCrc16Table', [256], crc_tables['CRC-16/ARC'], 4, 8)
    emit(cpp, 'uint16_t', 'kCrc16CcittTable', [256], crc_tables['CRC-16/IBM-3740'], 4, 8)
    emit(cpp, 'uint32_t', 'kCrc32Table', [256], crc_tables['CRC-32/ISO-HDLC'], 8, 6)
    emit(cpp, 'uint32_t', 'kCrc32bTable', [256], crc_tables['CRC-32/BZIP2'], 8, 6)
    emit(cpp, 'uint8_t', 'kMd2Sbox', [256], md2, 2, 16)
    emit(cpp, 'uint64_t', 'kSha512RoundConstants', [80], sha2[88:168], 16, 4)
    emit(cpp, 'uint32_t', 'kSnefruSboxes', [16, 256], snefru, 8, 8)
    emit(cpp, 'uint8_t', 'kSnefruBytePlanes', [16, 4, 256], snefru_byte_planes(snefru), 2, 16)
    emit(cpp, 'uint64_t', 'kTigerSboxes', [4, 256], tiger, 16, 4)
    emit(cpp, 'uint64_t', 'kWhirlpoolTables', [8, 256], whirlpool, 16, 4)
    emit(cpp, 'uint64_t', 'kWhirlpoolRoundConstants', [10], round_constants, 16, 2)
    emit(cpp, 'uint8_t', 'kGostTestSboxes', [8, 16], gost, 1, 16)
    cpp.append('// clang-format on')

    h = [
        '// Constant tables of the digest engines; the data is in digest_tables.cpp, except',
        '// those of SHA-2 and HAVAL, defined here so that the compilers can fold them into the',
        '// code as immediate operands.',
        '// Generated by tools/gen_tables.py from tools/tables/ -- do not edit.',
        '//',
    ]
    for name in sorted(os.listdir(DATA)):
        with open(os.path.join(DATA, name), 'rb') as f:
            h.append('// %s: SHA-256 %s' % (name, hashlib.sha256(f.read()).hexdigest()))
    h += [
        '',
        '#ifndef KORVADEX_DIGESTS_DIGEST_TABLES_H',
        '#define KORVADEX_DIGESTS_DIGEST_TABLES_H',
        '',
        '#include <cstdint>',
        '',
        'extern const uint16_t kCrc16Table[256];       // CRC-16/ARC, reflected 0xA001',
        'extern const uint16_t kCrc16CcittTable[256];  // CRC-16/IBM-3740, 0x1021',
        'extern const uint32_t kCrc32Table[256];       // CRC-32/ISO-HDLC, reflected 0xEDB88320',
        'extern const uint32_t kCrc32bTable[256];      // CRC-32/BZIP2, 0x04C11DB7',
        'extern const uint8_t kMd2Sbox[256];',
        'extern const uint64_t kSha512RoundConstants[80];',
        'extern const uint32_t kSnefruSboxes[16][256];',
        'extern const uint8_t kSnefruBytePlanes[16][4][256];  // byte n of each entry, plane n',
        'extern const uint64_t kTigerSboxes[4][256];',
        'extern const uint64_t kWhirlpoolTables[8][256];',
        'extern const uint64_t kWhirlpoolRoundConstants[10];',
        'extern const uint8_t kGostTestSboxes[8][16];',
        '',
        '// clang-format off',
        '',
        '// SHA-2 (FIPS 180-2): the round constants of SHA-256 (also the high halves of those',
        '// of SHA-384/512), and the initial values H0..H7 of SHA-256, SHA-384 and SHA-512.',
    ]
    emit(h, 'uint32_t', 'kSha256RoundConstants', [64], sha2[:64], 8, 8, 'alignas(16) inline constexpr')
    emit(h, 'uint32_t', 'kSha256InitialValue', [8], sha2[64:72], 8, 8, 'inline constexpr')
    emit(h, 'uint64_t', 'kSha384InitialValue', [8], sha2[72:80], 16, 4, 'inline constexpr')
    emit(h, 'uint64_t', 'kSha512InitialValue', [8], sha2[80:88], 16, 4, 'inline constexpr')
    h += [
        '// HAVAL: the initial value D0..D7, and the additive constant of each step of the five',
        '// passes (the first pass adds none): 136 consecutive 32-bit words of the fractional',
        '// part of pi.',
    ]
    emit(h, 'uint32_t', 'kHavalInitialValue', [8], haval[:8], 8, 8, 'inline constexpr')
    emit(h, 'uint32_t', 'kHavalStepConstants', [5, 32], [0] * 32 + haval[8:], 8, 8, 'inline constexpr')
    h += ['// clang-format on', '', '#endif']
    return {OUTPUTS[0]: '\n'.join(h) + '\n', OUTPUTS[1]: '\n'.join(cpp) + '\n'}


def main(argv):
    if argv not in ([], ['--check']):
        sys.stderr.write(__doc__)
        return 2
    try:
        files = generate()
    except (DataError, OSError, UnicodeDecodeError) as error:
        sys.stderr.write('gen_tables.py: %s\n' % error)
        return 1
    if argv == ['--check']:
        stale = []
        for path, text in files.items():
            try:
                with open(os.path.join(ROOT, path), encoding='ascii', newline='') as f:
                    same = f.read() == text
            except (OSError, UnicodeDecodeError):
                same = False
            if not same:
                stale.append(path)
        for path in stale:
            sys.stderr.write('gen_tables.py: %s differs from what tools/tables/ gives\n' % path)
        return 1 if stale else 0
    for path, text in files.items():
        with open(os.path.join(ROOT, path), 'w', encoding='ascii', newline='') as f:
            f.write(text)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))

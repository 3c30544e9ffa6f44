// The npm package against the command line: every line, plain and keyed, over lengths at and
// around the block edges and a few MiB, through report() and through createHash().
import assert from 'node:assert/strict';
import { createHash as nodeHash } from 'node:crypto';
import { createReadStream, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { Readable } from 'node:stream';
import { test } from 'node:test';

import { cli, importPackage, pseudoRandom, scratch } from './support.mjs';

const korvadex = await importPackage();
await korvadex.ready;

const lengths = [0, 1, 3, 55, 56, 63, 64, 65, 111, 112, 127, 128, 129, 255, 256, 257, 1000,
                 (3 << 20) + 17];
const textKey = 'our shared secret';
// Longer than every block (128 bytes), so that it is first digested.
const longKey = pseudoRandom(200, 99);

// The report lines as label -> lower-case hex.
function valuesOf(text) {
  return new Map(text.trimEnd().split('\n').map((line) => {
    const colon = line.lastIndexOf(': ');
    return [line.slice(0, colon), line.slice(colon + 2).toLowerCase()];
  }));
}

// Feeds bytes to a hash in pieces of varying size.
function digestInPieces(hash, bytes, seed) {
  let offset = 0;
  let step = seed;
  while (offset < bytes.length) {
    step = (step * 7 + 13) % 70001;
    hash.update(bytes.subarray(offset, offset + step));
    offset += step;
  }
  return hash.digest('hex');
}

test('every line, plain and keyed, equals the command line', async (t) => {
  const dir = scratch(t);
  const keyFile = join(dir, 'key');
  writeFileSync(keyFile, longKey);
  const keyings = [
    { args: [], key: undefined },
    { args: ['--key', textKey], key: textKey },
    { args: ['--key-file', keyFile], key: longKey },
  ];
  for (const length of lengths) {
    const bytes = pseudoRandom(length, length + 1);
    const file = join(dir, `input-${length}`);
    writeFileSync(file, bytes);
    for (const { args, key } of keyings) {
      const expected = cli([...args, file]);
      const what = `length ${length}, key ${key === undefined ? 'none' : key.length}`;
      assert.equal(await korvadex.report(file, { key }), expected, what);
      const values = valuesOf(expected);
      assert.equal(values.size, korvadex.lines.length);
      for (const line of korvadex.lines) {
        const hash = korvadex.createHash(line.label, { key });
        assert.equal(digestInPieces(hash, bytes, length), values.get(line.label),
                     `${line.label}, ${what}`);
      }
    }
  }
});

test('SHA-256 reads whole blocks at every offset within a word, as node:crypto digests them', () => {
  // After a head of h bytes the blocks of the next update lie at h mod 64 in its buffer.
  for (const head of [0, 1, 2, 3, 5, 63]) {
    for (const length of [64, 65, 1000, 70001]) {
      const bytes = pseudoRandom(head + length, head * 31 + length);
      const ours = korvadex.createHash('sha256').update(bytes.subarray(0, head))
        .update(bytes.subarray(head)).digest('hex');
      assert.equal(ours, nodeHash('sha256').update(bytes).digest('hex'), `head ${head}, ${length}`);
    }
  }
});

test('report() takes a Blob, a Node stream and a web ReadableStream', async (t) => {
  const dir = scratch(t);
  const file = join(dir, 'input');
  writeFileSync(file, pseudoRandom((2 << 20) + 5, 7));
  const expected = cli(['--key', textKey, file]);
  const bytes = readFileSync(file);
  const sources = {
    blob: new Blob([bytes]),
    'node stream': createReadStream(file, { highWaterMark: 65537 }),
    'web stream': Readable.toWeb(createReadStream(file)),
  };
  for (const [kind, source] of Object.entries(sources)) {
    assert.equal(await korvadex.report(source, { key: textKey }), expected, kind);
  }
});

test('lines are chosen by the names of -a, and unknown names are refused', async (t) => {
  const dir = scratch(t);
  const file = join(dir, 'input');
  writeFileSync(file, pseudoRandom(5000, 3));
  const names = ['sha256', 'haval128,3', 'CRC32', 'rmd160', 'gost94', 'sha-256'];
  const expected = cli([...names.flatMap((name) => ['-a', name]), file]);
  assert.equal(await korvadex.report(file, { lines: names }), expected);
  await assert.rejects(korvadex.report(file, { lines: ['sha3-256'] }), /unknown algorithm/);
  assert.throws(() => korvadex.createHash('tiger2'), /unknown algorithm 'tiger2': ./);
});

test('a hash refuses use after its digest, and lines describe the report', () => {
  const hash = korvadex.createHash('md5');
  assert.equal(hash.update('a').update(new Uint16Array([0x6362])).digest('hex'),
               '900150983cd24fb0d6963f7d28e17f72');
  assert.throws(() => hash.update('x'), /already/);
  assert.throws(() => hash.digest(), /already/);
  const sha512 = korvadex.lines.find((line) => line.label === 'SHA-512');
  assert.equal(sha512.digestSize, 64);
  assert.deepEqual(sha512.names, ['sha2-512']);
  assert.ok(korvadex.createHash('crc32').digest() instanceof Uint8Array);
});

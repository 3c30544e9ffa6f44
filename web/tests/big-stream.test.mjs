// A stream of 4 GiB and 7 bytes through the package gives the command line's values for the
// fast lines: the lengths past 32 bits are counted in full.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { once } from 'node:events';
import { Readable } from 'node:stream';
import { test } from 'node:test';

import { cliPath, importPackage, pseudoRandom } from './support.mjs';

const korvadex = await importPackage();
const block = pseudoRandom(1 << 20, 4242);
const tail = pseudoRandom(7, 77);
const blocks = 4096;

function* input() {
  for (let i = 0; i < blocks; ++i) yield block;
  yield tail;
}

test('4 GiB + 7 bytes: CRC-32, MD5, SHA-1, SHA-256 and SHA-512', async () => {
  const names = ['crc32', 'md5', 'sha1', 'sha256', 'sha512'];
  const child = spawn(cliPath, [...names.flatMap((name) => ['-a', name]), '-'],
                      { stdio: ['pipe', 'pipe', 'inherit'] });
  let expected = '';
  child.stdout.setEncoding('utf8').on('data', (text) => (expected += text));
  const fed = (async () => {
    for (const bytes of input()) {
      if (!child.stdin.write(bytes)) await once(child.stdin, 'drain');
    }
    child.stdin.end();
  })();
  const text = await korvadex.report(Readable.from(input(), { objectMode: false }),
                                     { lines: names });
  await fed;
  const [status] = await once(child, 'exit');
  assert.equal(status, 0);
  assert.equal(text.split('\n').length, names.length + 1);
  assert.equal(text, expected);
});

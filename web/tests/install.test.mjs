// The package as a user gets it: `npm pack` makes the tarball, which is installed in a
// scratch project and used from there, and TypeScript checks a file that uses the whole
// interface against its declarations.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdirSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { test } from 'node:test';

import { cli, packageDir, scratch } from './support.mjs';

const tsc = fileURLToPath(new URL('node_modules/typescript/bin/tsc', import.meta.url));

const use = `
import { ready, createHash, report, lines } from 'korvadex';
await ready;
const names = lines.map((line) => line.label + ' ' + line.digestSize + ' ' + line.names.join(','));
const hex = createHash('sha256').update('ab').update(new TextEncoder().encode('c')).digest('hex');
const keyed = createHash('md5', { key: 'key' }).update('abc').digest();
const text = await report(process.argv[2], { key: 'key', lines: ['sha256', 'md5'] });
console.log(JSON.stringify({ count: lines.length, names: names.length, hex, keyed: keyed.length, text }));
`;

const typed = `
import { ready, createHash, report, lines, type Hash, type LineInfo } from 'korvadex';
await ready;
const first: LineInfo = lines[0];
const size: number = first.digestSize;
const other: readonly string[] = first.names;
const hash: Hash = createHash(first.label, { key: new Uint8Array([1, 2]) }).update('x');
const bytes: Uint8Array = hash.digest();
const hex: string = createHash('md5').update(new ArrayBuffer(3)).digest('hex');
const fromBlob: Promise<string> = report(new Blob(['abc']), { lines: ['crc32'], key: 'k' });
const fromStream: Promise<string> = report(new Blob(['abc']).stream());
const fromPath: Promise<string> = report('file.bin');
// @ts-expect-error: only 'hex' is an encoding
createHash('md5').digest('base64');
console.log(size, other, bytes, hex, await fromBlob, await fromStream, await fromPath);
`;

test('the packed tarball installs and works in a scratch project, and its types check', (t) => {
  const dir = scratch(t);
  const packed = execFileSync('npm', ['pack', packageDir, '--pack-destination', dir, '--silent'],
                              { encoding: 'utf8' }).trim().split('\n').pop();
  const app = join(dir, 'app');
  mkdirSync(app);
  writeFileSync(join(app, 'package.json'), '{"name": "app", "private": true, "type": "module"}');
  execFileSync('npm', ['install', '--offline', '--no-audit', '--no-fund', '--silent',
                       join(dir, packed)], { cwd: app, stdio: ['ignore', 'ignore', 'inherit'] });

  writeFileSync(join(app, 'use.mjs'), use);
  const input = join(dir, 'input');
  writeFileSync(input, 'The quick brown fox');
  const result = JSON.parse(execFileSync('node', ['use.mjs', input], { cwd: app, encoding: 'utf8' }));
  assert.equal(result.count, 40);
  assert.equal(result.names, 40);
  assert.equal(result.hex, 'ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad');
  assert.equal(result.keyed, 16);
  assert.equal(result.text, cli(['--key', 'key', '-a', 'md5', '-a', 'sha256', input]));

  writeFileSync(join(app, 'use.ts'), typed);
  writeFileSync(join(app, 'tsconfig.json'), JSON.stringify({
    compilerOptions: { strict: true, noEmit: true, module: 'nodenext', moduleResolution: 'nodenext',
                       target: 'es2022', lib: ['es2022', 'dom'], types: [], skipLibCheck: false },
    files: ['use.ts'],
  }));
  execFileSync('node', [tsc, '-p', app], { stdio: 'inherit' });
});

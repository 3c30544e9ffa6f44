// What the tests of the package and the page share: the command line and the package under
// test, named by KORVADEX_CLI and KORVADEX_PACKAGE, and scratch files.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

function required(name) {
  const value = process.env[name];
  if (!value) throw new Error(`set ${name}`);
  return resolve(value);
}

export const cliPath = required('KORVADEX_CLI');
export const packageDir = required('KORVADEX_PACKAGE');

export function importPackage() {
  return import(pathToFileURL(join(packageDir, 'index.js')).href);
}

// The command line's standard output.
export function cli(args, options = {}) {
  return execFileSync(cliPath, args, { encoding: 'utf8', maxBuffer: 1 << 24, ...options });
}

// A scratch folder, removed when the test ends.
export function scratch(t) {
  const dir = mkdtempSync(join(tmpdir(), 'korvadex-web-'));
  t.after(() => rmSync(dir, { recursive: true, force: true }));
  return dir;
}

// Deterministic bytes (xorshift), so that a failure can be run again.
export function pseudoRandom(length, seed) {
  const bytes = new Uint8Array(length);
  let x = seed | 1;
  for (let i = 0; i < length; ++i) {
    x ^= x << 13;
    x ^= x >>> 17;
    x ^= x << 5;
    bytes[i] = x & 0xff;
  }
  return bytes;
}

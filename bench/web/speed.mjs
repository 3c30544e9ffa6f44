// The speed of the npm package in this Node, beside its peers:
//   node speed.mjs PACKAGE_DIR KORVADEX [ROUNDS] [REPORT_ROUNDS]
// - each engine that hash-wasm also has, over 64 MiB, against hash-wasm and node:crypto:
//   ROUNDS (15) rounds, the three taking turns first, the median of each and the ratios;
// - the whole report over 64 MiB on one worker thread and on two, the lines dealt as the
//   page deals them, against the native command line (all its threads) over the same file.
import { execFileSync } from 'node:child_process';
import { createHash as nodeHash, randomFillSync } from 'node:crypto';
import { rmSync, writeFileSync, mkdtempSync } from 'node:fs';
import { cpus, tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { Worker } from 'node:worker_threads';
import * as peer from 'hash-wasm';

const [packageDir, cli, rounds = '15', reportRounds = '3'] = process.argv.slice(2);
const hostUrl = pathToFileURL(join(resolve(packageDir), 'host.js')).href;
const moduleUrl = pathToFileURL(join(resolve(packageDir), 'module.js')).href;
const korvadex = await import(pathToFileURL(join(resolve(packageDir), 'index.js')).href);
await korvadex.ready;

const size = 64 << 20;
const data = new Uint8Array(new SharedArrayBuffer(size));
randomFillSync(data);
const MiB = 1 << 20;

const engines = [
  ['ADLER32', peer.createAdler32, null],
  ['CRC32', peer.createCRC32, null],
  ['MD4', peer.createMD4, 'md4'],
  ['MD5', peer.createMD5, 'md5'],
  ['RIPEMD-160', peer.createRIPEMD160, 'ripemd160'],
  ['SHA-1', peer.createSHA1, 'sha1'],
  ['SHA-256', peer.createSHA256, 'sha256'],
  ['SHA-384', peer.createSHA384, 'sha384'],
  ['SHA-512', peer.createSHA512, 'sha512'],
  ['WHIRLPOOL', peer.createWhirlpool, 'whirlpool'],
];

function seconds(f) {
  const start = process.hrtime.bigint();
  const result = f();
  return [Number(process.hrtime.bigint() - start) / 1e9, result];
}

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = sorted.length >> 1;
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

const rate = (time) => (size / MiB / time).toFixed(0);

console.log(`${cpus()[0].model}, ${cpus().length} logical cores; Node ${process.version}`);
console.log(`\nEngines over 64 MiB, median of ${rounds} rounds, MiB/s:`);
console.log('| line | korvadex | hash-wasm | node:crypto | korvadex / hash-wasm |');
console.log('|---|---:|---:|---:|---:|');
for (const [label, createPeer, nodeName] of engines) {
  const peerHasher = await createPeer();
  let nodeWorks = nodeName !== null;
  try {
    if (nodeWorks) nodeHash(nodeName);
  } catch {
    nodeWorks = false;
  }
  const runs = [
    ['korvadex', () => korvadex.createHash(label).update(data).digest('hex')],
    ['hash-wasm', () => peerHasher.init().update(data).digest('hex')],
  ];
  if (nodeWorks) runs.push(['node', () => nodeHash(nodeName).update(data).digest('hex')]);
  const times = new Map(runs.map(([name]) => [name, []]));
  const values = new Map();
  for (let round = 0; round < Number(rounds); ++round) {
    for (let i = 0; i < runs.length; ++i) {
      const [name, run] = runs[(round + i) % runs.length];
      const [time, value] = seconds(run);
      times.get(name).push(time);
      values.set(name, value);
    }
  }
  const distinct = new Set(values.values());
  if (distinct.size !== 1) throw new Error(`${label}: the implementations disagree`);
  const [k, p] = [median(times.get('korvadex')), median(times.get('hash-wasm'))];
  const n = nodeWorks ? rate(median(times.get('node'))) : nodeName === null ? 'none' : 'throws';
  console.log(`| ${label} | ${rate(k)} | ${rate(p)} | ${n} | ${(p / k).toFixed(2)} |`);
}

// The whole report on `workers` worker threads over the shared bytes.
async function reportOnWorkers(workers) {
  const { loadModule, dealLines } = await import(hostUrl);
  const host = await loadModule((await import(moduleUrl)).default);
  const dealt = dealLines(host, [...host.lines.keys()], workers);
  const source = `
    import { parentPort, workerData } from 'node:worker_threads';
    const { loadModule } = await import(workerData.hostUrl);
    const host = await loadModule((await import(workerData.moduleUrl)).default);
    const handles = workerData.lines.map((line) => host.begin(line));
    const slice = 4 << 20;
    for (let offset = 0; offset < workerData.data.length; offset += slice) {
      host.update(handles, workerData.data.subarray(offset, offset + slice));
    }
    parentPort.postMessage(handles.map((handle) => host.finish(handle)));`;
  const start = process.hrtime.bigint();
  const results = await Promise.all(dealt.map((lines) => new Promise((done, fail) => {
    const worker = new Worker(source, { eval: true, workerData: { hostUrl, moduleUrl, lines, data } });
    worker.once('message', (digests) => done([lines, digests]));
    worker.once('error', fail);
  })));
  const time = Number(process.hrtime.bigint() - start) / 1e9;
  const digests = new Map(results.flatMap(([lines, d]) => lines.map((line, i) => [line, d[i]])));
  const all = [...host.lines.keys()];
  return [time, host.reportText(all, all.map((line) => digests.get(line)))];
}

const dir = mkdtempSync(join(tmpdir(), 'korvadex-speed-'));
const file = join(dir, 'input');
writeFileSync(file, data);
const expected = execFileSync(cli, [file], { encoding: 'utf8' });
const timings = { one: [], two: [], native: [] };
for (let round = 0; round < Number(reportRounds); ++round) {
  for (const [name, workers] of [['one', 1], ['two', 2]]) {
    const [time, text] = await reportOnWorkers(workers);
    if (text !== expected) throw new Error(`the report on ${workers} workers differs`);
    timings[name].push(time);
  }
  timings.native.push(seconds(() => execFileSync(cli, [file]))[0]);
}
rmSync(dir, { recursive: true, force: true });
const native = median(timings.native);
console.log(`\nThe whole report over 64 MiB, median of ${reportRounds} rounds:`);
console.log('| run | seconds | time / native |');
console.log('|---|---:|---:|');
console.log(`| native command line (${cpus().length} threads) | ${native.toFixed(2)} | 1.00 |`);
for (const [name, label] of [['one', 'one worker'], ['two', 'two workers']]) {
  const time = median(timings[name]);
  console.log(`| package, ${label} | ${time.toFixed(2)} | ${(time / native).toFixed(2)} |`);
}

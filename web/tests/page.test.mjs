// The offline page in headless Chromium, opened from file://: its reports against the
// command line's (plain, keyed, a random 64 MiB file, chosen lines over 256 MiB with the main
// thread never busy past 100 ms), a pasted hash, Cancel, the saved report checked with
// `korvadex -c`, and every request of the page and its workers kept to file:, blob: and data:.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { randomFillSync } from 'node:crypto';
import { closeSync, copyFileSync, existsSync, mkdirSync, mkdtempSync, openSync, rmSync, writeSync }
  from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { after, before, test } from 'node:test';
import puppeteer from 'puppeteer-core';

import { cli, cliPath } from './support.mjs';

const pagePath = process.env.KORVADEX_PAGE;
const sample = new URL('../../samples/abc.txt', import.meta.url).pathname;
const fastLines = ['CRC32', 'MD5', 'SHA-1', 'SHA-256', 'SHA-512'];

let browser;
let page;
let work;
const requests = [];

function randomFile(name, size) {
  const path = join(work, name);
  const fd = openSync(path, 'w');
  const block = Buffer.alloc(1 << 20);
  for (let left = size; left > 0; left -= block.length) {
    writeSync(fd, randomFillSync(block), 0, Math.min(left, block.length));
  }
  closeSync(fd);
  return path;
}

// Records into list every request of a page and of its workers.
async function watch(watched, list) {
  const record = (session) => {
    session.on('Network.requestWillBeSent', ({ request }) => list.push(request.url));
    return session.send('Network.enable').catch(() => {});
  };
  watched.on('request', (request) => list.push(request.url()));
  watched.on('workercreated', (worker) => record(worker.client));
  await record(await watched.createCDPSession());
}

before(async () => {
  assert.ok(pagePath, 'set KORVADEX_PAGE');
  work = mkdtempSync(join(tmpdir(), 'korvadex-page-'));
  browser = await puppeteer.launch({
    executablePath: process.env.KORVADEX_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    protocolTimeout: 600000,
    userDataDir: join(work, 'profile'),
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  page = await browser.newPage();
  await watch(page, requests);
  const downloads = join(work, 'downloads');
  mkdirSync(downloads);
  const session = await browser.target().createCDPSession();
  await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  await page.evaluateOnNewDocument(() => {
    window.longTasks = [];
    new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) window.longTasks.push(entry.duration);
    }).observe({ type: 'longtask' });
  });
  await page.goto(pathToFileURL(pagePath).href);
  await page.waitForSelector('body[data-ready="true"]', { timeout: 30000 });
  assert.ok(await page.evaluate(() => PerformanceObserver.supportedEntryTypes.includes('longtask')));
});

after(async () => {
  await browser?.close();
  if (work) rmSync(work, { recursive: true, force: true });
});

async function chooseLines(labels) {
  await page.evaluate((wanted) => {
    for (const box of document.querySelectorAll('#lines input')) {
      box.checked = wanted === null || wanted.includes(box.dataset.label);
    }
  }, labels);
}

async function setKey(key) {
  await page.$eval('#key', (input) => (input.value = ''));
  if (key !== '') await page.type('#key', key);
}

// Puts the file in and waits for the report text.
async function reportOf(path, timeout = 240000) {
  await page.evaluate(() => (document.getElementById('result-area').hidden = true));
  const input = await page.$('#file');
  await input.uploadFile(path);
  await page.waitForFunction(() => !document.getElementById('result-area').hidden ||
                             /could not/.test(document.getElementById('message').textContent),
                             { timeout, polling: 200 });
  return page.$eval('#report', (report) => report.textContent);
}

test('the forty lines of the sample and of a random file of 64 MiB and 5 bytes', async () => {
  await chooseLines(null);
  await setKey('');
  assert.equal(await reportOf(sample), cli([sample]));
  // Not a whole number of slices: the last one is short.
  const big = randomFile('random-64', (64 << 20) + 5);
  assert.equal(await reportOf(big), cli([big]));
});

test('a keyed report, a pasted hash, and the saved report that korvadex -c checks', async () => {
  const input = join(work, 'abc.txt');
  copyFileSync(sample, input);
  await chooseLines(null);
  await setKey('our shared secret');
  const expected = cli(['--key', 'our shared secret', input]);
  assert.equal(await reportOf(input), expected);

  const sha256 = expected.match(/^SHA-256: (.*)$/m)[1];
  await page.type('#match', ` ${sha256.toLowerCase()} `);
  assert.deepEqual(await page.$$eval('#report .match', (spans) => spans.map((s) => s.textContent)),
                   [`SHA-256: ${sha256}\n`]);
  assert.equal(await page.$eval('#match-result', (p) => p.textContent), 'Matches SHA-256.');
  await page.$eval('#match', (field) => (field.value = ''));
  await page.type('#match', '0123');
  assert.equal(await page.$$eval('#report .match', (spans) => spans.length), 0);
  assert.equal(await page.$eval('#match-result', (p) => p.textContent), 'No line matches this hash.');

  await page.click('#save');
  const saved = join(work, 'downloads', 'abc.txt.korv.txt');
  for (let i = 0; i < 100 && !existsSync(saved); ++i) await new Promise((r) => setTimeout(r, 100));
  copyFileSync(saved, join(work, 'abc.korv'));
  const checked = execFileSync(cliPath, ['--key', 'our shared secret', '-c', 'abc.korv'],
                               { cwd: work, encoding: 'utf8' });
  assert.match(checked, /SHA-256: OK/);
  assert.doesNotMatch(checked, /FAILED/);
});

test('Cancel stops the workers, and 256 MiB with the fast lines keeps the page responsive',
     async () => {
  const big = randomFile('random-256', 256 << 20);
  await setKey('');
  await chooseLines(null);
  const input = await page.$('#file');
  await input.uploadFile(big);
  await page.waitForFunction(() => document.getElementById('bar').value > 0, { polling: 50 });
  await page.click('#cancel');
  assert.equal(await page.$eval('#message', (p) => p.textContent), 'Cancelled.');
  assert.equal(await page.$eval('#result-area', (area) => area.hidden), true);
  for (let i = 0; i < 50 && page.workers().length > 0; ++i) {
    await new Promise((r) => setTimeout(r, 100));
  }
  assert.equal(page.workers().length, 0);

  await chooseLines(fastLines);
  await page.evaluate(() => (window.longTasks = []));
  const text = await reportOf(big);
  assert.equal(text, cli([...fastLines.flatMap((name) => ['-a', name]), big]));
  const longest = Math.max(0, ...(await page.evaluate(() => window.longTasks)));
  assert.ok(longest <= 100, `a task of the main thread ran ${longest} ms`);
});

test('no request of the page or its workers leaves file:, blob: and data:', async () => {
  assert.ok(requests.some((url) => url.startsWith('file:')), 'the page itself is recorded');
  const outside = requests.filter((url) => !/^(file|blob|data):/.test(url));
  assert.deepEqual(outside, []);

  // The recording sees a request that a worker makes.
  const control = await browser.newPage();
  const seen = [];
  await watch(control, seen);
  await control.goto('data:text/html,<p>control</p>');
  await control.evaluate(() => new Promise((resolve) => {
    const source = "fetch('http://127.0.0.1:9/from-worker').catch(() => {}).finally(() => postMessage(1))";
    const worker = new Worker(URL.createObjectURL(new Blob([source])));
    worker.onmessage = resolve;
  }));
  await control.close();
  assert.ok(seen.includes('http://127.0.0.1:9/from-worker'), seen.join(' '));
});

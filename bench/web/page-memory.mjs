// The offline page's memory over a sparse file of GIB GiB (4 unless given) and 7 bytes with
// the fast lines chosen, in headless Chromium: the summed resident memory of the browser's
// renderer processes (the page and its workers), sampled every 100 ms, its peak less its
// size when idle.
//   node page-memory.mjs PAGE.html KORVADEX [CHROMIUM [GIB]]
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readdirSync, readFileSync, rmSync, truncateSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import puppeteer from 'puppeteer-core';

const [pagePath, cli, chromium = '/usr/bin/chromium', gib = '4'] = process.argv.slice(2);
const fastLines = ['CRC32', 'MD5', 'SHA-1', 'SHA-256', 'SHA-512'];
const size = Number(gib) * 2 ** 30 + 7;

function children() {
  const parents = new Map();
  for (const pid of readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
    try {
      const stat = readFileSync(`/proc/${pid}/stat`, 'utf8');
      parents.set(Number(pid), Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]));
    } catch {}
  }
  return parents;
}

// The summed resident memory, in bytes, of the renderer processes under the browser.
function rendererMemory(browserPid) {
  const parents = children();
  const under = (pid) => {
    for (let p = pid; p > 1; p = parents.get(p) ?? 0) if (p === browserPid) return true;
    return false;
  };
  let total = 0;
  for (const pid of parents.keys()) {
    if (!under(pid)) continue;
    try {
      if (!readFileSync(`/proc/${pid}/cmdline`, 'utf8').includes('--type=renderer')) continue;
      total += Number(readFileSync(`/proc/${pid}/status`, 'utf8').match(/VmRSS:\s+(\d+)/)[1]) * 1024;
    } catch {}
  }
  return total;
}

const dir = mkdtempSync(join(tmpdir(), 'korvadex-memory-'));
const file = join(dir, 'input');
writeFileSync(file, '');
truncateSync(file, size);
const browser = await puppeteer.launch({
  executablePath: chromium, headless: true, userDataDir: join(dir, 'profile'), protocolTimeout: 1200000,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  const [page] = await browser.pages();
  await page.goto(pathToFileURL(pagePath).href);
  await page.waitForSelector('body[data-ready="true"]');
  await page.evaluate((wanted) => {
    for (const box of document.querySelectorAll('#lines input')) box.checked = wanted.includes(box.dataset.label);
  }, fastLines);
  const pid = browser.process().pid;
  const idleSamples = [];
  for (let i = 0; i < 20; ++i) {
    idleSamples.push(rendererMemory(pid));
    await new Promise((r) => setTimeout(r, 100));
  }
  const idle = Math.max(...idleSamples);
  let peak = idle;
  const sampler = setInterval(() => (peak = Math.max(peak, rendererMemory(pid))), 100);
  const start = Date.now();
  await (await page.$('#file')).uploadFile(file);
  await page.waitForFunction(() => !document.getElementById('result-area').hidden,
                             { timeout: 1100000, polling: 500 });
  const seconds = (Date.now() - start) / 1000;
  clearInterval(sampler);
  const text = await page.$eval('#report', (report) => report.textContent);
  const expected = execFileSync(cli, [...fastLines.flatMap((name) => ['-a', name]), file],
                                { encoding: 'utf8' });
  if (text !== expected) throw new Error('the page and the command line differ');
  const mib = (bytes) => (bytes / 2 ** 20).toFixed(1);
  console.log(`${gib} GiB + 7 bytes, lines ${fastLines.join(', ')}: ${seconds.toFixed(1)} s in the page`);
  console.log(`renderer memory: idle ${mib(idle)} MiB, peak ${mib(peak)} MiB, ` +
              `peak less idle ${mib(peak - idle)} MiB`);
} finally {
  await browser.close();
  rmSync(dir, { recursive: true, force: true });
}

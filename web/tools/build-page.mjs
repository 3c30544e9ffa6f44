// Builds the offline page: the template with the module (base64), the host (as a classic
// script, for the page and its workers), the worker's and the page's scripts inside it.
//   node build-page.mjs MODULE.wasm OUT.html
import { readFileSync, writeFileSync } from 'node:fs';

const [wasm, out] = process.argv.slice(2);
const here = (name) => new URL(name, import.meta.url);
const read = (name) => readFileSync(here(name), 'utf8');

// The host's ES module form as a classic script: its exports become plain declarations.
const host = read('../package/host.js').replace(/^export (async function|function|const) /gm, '$1 ');
const parts = {
  MODULE: readFileSync(wasm).toString('base64'),
  WORKER: read('../page/worker.js'),
  HOST: host,
  PAGE: read('../page/page.js'),
};
let page = read('../page/korvadex.html');
for (const [name, text] of Object.entries(parts)) {
  if (/<\/script|<!--/i.test(text)) throw new Error(`${name} cannot stand inside a script element`);
  page = page.replace(`@${name}@`, () => text);
}
writeFileSync(out, page);

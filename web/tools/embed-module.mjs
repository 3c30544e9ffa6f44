// Writes the WebAssembly module as an ES module that exports its bytes in base64, so that the
// package and the page carry it inside themselves: node embed-module.mjs MODULE.wasm OUT.js
import { readFileSync, writeFileSync } from 'node:fs';

const [wasm, out] = process.argv.slice(2);
const base64 = readFileSync(wasm).toString('base64');
writeFileSync(out, `// The korvadex WebAssembly module (generated).\nexport default '${base64}';\n`);

// korvadex: the forty digests and checksums of the korvadex report, from one WebAssembly
// module, in Node (18 and later) and in browsers.
import moduleBase64 from './module.js';
import { loadModule, toBytes } from './host.js';

let host;

// Every line of the report, in report order: its label, its other names and its digest
// size in bytes.  Filled once `ready` has resolved.
export const lines = [];

// Resolves once the module is loaded; every other call needs it.
export const ready = loadModule(moduleBase64).then((loaded) => {
  host = loaded;
  for (const { label, names, digestSize } of host.lines) {
    lines.push(Object.freeze({ label, names, digestSize }));
  }
  Object.freeze(lines);
});

function loadedHost() {
  if (host === undefined) throw new Error('korvadex: await ready before use');
  return host;
}

function hex(bytes) {
  let text = '';
  for (const byte of bytes) text += byte.toString(16).padStart(2, '0');
  return text;
}

class Hash {
  #handle;
  #digested = false;

  constructor(line, key) {
    this.#handle = loadedHost().begin(line, key);
    host.dropped.register(this, this.#handle, this);
  }

  update(data) {
    if (this.#digested) throw new Error('korvadex: digest() was already called');
    host.update([this.#handle], toBytes(data));
    return this;
  }

  digest(encoding) {
    if (this.#digested) throw new Error('korvadex: digest() was already called');
    this.#digested = true;
    host.dropped.unregister(this);
    const digest = host.finish(this.#handle);
    if (encoding === undefined) return digest;
    if (encoding === 'hex') return hex(digest);
    throw new RangeError(`korvadex: unknown encoding '${encoding}'`);
  }
}

// A computation of the line named name (a name the command line takes with -a), keyed
// (HMAC) when key is given.
export function createHash(name, { key } = {}) {
  return new Hash(loadedHost().findLine(name), key);
}

async function* chunksOf(source) {
  if (typeof source === 'string') {
    const { createReadStream } = await import('node:fs');
    yield* createReadStream(source, { highWaterMark: 1 << 20 });
  } else if (typeof Blob !== 'undefined' && source instanceof Blob) {
    const slice = 4 << 20;
    for (let offset = 0; offset < source.size; offset += slice) {
      yield new Uint8Array(await source.slice(offset, offset + slice).arrayBuffer());
    }
  } else if (source !== null && typeof source.getReader === 'function') {
    const reader = source.getReader();
    try {
      for (;;) {
        const { done, value } = await reader.read();
        if (done) return;
        yield value;
      }
    } finally {
      reader.releaseLock();
    }
  } else if (source !== null && typeof source[Symbol.asyncIterator] === 'function') {
    yield* source;
  } else {
    throw new TypeError('korvadex: the source must be a path, a Blob or a stream');
  }
}

// The report of source (a file path in Node, a Blob, a Node stream or a web ReadableStream):
// the text the command line prints, byte for byte, of every line or of the lines named.
export async function report(source, { key, lines: names } = {}) {
  await ready;
  let chosen = [...host.lines.keys()];
  if (names !== undefined) {
    chosen = [...new Set(names.map((name) => host.findLine(name)))].sort((a, b) => a - b);
  }
  const handles = [];
  try {
    for (const line of chosen) handles.push(host.begin(line, key));
    for await (const chunk of chunksOf(source)) host.update(handles, toBytes(chunk));
  } catch (error) {
    for (const handle of handles) host.abandon(handle);
    throw error;
  }
  const digests = handles.map((handle) => host.finish(handle));
  return host.reportText(chosen, digests);
}

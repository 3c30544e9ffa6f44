// The host of the korvadex WebAssembly module, for Node and browsers alike: it supplies the
// three WASI calls the module's libc makes (an empty environment; an exit is an error),
// copies bytes in and out of the module's memory, and wraps the C interface.
const encoder = new TextEncoder();
const decoder = new TextDecoder();

// Bytes copied into the module at a time.
const kScratchSize = 1 << 20;

function decodeBase64(text) {
  const binary = atob(text);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

// Bytes of a key or a message: a string as UTF-8, any ArrayBuffer view or ArrayBuffer.
export function toBytes(data) {
  if (typeof data === 'string') return encoder.encode(data);
  if (data instanceof Uint8Array) return data;
  if (ArrayBuffer.isView(data)) return new Uint8Array(data.buffer, data.byteOffset, data.byteLength);
  if (data instanceof ArrayBuffer) return new Uint8Array(data);
  throw new TypeError('korvadex: bytes must be a string, an ArrayBuffer or a view of one');
}

export async function loadModule(base64) {
  let memory;
  const wasi = {
    environ_sizes_get(countAt, sizeAt) {
      const view = new DataView(memory.buffer);
      view.setUint32(countAt, 0, true);
      view.setUint32(sizeAt, 0, true);
      return 0;
    },
    environ_get: () => 0,
    proc_exit(status) {
      throw new Error(`korvadex: the module stopped with status ${status}`);
    },
  };
  const { instance } = await WebAssembly.instantiate(decodeBase64(base64), {
    wasi_snapshot_preview1: wasi,
  });
  memory = instance.exports.memory;
  instance.exports._initialize();
  return new Host(instance.exports);
}

class Host {
  constructor(exports) {
    this.x = exports;
    this.scratch = exports.kx_alloc(kScratchSize);
    if (this.scratch === 0) throw new Error('korvadex: out of memory');
    const count = exports.kx_line_count();
    this.lines = [];
    for (let i = 0; i < count; ++i) {
      const names = this.string(exports.kx_line_names(i));
      this.lines.push(Object.freeze({
        label: this.string(exports.kx_line_label(i)).replace(/: $/, ''),
        names: Object.freeze(names.split(' ').filter((name) => name !== '')),
        digestSize: exports.kx_line_digest_length(i),
        family: this.string(exports.kx_line_family(i)),
        cost: exports.kx_line_cost(i),
      }));
    }
    Object.freeze(this.lines);
    // Computations dropped without a digest give their memory back.
    this.dropped = new FinalizationRegistry((handle) => exports.kx_abandon(handle));
  }

  bytes(at, length) {
    return new Uint8Array(this.x.memory.buffer, at, length);
  }

  string(at) {
    const memory = new Uint8Array(this.x.memory.buffer);
    let end = at;
    while (memory[end] !== 0) ++end;
    return decoder.decode(memory.subarray(at, end));
  }

  // Runs f with a NUL-ended copy of text in the module's memory.
  withString(text, f) {
    const bytes = encoder.encode(text);
    const at = this.x.kx_alloc(bytes.length + 1);
    if (at === 0) throw new Error('korvadex: out of memory');
    try {
      this.bytes(at, bytes.length + 1).set(bytes);
      this.bytes(at + bytes.length, 1)[0] = 0;
      return f(at);
    } finally {
      this.x.kx_free(at);
    }
  }

  // The index of the line a name means, as the command line's -a takes it.
  findLine(name) {
    return this.withString(String(name), (at) => {
      const line = this.x.kx_find_line(at);
      if (line >= 0) return line;
      const reason = line === -2 ? `: ${this.string(this.x.kx_refused_reason(at))}` : '';
      throw new RangeError(`korvadex: unknown algorithm '${name}'${reason}`);
    });
  }

  // Starts a computation of the line, keyed when key holds bytes; returns its handle.
  begin(line, key) {
    const keyBytes = key === undefined ? new Uint8Array(0) : toBytes(key);
    const keyAt = this.x.kx_alloc(keyBytes.length);
    if (keyAt === 0) throw new Error('korvadex: out of memory');
    this.bytes(keyAt, keyBytes.length).set(keyBytes);
    const handle = this.x.kx_init(line, keyAt, keyBytes.length);
    this.bytes(keyAt, keyBytes.length).fill(0);
    this.x.kx_free(keyAt);
    if (handle === 0) throw new Error('korvadex: out of memory');
    return handle;
  }

  // Feeds bytes to every computation of handles, copying each slice in once.
  update(handles, data) {
    for (let offset = 0; offset < data.length; offset += kScratchSize) {
      const piece = data.subarray(offset, offset + kScratchSize);
      this.bytes(this.scratch, piece.length).set(piece);
      for (const handle of handles) this.x.kx_update(handle, this.scratch, piece.length);
    }
  }

  // Ends a computation and returns its digest.
  finish(handle) {
    const length = this.x.kx_final(handle, this.scratch);
    return this.bytes(this.scratch, length).slice();
  }

  abandon(handle) {
    this.x.kx_abandon(handle);
  }

  // The report of the lines (indices in report order) from their digests, as the command
  // line prints it; with savedPath, the saved report of that input.
  reportText(lines, digests, { lower = false, savedPath } = {}) {
    const total = digests.reduce((sum, digest) => sum + digest.length, 0);
    const linesAt = this.x.kx_alloc(4 * lines.length);
    const digestsAt = this.x.kx_alloc(total);
    try {
      if (linesAt === 0 || digestsAt === 0) throw new Error('korvadex: out of memory');
      new Uint32Array(this.x.memory.buffer, linesAt, lines.length).set(lines);
      let offset = 0;
      for (const digest of digests) {
        this.bytes(digestsAt + offset, digest.length).set(digest);
        offset += digest.length;
      }
      const write = (pathAt) => {
        const at = this.x.kx_report_text(linesAt, lines.length, digestsAt, lower ? 1 : 0, pathAt);
        if (at === 0) throw new Error('korvadex: out of memory');
        const text = this.string(at);
        this.x.kx_free(at);
        return text;
      };
      return savedPath === undefined ? write(0) : this.withString(savedPath, write);
    } finally {
      this.x.kx_free(linesAt);
      this.x.kx_free(digestsAt);
    }
  }
}

// The lines (indices) dealt to at most `workers` workers, as the command line deals them to
// its threads: the lines of one engine family stay together, and each family goes, the
// costliest first, to the worker with the least cost so far.  Empty workers are left out.
export function dealLines(host, lines, workers) {
  const groups = [];
  for (const line of lines) {
    const { family, cost } = host.lines[line];
    let group = groups.find((g) => g.family === family);
    if (group === undefined) groups.push((group = { family, lines: [], cost: 0 }));
    group.lines.push(line);
    group.cost += cost;
  }
  groups.sort((a, b) => b.cost - a.cost);
  const dealt = Array.from({ length: Math.max(1, workers) }, () => ({ lines: [], cost: 0 }));
  for (const group of groups) {
    const least = dealt.reduce((min, worker) => (worker.cost < min.cost ? worker : min));
    least.lines.push(...group.lines);
    least.cost += group.cost;
  }
  return dealt.filter((worker) => worker.lines.length > 0).map((worker) => worker.lines);
}

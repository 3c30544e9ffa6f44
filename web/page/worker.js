// A worker of the page: computes its lines over a file, which it reads itself, slice by
// slice, reading the next slice while it hashes the one before.  It reports the bytes done
// after each slice, then the digests.  The page ends a worker to cancel it.
/* global loadModule, moduleBase64 */
const loaded = loadModule(moduleBase64);

// Reads from a byte-stream reader into buffer until it is full or the stream ends; the bytes
// read, in the buffer the reader hands back.
async function fill(reader, buffer) {
  let filled = 0;
  while (filled < buffer.byteLength) {
    const { value, done } = await reader.read(new Uint8Array(buffer, filled));
    buffer = value.buffer;
    if (done) break;
    filled += value.byteLength;
  }
  return new Uint8Array(buffer, 0, filled);
}

// The file's bytes in slices of at most sliceSize, each valid until the next is asked for.
// Where the file gives a byte stream, the slices are read into two buffers taken in turn, so
// that memory stays bounded however large the file: a new buffer for each slice would be
// freed only when the collector came by, and over a large file they pile up by the hundred.
async function* slices(file, sliceSize) {
  let reader = null;
  try {
    reader = file.stream().getReader({ mode: 'byob' });
  } catch {
    for (let offset = 0, next = file.slice(0, sliceSize).arrayBuffer(); offset < file.size;) {
      const bytes = new Uint8Array(await next);
      offset += sliceSize;
      next = offset < file.size ? file.slice(offset, offset + sliceSize).arrayBuffer() : null;
      yield bytes;
    }
    return;
  }
  let spare = new ArrayBuffer(sliceSize);
  let next = fill(reader, new ArrayBuffer(sliceSize));
  for (;;) {
    const bytes = await next;
    if (bytes.length === 0) return;
    next = fill(reader, spare);
    yield bytes;
    spare = bytes.buffer;
  }
}

onmessage = async ({ data: { file, lines, key, sliceSize } }) => {
  try {
    const host = await loaded;
    const handles = lines.map((line) => host.begin(line, key));
    let done = 0;
    for await (const bytes of slices(file, sliceSize)) {
      host.update(handles, bytes);
      done += bytes.length;
      postMessage({ type: 'progress', done });
    }
    if (done !== file.size) throw new Error('it changed while it was read');
    postMessage({ type: 'done', digests: handles.map((handle) => host.finish(handle)) });
  } catch (error) {
    postMessage({ type: 'error', message: String(error && error.message ? error.message : error) });
  }
};

// A worker of the page: computes its lines over a file, which it reads itself, slice by
// slice, reading the next slice while it hashes the one before.  It reports the bytes done
// after each slice, then the digests.  The page ends a worker to cancel it.
/* global loadModule, moduleBase64 */
const loaded = loadModule(moduleBase64);

onmessage = async ({ data: { file, lines, key, sliceSize } }) => {
  try {
    const host = await loaded;
    const handles = lines.map((line) => host.begin(line, key));
    const read = (offset) => file.slice(offset, offset + sliceSize).arrayBuffer();
    let next = read(0);
    for (let offset = 0; offset < file.size; offset += sliceSize) {
      const bytes = new Uint8Array(await next);
      next = offset + sliceSize < file.size ? read(offset + sliceSize) : null;
      host.update(handles, bytes);
      postMessage({ type: 'progress', done: offset + bytes.length });
    }
    postMessage({ type: 'done', digests: handles.map((handle) => host.finish(handle)) });
  } catch (error) {
    postMessage({ type: 'error', message: String(error && error.message ? error.message : error) });
  }
};

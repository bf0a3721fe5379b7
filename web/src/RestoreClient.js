// The page's side of the restore workers. A worker is ended as soon as it
// has nothing to do: what it decoded for a page would otherwise stay in
// its heap until its own collector ran, memory the next page needs.
let nextId = 1;

function run(job) {
  return new Promise((done) => {
    let worker;
    const finish = (reply) => {
      worker?.terminate();
      done(reply);
    };
    try {
      worker = new Worker('restore.js');
    } catch (error) {
      finish({ type: 'failed', message: String(error.message || error) });
      return;
    }
    worker.onmessage = ({ data }) => finish(data);
    worker.onerror = (event) => {
      event.preventDefault();
      finish({ type: 'failed', message: 'the browser stopped the worker, most likely for want of memory' });
    };
    worker.postMessage({ ...job, id: nextId++ });
  });
}

function closeLayers(reply) {
  for (const bitmap of Object.values(reply.layers || {})) bitmap?.close?.();
}

// Resolves to { type: 'restored', layers, ... } or { type: 'failed',
// message }. Auto Flats' two halves run side by side.
export async function restore(job) {
  if (job.kind !== 'auto') return run({ ...job, kind: 'flat' });
  const [lines, layers] = await Promise.all([run({ ...job, kind: 'lines', base: null }), run({ ...job, kind: 'layers', file: null })]);
  const failed = [lines, layers].find((r) => r.type !== 'restored');
  if (failed) {
    closeLayers(lines);
    closeLayers(layers);
    return failed;
  }
  return { ...layers, layers: { ...lines.layers, ...layers.layers }, times: { ...lines.times, ...layers.times } };
}

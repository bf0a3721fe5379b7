// The page's side of the restore workers. A worker is ended as soon as it
// has nothing to do: what it decoded for a page would otherwise stay in
// its heap until its own collector ran, memory the next page needs.
let nextId = 1;

// Resolves to the worker's first reply; `later`, if given, receives the
// one that follows it (a layer the first frame does not wait for), after
// which the worker ends.
function run(job, later = null) {
  return new Promise((done) => {
    let worker;
    let first = true;
    const finish = (reply) => {
      if (first) {
        first = false;
        done(reply);
        if (later && reply.type === 'restored') return;
      } else {
        later?.(reply);
      }
      worker?.terminate();
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

// Resolves to { type: 'restored', layers, later, ... } or { type: 'failed',
// message }. Auto Flats' two halves run side by side; `later` resolves to
// the ink layer (or null), which follows.
export async function restore(job) {
  if (job.kind !== 'auto') return run({ ...job, kind: 'flat' });
  let ink;
  const later = new Promise((resolve) => { ink = resolve; });
  const [lines, layers] = await Promise.all([
    run({ ...job, kind: 'lines', base: null }, (reply) => ink(reply.type === 'later' ? reply.layers.lineArt : null)),
    run({ ...job, kind: 'layers', file: null })]);
  const failed = [lines, layers].find((r) => r.type !== 'restored');
  if (failed) {
    closeLayers(lines);
    closeLayers(layers);
    later.then((bitmap) => bitmap?.close());
    return failed;
  }
  return { ...layers, later, layers: { ...lines.layers, ...layers.layers }, times: { ...lines.times, ...layers.times } };
}

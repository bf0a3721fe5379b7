// The page's side of the restore worker. It is ended as soon as it has
// nothing to do: what it decoded for a page would otherwise stay in its
// heap until its own collector ran, memory the next page needs.
let worker = null;
let nextId = 1;
const pending = new Map();

function started() {
  if (worker) return worker;
  worker = new Worker('restore.js');
  worker.onmessage = ({ data }) => {
    const done = pending.get(data.id);
    pending.delete(data.id);
    if (!pending.size) {
      worker?.terminate();
      worker = null;
    }
    done?.(data);
  };
  worker.onerror = (event) => {
    event.preventDefault();
    worker.terminate();
    worker = null;
    for (const [id, done] of [...pending]) {
      pending.delete(id);
      done({ type: 'failed', id, message: 'the browser stopped the worker, most likely for want of memory' });
    }
  };
  return worker;
}

// Resolves to the worker's reply: { type: 'restored', layers, ... } or
// { type: 'failed', message }.
export function restore(job) {
  const id = nextId++;
  const answer = new Promise((done) => pending.set(id, done));
  started().postMessage({ ...job, id });
  return answer;
}

// The melt run again for the fixes, in a worker of its own that lives as
// long as the page has fixes to make: the engine answers in the worker, and
// the page's own worker is ended whenever its queue is empty.
let worker = null;
let nextId = 1;
const waiting = new Map();

function start() {
  worker = new Worker('worker.js');
  worker.onmessage = ({ data }) => {
    const done = waiting.get(data.id);
    waiting.delete(data.id);
    done?.resolve(data);
  };
  worker.onerror = (event) => {
    event.preventDefault();
    worker.terminate();
    worker = null;
    for (const { reject } of waiting.values()) reject(new Error('the melt stopped (out of memory, most likely)'));
    waiting.clear();
  };
}

// Started as soon as a page can be fixed, so that the first split does
// not wait for the engine to load.
export function warmRemelt() {
  if (!worker) start();
}

// `request`: { width, height, area, changed, depth, labels, marks }, the
// part's arrays being handed over. Answers { result, touched, labels, marks }.
export function remelt(request) {
  if (!worker) start();
  const id = nextId++;
  return new Promise((resolve, reject) => {
    waiting.set(id, { resolve, reject });
    worker.postMessage({ type: 'remelt', id, ...request }, [request.labels.buffer, request.marks.buffer]);
  });
}

// The flat worker's side of the layer worker. It is started with the flat
// worker, long before a page comes: a worker started while this one runs
// the library might wait for it to finish before it could begin.
export class LineArtLayers {
  constructor() {
    this.pending = new Map();
    this.nextId = 1;
    try {
      this.worker = new Worker('layers.js');
      this.worker.onmessage = ({ data }) => this.settle(data);
      this.worker.onerror = (event) => {
        event.preventDefault();
        this.worker = null;
        for (const id of [...this.pending.keys()]) this.settle({ id, error: 'the layer worker stopped' });
      };
    } catch {
      this.worker = null;
    }
  }

  settle({ id, error, before, ink }) {
    const done = this.pending.get(id);
    if (!done) return;
    this.pending.delete(id);
    done(error ? null : { before, ink });
  }

  // Starts the layers of a decoded page. Resolves to { before, ink }, or to
  // null when the other worker cannot make them: the caller makes them then.
  start({ data, channels, width, height }) {
    if (!this.worker) return Promise.resolve(null);
    let pixels;
    try {
      pixels = data.slice();
    } catch {
      return Promise.resolve(null);  // no room for the copy: the layers are made after the library
    }
    const id = this.nextId++;
    const answer = new Promise((done) => this.pending.set(id, done));
    this.worker.postMessage({ id, pixels, channels, width, height }, [pixels.buffer]);
    return answer;
  }
}

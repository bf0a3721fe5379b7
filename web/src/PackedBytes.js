// A full-size layer kept small while its page is not on screen. Auto Flats'
// layers (labels, flats, marks) are long runs of one value along each row,
// so they are kept as runs: a fill per run brings a 35 MP page back in a
// fraction of the time inflating its bytes would take. The runs are then
// deflated by the browser, which shrinks them severalfold more.
async function deflated(parts) {
  const stream = new Blob(parts).stream().pipeThrough(new CompressionStream('deflate-raw'));
  return new Response(stream).blob();
}

async function inflated(blob) {
  const stream = blob.stream().pipeThrough(new DecompressionStream('deflate-raw'));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

// `values`: a Uint8Array or Uint32Array. The blob holds the number of
// runs, each run's length, then each run's value.
export async function pack(values) {
  let runs = values.length ? 1 : 0;
  for (let i = 1; i < values.length; i++) if (values[i] !== values[i - 1]) runs++;
  const lengths = new Uint32Array(runs + 1);
  const kept = new values.constructor(runs);
  lengths[0] = runs;
  for (let i = 0, r = 0; i < values.length; r++) {
    const value = values[i];
    let end = i + 1;
    while (end < values.length && values[end] === value) end++;
    lengths[r + 1] = end - i;
    kept[r] = value;
    i = end;
  }
  return deflated([lengths, kept]);
}

// Back to exactly `length` values of `Type`; anything else means the kept
// layer is damaged, and the page is made again instead of shown wrong.
export async function unpack(blob, Type, length) {
  const bytes = await inflated(blob);
  if (bytes.length < 4) throw new Error('a kept layer is damaged');
  const runs = new Uint32Array(bytes.buffer, 0, 1)[0];
  if (bytes.length !== 4 * (runs + 1) + runs * Type.BYTES_PER_ELEMENT) throw new Error('a kept layer is damaged');
  const lengths = new Uint32Array(bytes.buffer, 4, runs);
  const values = new Type(bytes.buffer.slice(4 * (runs + 1)));
  const out = new Type(length);
  let at = 0;
  for (let r = 0; r < runs; r++) {
    const end = at + lengths[r];
    if (end > length) throw new Error('a kept layer is larger than its page');
    // A short run is quicker written than filled.
    const value = values[r];
    if (end - at > 64) out.fill(value, at, end);
    else for (let i = at; i < end; i++) out[i] = value;
    at = end;
  }
  if (at !== length) throw new Error('a kept layer is smaller than its page');
  return out;
}

// A page's fixes kept with it: what undo and redo walk, and what brings a
// kept result back to its last fixed state. Each fix holds what it
// changed, so playing the done ones again over the result as flatted gives
// the pixels the flatter last saw.
export function historyOf(fixes, stamp) {
  return { done: [...fixes.done], undone: [...fixes.undone], stamp };
}

export function replayFixes(fixes, history) {
  const done = history?.done ?? [];
  if (done.length) fixes.box(0);
  for (const fix of done) fixes.run(fix, 'do');
  fixes.done = [...done];
  fixes.undone = [...(history?.undone ?? [])];
}

// The history as the database keeps it. A split of a panel changes
// millions of pixels, and the history is written again after every fix:
// as typed arrays it would be copied whole each time, every fix slower
// than the one before. Each array becomes a Blob once, which the database
// copies as a reference.
const kKeptArray = 'keptArray';
const packed = new WeakMap();

function packValue(value) {
  if (ArrayBuffer.isView(value)) {
    let kept = packed.get(value);
    if (!kept) {
      kept = { [kKeptArray]: value.constructor.name, blob: new Blob([value]) };
      packed.set(value, kept);
    }
    return kept;
  }
  if (Array.isArray(value)) return value.map(packValue);
  if (plainObject(value)) return Object.fromEntries(Object.entries(value).map(([key, v]) => [key, packValue(v)]));
  return value;  // anything else the database copies as it is
}

function plainObject(value) {
  return value !== null && typeof value === 'object' && Object.getPrototypeOf(value) === Object.prototype;
}

const kArrayTypes = { Uint8Array, Uint8ClampedArray, Uint16Array, Uint32Array, Int32Array, Float64Array };

async function unpackValue(value) {
  if (value && typeof value === 'object' && typeof value[kKeptArray] === 'string' && value.blob instanceof Blob) {
    const Type = kArrayTypes[value[kKeptArray]];
    if (!Type) throw new Error(`a kept fix holds an unknown array (${value[kKeptArray]})`);
    return new Type(await value.blob.arrayBuffer());
  }
  if (Array.isArray(value)) return Promise.all(value.map(unpackValue));
  if (plainObject(value)) {
    const entries = await Promise.all(Object.entries(value).map(async ([key, v]) => [key, await unpackValue(v)]));
    return Object.fromEntries(entries);
  }
  return value;
}

export function packedHistory(history) {
  return history && packValue(history);
}

// Histories kept before their arrays were Blobs come back as they are.
export async function unpackedHistory(history) {
  return history && unpackValue(history);
}

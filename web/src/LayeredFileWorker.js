// Makes a page's layered download, in a worker of its own: the line art as
// it came, its flats and any hints page are decoded, and the command's own
// writers (in the module) lay them out, so the file holds what
// `vandrel autoflat --layers` would write. The module asks the page's zlib
// to deflate OpenRaster's PNG rows, as the module has none of its own.
import { Zlib } from 'fflate';
import { ImageRefused, checkHeader, readPngChunks } from './PngChunks.js';
import { readPixels } from './PngPixels.js';
import { settleColourChunks } from './PngColourChunks.js';
import { engineBlocks } from './EngineBlocks.js';
import { iccProfileOf, resolutionOf } from './LayeredPageFacts.js';

const kFormats = { psd: 0, ora: 1 };
const kWritten = 0;
const kMessageBytes = 256;

// The deflate stream the module's PNG writer feeds one filtered row at a
// time and takes the compressed bytes from when enough have gathered.
function rowDeflate() {
  let stream = null;
  let waiting = [];
  let bytes = 0;
  return {
    start() {
      waiting = [];
      bytes = 0;
      stream = new Zlib({ level: 6 }, (chunk) => {
        waiting.push(chunk);
        bytes += chunk.length;
      });
    },
    push(row, last) {
      stream.push(row, last);
      return bytes;
    },
    take(heap, at) {
      for (const chunk of waiting) {
        heap.set(chunk, at);
        at += chunk.length;
      }
      waiting = [];
      bytes = 0;
    },
  };
}

self.importScripts('vandrel-engine.js');
const engineReady = self.createVandrelEngine().then((engine) => {
  engine.layeredDeflate = rowDeflate();
  return engine;
});

async function decode(blob, what) {
  try {
    const bytes = new Uint8Array(await blob.arrayBuffer());
    const facts = readPngChunks(bytes);
    checkHeader(facts);
    const { kept } = await settleColourChunks(facts.kept);
    return { ...facts, kept, channels: facts.colourType === 6 ? 4 : 3, data: await readPixels(bytes, facts) };
  } catch (error) {
    if (error instanceof ImageRefused) throw new Error(`${what}: ${error.message}`);
    throw error;
  }
}

async function layeredFile({ format, lineArt, flats, hints }) {
  const engine = await engineReady;
  const art = await decode(lineArt, 'the line art');
  const flat = await decode(flats, 'the flats');
  const hint = hints ? await decode(hints, 'the hints page') : null;
  for (const other of [art, hint])
    if (other && (other.width !== flat.width || other.height !== flat.height)) throw new Error('the layers are not all of one size');
  const { xDpi, yDpi, centimetres } = resolutionOf(flat.kept);
  const profile = await iccProfileOf(flat.kept);
  const blocks = engineBlocks(engine);
  const parts = [];
  let write = 0;
  try {
    const put = (picture) => {
      const at = blocks.alloc(picture.length);
      engine.HEAPU8.set(picture, at);
      return at;
    };
    const flatsAt = put(flat.data);
    const artAt = put(art.data);
    const hintsAt = hint ? put(hint.data) : 0;
    const profileAt = profile ? put(profile) : 0;
    const message = blocks.alloc(kMessageBytes);
    write = engine.addFunction((at, size) => parts.push(engine.HEAPU8.slice(at, at + size)), 'vii');
    const result = engine._vandrel_layered_write(kFormats[format], flat.width, flat.height, flatsAt, flat.channels,
      artAt, art.channels, hintsAt, hint ? hint.channels : 0, xDpi, yDpi, centimetres ? 1 : 0,
      profileAt, profile ? profile.length : 0, write, message, kMessageBytes);
    if (result !== kWritten) {
      const text = engine.HEAPU8.subarray(message, message + kMessageBytes);
      throw new Error(new TextDecoder().decode(text.subarray(0, Math.max(0, text.indexOf(0)))));
    }
  } finally {
    if (write) engine.removeFunction(write);
    blocks.freeAll();
  }
  return new Blob(parts, { type: format === 'psd' ? 'image/vnd.adobe.photoshop' : 'image/openraster' });
}

self.onmessage = async ({ data }) => {
  try {
    self.postMessage({ id: data.id, blob: await layeredFile(data) });
  } catch (error) {
    self.postMessage({ id: data.id, error: String(error.message || error) });
  }
};

// The worker that flats one page at a time: decode the PNG, run the engine
// (WebAssembly), encode the result. The page never waits on any of it.
import { ImageRefused, checkHeader, readPngChunks } from './PngChunks.js';
import { DecodeCancelled, readPixels } from './PngPixels.js';
import { settleColourChunks } from './PngColourChunks.js';
import { writePng } from './PngWrite.js';
import { CancelSignal } from './CancelSignal.js';

const kDone = 0;
const kCancelled = 1;
const kNoMemory = 2;

self.importScripts('vandrel-engine.js');
const engineReady = self.createVandrelEngine();

// A page's pixels exactly as stored: no gamma, profile or premultiplication,
// RGB as 3 and RGBA as 4 bytes per pixel; the chunks its result keeps, and
// notices for those it cannot.
async function decodePixels(bytes, cancel) {
  const facts = readPngChunks(bytes);
  checkHeader(facts);
  const channels = facts.colourType === 6 ? 4 : 3;
  const { kept, notices } = await settleColourChunks(facts.kept);
  return { ...facts, kept, notices, channels, data: await readPixels(bytes, facts, () => cancel.requested()) };
}

function engineFailure(code) {
  if (code === kNoMemory) return 'not enough memory for this page';
  return `the engine failed (result ${code})`;
}

async function flatPage({ id, file, depth, white, cancelUrl }) {
  const engine = await engineReady;
  const cancel = new CancelSignal(cancelUrl);
  const times = {};
  let started = performance.now();
  let page;
  try {
    page = await decodePixels(new Uint8Array(await file.arrayBuffer()), cancel);
  } catch (error) {
    if (error instanceof DecodeCancelled) return { type: 'cancelled', id };
    throw error;
  }
  times.decode = performance.now() - started;
  if (cancel.requested()) return { type: 'cancelled', id };

  const bytes = page.width * page.height * page.channels;
  const input = engine._vandrel_alloc(bytes);
  const output = input ? engine._vandrel_alloc(bytes) : 0;
  try {
    if (!input || !output) throw new Error('not enough memory for this page');
    engine.HEAPU8.set(page.data, input);
    page.data = null;  // the engine's copy is the only one from here on
    engine.onFlatProgress = (done, total) => self.postMessage({ type: 'progress', id, done, total });
    engine.flatCancelled = () => cancel.requested();
    started = performance.now();
    const result = engine._vandrel_flat(input, output, page.width, page.height, page.channels, depth, white ? 1 : 0);
    times.flat = performance.now() - started;
    if (result === kCancelled) return { type: 'cancelled', id };
    if (result !== kDone) throw new Error(engineFailure(result));

    started = performance.now();
    // The heap may have grown during the pass: take the view now.
    const pixels = engine.HEAPU8.subarray(output, output + bytes);
    const blob = await writePng(pixels, page.width, page.height, page.channels, page.kept);
    times.encode = performance.now() - started;
    return { type: 'done', id, blob, width: page.width, height: page.height, channels: page.channels, times, notices: page.notices };
  } finally {
    engine.onFlatProgress = null;
    engine.flatCancelled = null;
    if (output) engine._vandrel_free(output);
    if (input) engine._vandrel_free(input);
  }
}

self.onmessage = async ({ data }) => {
  if (data.type !== 'flat') return;
  let reply;
  try {
    reply = await flatPage(data);
  } catch (error) {
    reply = error instanceof ImageRefused
      ? { type: 'refused', id: data.id, message: error.message }
      : { type: 'failed', id: data.id, message: error instanceof RangeError ? 'not enough memory for this page' : String(error.message || error) };
  }
  self.postMessage(reply);
};

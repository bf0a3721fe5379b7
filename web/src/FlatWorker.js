// The worker that flats one page at a time: decode the PNG, run the engine
// (WebAssembly), encode the result. The page never waits on any of it.
import { ImageRefused, checkHeader, readPngChunks } from './PngChunks.js';
import { DecodeCancelled, readPixels } from './PngPixels.js';
import { settleColourChunks } from './PngColourChunks.js';
import { writePng } from './PngWrite.js';
import { CancelSignal } from './CancelSignal.js';
import { viewLayers } from './ViewLayers.js';
import { autoFlatPage } from './AutoFlatJob.js';
import { checkHeapFits } from './EngineHeap.js';
import { engineBlocks } from './EngineBlocks.js';
import { warmUp } from './EngineWarmUp.js';
import { LineArtLayers } from './LineArtLayers.js';

const kDone = 0;
const kCancelled = 1;
const kNoMemory = 2;
// Pixel layouts of the engine's C interface.
const kRgb = 1;
const kRgba = 2;

self.importScripts('vandrel-engine.js');
const layerHelper = new LineArtLayers();
const engineReady = self.createVandrelEngine().then((engine) => {
  // What the warm-up's runs answered, for the tests, which look into the worker.
  self.warmUpRuns = warmUp(engine);
  return engine;
});

// A page's header facts, read and checked before any pixel is inflated.
function readHeader(bytes) {
  const facts = readPngChunks(bytes);
  checkHeader(facts);
  return { ...facts, channels: facts.colourType === 6 ? 4 : 3 };
}

// A page's pixels exactly as stored: no gamma, profile or premultiplication,
// RGB as 3 and RGBA as 4 bytes per pixel; the chunks its result keeps, and
// notices for those it cannot.
async function decodePixels(bytes, facts, cancel) {
  const { kept, notices } = await settleColourChunks(facts.kept);
  return { ...facts, kept, notices, data: await readPixels(bytes, facts, () => cancel.requested()) };
}

function engineFailure(code) {
  if (code === kNoMemory) return 'not enough memory for this page';
  return `the engine failed (result ${code})`;
}

async function flatPage({ id, file, depth, white, cancelUrl }) {
  let started = performance.now();
  const engine = await engineReady;
  const times = { engine: performance.now() - started };
  const cancel = new CancelSignal(cancelUrl);
  started = performance.now();
  let page;
  try {
    const bytes = new Uint8Array(await file.arrayBuffer());
    const facts = readHeader(bytes);
    checkHeapFits('flat', facts);
    page = await decodePixels(bytes, facts, cancel);
  } catch (error) {
    if (error instanceof DecodeCancelled) return { type: 'cancelled', id };
    throw error;
  }
  times.decode = performance.now() - started;
  if (cancel.requested()) return { type: 'cancelled', id };

  const bytes = page.width * page.height * page.channels;
  const input = engine._vandrel_alloc(bytes);
  const output = input ? engine._vandrel_alloc(bytes) : 0;
  let progress = 0;
  try {
    if (!input || !output) throw new Error('not enough memory for this page');
    engine.HEAPU8.set(page.data, input);
    page.data = null;  // the engine's copy is the only one from here on
    // Called by the pass after each strip; a non-zero answer stops it.
    progress = engine.addFunction((context, done, total) => {
      self.postMessage({ type: 'progress', id, done, total });
      return cancel.requested() ? 1 : 0;
    }, 'iiii');
    started = performance.now();
    const layout = page.channels === 4 ? kRgba : kRgb;
    const result = engine._vandrel_flat(input, output, page.width, page.height, layout, depth, white ? 1 : 0, progress, 0);
    times.flat = performance.now() - started;
    if (result === kCancelled) return { type: 'cancelled', id };
    if (result !== kDone) throw new Error(engineFailure(result));

    started = performance.now();
    // The heap may have grown during the pass: take the view now.
    const pixels = engine.HEAPU8.subarray(output, output + bytes);
    const blob = await writePng(pixels, page.width, page.height, page.channels, page.kept);
    times.encode = performance.now() - started;
    started = performance.now();
    const { layers, tooDeepCount } = await viewLayers(engine.HEAPU8.subarray(input, input + bytes),
      engine.HEAPU8.subarray(output, output + bytes), page, white);
    times.layers = performance.now() - started;
    return { type: 'done', id, blob, width: page.width, height: page.height, channels: page.channels, times, layers, tooDeepCount, notices: page.notices };
  } finally {
    if (progress) engine.removeFunction(progress);
    if (output) engine._vandrel_free(output);
    if (input) engine._vandrel_free(input);
  }
}

// A companion page's refusals name it: `what` is 'the hints page' or 'the
// earlier flats'.
async function asCompanion(what, file, step) {
  try {
    return await step();
  } catch (error) {
    if (error instanceof ImageRefused) throw new ImageRefused(`${what} ${file.name}: ${error.message}`);
    throw error;
  }
}

async function readCompanion(what, file, pageFacts) {
  if (!file) return null;
  const bytes = new Uint8Array(await file.arrayBuffer());
  const facts = await asCompanion(what, file, () => readHeader(bytes));
  if (facts.width !== pageFacts.width || facts.height !== pageFacts.height)
    throw new ImageRefused(`${what} ${file.name} ${what.endsWith('s') ? 'are' : 'is'} ${facts.width} x ${facts.height} pixels, the page ${pageFacts.width} x ${pageFacts.height}: they must be the same size`);
  return { what, file, bytes, facts };
}

async function autoFlat({ id, file, hintsFile, earlierFile = null, options, name, cancelUrl }) {
  const waited = performance.now();
  const engine = await engineReady;
  const engineWait = performance.now() - waited;
  const cancel = new CancelSignal(cancelUrl);
  const started = performance.now();
  let page;
  let hints = null;
  let earlier = null;
  try {
    const pageBytes = new Uint8Array(await file.arrayBuffer());
    const pageFacts = readHeader(pageBytes);
    const hintsRead = await readCompanion('the hints page', hintsFile, pageFacts);
    const earlierRead = await readCompanion('the earlier flats', earlierFile, pageFacts);
    checkHeapFits('autoflat', { ...pageFacts, hintChannels: hintsRead?.facts.channels ?? 0, earlierChannels: earlierRead?.facts.channels ?? 0 });
    page = await decodePixels(pageBytes, pageFacts, cancel);
    const decode = (read) => read && asCompanion(read.what, read.file, () => decodePixels(read.bytes, read.facts, cancel));
    hints = await decode(hintsRead);
    earlier = await decode(earlierRead);
  } catch (error) {
    if (error instanceof DecodeCancelled) return { type: 'cancelled', id };
    throw error;
  }
  const decode = performance.now() - started;
  if (cancel.requested()) return { type: 'cancelled', id };
  const reply = await autoFlatPage(engine, {
    id, page, hints, earlier, options, name, lineArtLayers: layerHelper.start(page),
    progress: (done, total) => self.postMessage({ type: 'progress', id, done, total }),
    cancelled: () => cancel.requested(),
    shown: (result) => {
      result.times.decode = decode;
      result.times.engine = engineWait;
      self.postMessage(result, transfers(result));
    },
  });
  return reply;
}

function transfers(reply) {
  const list = reply.layers ? Object.values(reply.layers) : [];
  for (const key of ['labels', 'colours', 'flatsRgba', 'marks']) if (reply[key]) list.push(reply[key].buffer);
  return list;
}

// Auto Flats' melt again over the part of a page a split changed: the
// page hands over that part's labels and marks, and takes them back.
async function remelt({ id, width, height, area, changed, depth, labels, marks }) {
  const engine = await engineReady;
  const heapBlocks = engineBlocks(engine);
  const alloc = (n) => heapBlocks.alloc(n);
  try {
    const labelsAt = alloc(labels.byteLength);
    const marksAt = alloc(marks.byteLength);
    const boxes = alloc(48);
    engine.HEAPU8.set(new Uint8Array(labels.buffer, labels.byteOffset, labels.byteLength), labelsAt);
    engine.HEAPU8.set(marks, marksAt);
    new Int32Array(engine.HEAPU8.buffer, boxes, 12).set([...area, ...changed, 0, 0, 0, 0]);
    const result = engine._vandrel_autoflat_remelt(labelsAt, marksAt, width, height, boxes, boxes + 16, depth, boxes + 32);
    const touched = Array.from(new Int32Array(engine.HEAPU8.buffer, boxes + 32, 4));
    if (result !== kDone) return { type: 'remelted', id, result, touched };
    labels.set(new Uint32Array(engine.HEAPU8.buffer.slice(labelsAt, labelsAt + labels.byteLength)));
    marks.set(engine.HEAPU8.subarray(marksAt, marksAt + marks.byteLength));
    return { type: 'remelted', id, result, touched, labels, marks };
  } finally {
    heapBlocks.freeAll();
  }
}

self.onmessage = async ({ data }) => {
  if (data.type === 'remelt') {
    let reply;
    try {
      reply = await remelt(data);
    } catch (error) {
      reply = { type: 'remelted', id: data.id, result: -1, message: String(error.message || error) };
    }
    self.postMessage(reply, reply.labels ? [reply.labels.buffer, reply.marks.buffer] : []);
    return;
  }
  if (data.type !== 'flat' && data.type !== 'autoflat') return;
  let reply;
  try {
    reply = await (data.type === 'flat' ? flatPage(data) : autoFlat(data));
  } catch (error) {
    reply = error instanceof ImageRefused
      ? { type: 'refused', id: data.id, message: error.message }
      : { type: 'failed', id: data.id, message: error instanceof RangeError ? 'not enough memory for this page' : String(error.message || error) };
  }
  self.postMessage(reply, transfers(reply));
};

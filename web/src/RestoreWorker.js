// Shows a kept result again without the library: the page's own file
// decoded for the line art, the kept layers unpacked, the viewer's
// pictures made, all off the page's thread. Used after a reload and
// whenever the list brings a page back on screen.
import { checkHeader, readPngChunks } from './PngChunks.js';
import { readPixels } from './PngPixels.js';
import { closedGapsInto, inkOf, rgbaOf, smallRegionsOf, viewLayers } from './ViewLayers.js';
import { unpack } from './PackedBytes.js';

async function decoded(file) {
  const bytes = new Uint8Array(await file.arrayBuffer());
  const facts = readPngChunks(bytes);
  checkHeader(facts);
  return { ...facts, channels: facts.colourType === 6 ? 4 : 3, data: await readPixels(bytes, facts) };
}

function sameSize(page, { width, height, channels }) {
  if (page.width !== width || page.height !== height || page.channels !== channels) throw new Error('the kept result does not fit its page');
}

// Auto Flats' page comes back in two halves, each in a worker of its own
// so that they run side by side: the line art's pictures from the page's
// file, and the kept layers with the marks made from them.
async function restoreLines({ id, file, meta: { width, height, channels } }) {
  let started = performance.now();
  const page = await decoded(file);
  sameSize(page, { width, height, channels });
  const times = { decode: performance.now() - started };
  started = performance.now();
  const before = await createImageBitmap(new ImageData(rgbaOf(page.data, channels, width * height), width, height), { premultiplyAlpha: 'none' });
  times.lineArt = performance.now() - started;
  // The ink over the flats shows only on request: it follows the first frame.
  const later = async () => {
    const ink = await createImageBitmap(new ImageData(inkOf(page.data, channels, width * height), width, height), { premultiplyAlpha: 'none' });
    return { type: 'later', id, layers: { lineArt: ink } };
  };
  return { type: 'restored', id, times, layers: { before }, later };
}

async function restoreLayers({ id, meta: { width, height, regionCount }, base }) {
  const count = width * height;
  let started = performance.now();
  const [labels, flatWords, marks] = await Promise.all([
    unpack(base.labels, Uint32Array, count), unpack(base.flats, Uint32Array, count), unpack(base.marks, Uint8Array, count)]);
  const times = { unpack: performance.now() - started };
  // The marks show the regions as flatted, before any fix, as they did
  // when the page was flatted.
  started = performance.now();
  const small = smallRegionsOf(labels, regionCount);
  const gapPixels = closedGapsInto(small.rgba, marks);
  const tooDeep = await createImageBitmap(new ImageData(small.rgba, width, height), { premultiplyAlpha: 'none' });
  times.marks = performance.now() - started;
  return {
    type: 'restored', id, labels, marks, flatsRgba: new Uint8ClampedArray(flatWords.buffer), smallRegions: small.regions, gapPixels, times,
    layers: { tooDeep },
  };
}

async function restoreFlat({ id, file, meta, files }) {
  const [input, output] = await Promise.all([decoded(file), decoded(files.flats)]);
  sameSize(input, meta);
  sameSize(output, meta);
  const { layers, tooDeepCount } = await viewLayers(input.data, output.data, input, meta.white);
  return { type: 'restored', id, layers, tooDeepCount };
}

function send(reply) {
  const transfer = reply.layers ? Object.values(reply.layers) : [];
  for (const key of ['labels', 'marks', 'flatsRgba']) if (reply[key]) transfer.push(reply[key].buffer);
  self.postMessage(reply, transfer);
}

self.onmessage = async ({ data }) => {
  let reply;
  try {
    const job = { lines: restoreLines, layers: restoreLayers, flat: restoreFlat }[data.kind];
    reply = await job(data);
  } catch (error) {
    reply = { type: 'failed', id: data.id, message: String(error.message || error) };
  }
  const { later } = reply;
  delete reply.later;
  send(reply);
  if (later) send(await later().catch((error) => ({ type: 'failed', id: data.id, message: String(error.message || error) })));
};

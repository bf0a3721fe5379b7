// Shows a kept result again without the library: the page's own file
// decoded for the line art, the kept layers unpacked, the viewer's
// pictures made, all off the page's thread. Used after a reload and
// whenever the list brings a page back on screen.
import { checkHeader, readPngChunks } from './PngChunks.js';
import { readPixels } from './PngPixels.js';
import { closedGapsInto, lineArtPictures, smallRegionsOf, viewLayers } from './ViewLayers.js';
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

async function restoreAuto({ id, file, meta: { width, height, channels, regionCount }, base }) {
  const count = width * height;
  const [page, labels, flatWords, marks] = await Promise.all([
    decoded(file), unpack(base.labels, Uint32Array, count), unpack(base.flats, Uint32Array, count), unpack(base.marks, Uint8Array, count)]);
  sameSize(page, { width, height, channels });
  const { before, ink } = await lineArtPictures(page.data, channels, width, height);
  page.data = null;
  // The marks show the regions as flatted, before any fix, as they did
  // when the page was flatted.
  const small = smallRegionsOf(labels, regionCount);
  const gapPixels = closedGapsInto(small.rgba, marks);
  const tooDeep = await createImageBitmap(new ImageData(small.rgba, width, height), { premultiplyAlpha: 'none' });
  const flatsRgba = new Uint8ClampedArray(flatWords.buffer);
  return {
    type: 'restored', id, labels, marks, flatsRgba, smallRegions: small.regions, gapPixels,
    layers: { before, lineArt: ink, tooDeep },
  };
}

async function restoreFlat({ id, file, meta, files }) {
  const [input, output] = await Promise.all([decoded(file), decoded(files.flats)]);
  sameSize(input, meta);
  sameSize(output, meta);
  const { layers, tooDeepCount } = await viewLayers(input.data, output.data, input, meta.white);
  return { type: 'restored', id, layers, tooDeepCount };
}

self.onmessage = async ({ data }) => {
  let reply;
  try {
    reply = await (data.kind === 'auto' ? restoreAuto(data) : restoreFlat(data));
  } catch (error) {
    reply = { type: 'failed', id: data.id, message: String(error.message || error) };
  }
  const transfer = reply.layers ? Object.values(reply.layers) : [];
  for (const key of ['labels', 'marks', 'flatsRgba']) if (reply[key]) transfer.push(reply[key].buffer);
  self.postMessage(reply, transfer);
};

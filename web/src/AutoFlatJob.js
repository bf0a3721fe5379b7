// Auto Flats in the worker: the line art (and any hints page) into the
// module's heap, the library's regions and flats out, as `vandrel autoflat`
// writes them, with the region map and what the viewer and the fixes need.
import { writePng } from './PngWrite.js';
import { regionMapPng, gimpPaletteText } from './RegionMapPng.js';
import { closedGapsInto, lineArtPictures, rgbaOf, smallRegionsOf } from './ViewLayers.js';
import { engineBlocks } from './EngineBlocks.js';
import { kColourCapacity } from './EngineHeap.js';
import { pack } from './PackedBytes.js';

const kDone = 0;
const kCancelled = 1;
const kNoMemory = 2;
export const kLayout = { 3: 1, 4: 2 };  // channels to the C interface's RGB and RGBA
// The C interface's structures, as laid out in the 32-bit module (the
// settings end in a double's alignment).
export const kSettingsBytes = 48;
export const kOutputBytes = 292;

// The page's dots per inch from its pHYs chunk, 0 when it has none.
export function dotsPerInch(kept) {
  const chunk = kept.find((c) => c.type === 'pHYs');
  if (!chunk || chunk.data.length < 9 || chunk.data[8] !== 1) return 0;
  return new DataView(chunk.data.buffer, chunk.data.byteOffset).getUint32(0) * 0.0254;
}

// `shown(reply)` receives the result for the viewer, then the marks of
// small regions and closed gaps; the promise then resolves to the files to
// download.
// `lineArtLayers`, when given, resolves to the line art's two layers made
// elsewhere meanwhile, or to null.
export async function autoFlatPage(engine, { id, page, hints, earlier = null, options, name, progress, cancelled, shown, lineArtLayers = null }) {
  const { width, height, channels } = page;
  const count = width * height;
  const bytes = count * channels;
  const heapBlocks = engineBlocks(engine);
  const alloc = (n) => heapBlocks.alloc(n);
  let callback = 0;
  const times = {};
  try {
    const lineArt = alloc(bytes);
    engine.HEAPU8.set(page.data, lineArt);
    let hintsAt = 0;
    if (hints) {
      hintsAt = alloc(hints.data.length);
      engine.HEAPU8.set(hints.data, hintsAt);
    }
    let earlierAt = 0;
    if (earlier) {
      earlierAt = alloc(earlier.data.length);
      engine.HEAPU8.set(earlier.data, earlierAt);
    }
    const settings = alloc(kSettingsBytes);
    engine._vandrel_autoflat_defaults(settings);
    const s = new DataView(engine.HEAPU8.buffer, settings, kSettingsBytes);
    if (options.gap) s.setInt32(0, options.gap, true);
    if (options.minRegion !== null && options.minRegion !== undefined) s.setInt32(4, options.minRegion, true);
    s.setInt32(8, options.spotBlacks === 'lines' ? 0 : 1, true);
    s.setInt32(12, options.keepLines ? 1 : 0, true);
    if (options.palette?.length) {
      const palette = alloc(options.palette.length * 4);
      options.palette.forEach((c, i) => engine.HEAPU8.set([...c, 0], palette + i * 4));
      s.setUint32(16, palette, true);
      s.setInt32(20, options.palette.length, true);
    }
    s.setInt32(24, 1, true);
    s.setFloat64(32, dotsPerInch(page.kept), true);
    if (options.threshold) s.setInt32(40, options.threshold, true);

    const flats = alloc(bytes);
    const labels = alloc(count * 4);
    const capacity = Math.min(count, kColourCapacity);
    const colours = alloc(capacity * 4);
    const marks = alloc(count);
    const output = alloc(kOutputBytes);
    engine.HEAPU8.fill(0, output, output + kOutputBytes);
    const o = new DataView(engine.HEAPU8.buffer, output, kOutputBytes);
    o.setUint32(0, flats, true);
    o.setInt32(4, kLayout[channels], true);
    o.setUint32(8, labels, true);
    o.setUint32(12, colours, true);
    o.setInt32(16, capacity, true);
    o.setUint32(284, marks, true);

    callback = engine.addFunction((context, done, total) => {
      progress(done, total);
      return cancelled() ? 1 : 0;
    }, 'iiii');
    let started = performance.now();
    const result = engine._vandrel_autoflat_like(lineArt, kLayout[channels], hintsAt, hints ? kLayout[hints.channels] : 0,
      earlierAt, earlier ? kLayout[earlier.channels] : 0, width, height, settings, output, callback, 0);
    times.flat = performance.now() - started;
    if (result === kCancelled) return { type: 'cancelled', id };
    const out = new DataView(engine.HEAPU8.buffer, output, kOutputBytes);
    if (result === kNoMemory) throw new RangeError('not enough memory for this page');
    if (result !== kDone) {
      const message = engine.UTF8ToString ? engine.UTF8ToString(output + 28) : new TextDecoder().decode(engine.HEAPU8.subarray(output + 28, engine.HEAPU8.indexOf(0, output + 28)));
      throw new Error(message || `Auto Flats failed (result ${result})`);
    }
    const regionCount = out.getInt32(20, true);
    const gap = out.getInt32(24, true);
    const meltDepth = out.getInt32(288, true);
    // The smallest region the library kept, as it chose it: a split makes
    // none smaller.
    const smallest = Number.isInteger(options.minRegion) && options.minRegion >= 0 ? options.minRegion : Math.max(16, Math.floor(gap / 2) ** 2);

    // The viewer's layers first, sent as soon as they are made: the page
    // shows the result while this worker encodes the files to download.
    started = performance.now();
    const heap = () => engine.HEAPU8;
    // slice(), not buffer.slice(): a copy of its own even if the heap is shared.
    const labelCopy = new Uint32Array(heap().slice(labels, labels + count * 4).buffer);
    const colourCopy = heap().slice(colours, colours + Math.min(regionCount, capacity) * 4);
    const bitmap = (rgba) => createImageBitmap(new ImageData(rgba, width, height), { premultiplyAlpha: 'none' });
    const made = await lineArtLayers;
    times.lineArtAside = made ? 1 : 0;
    const { before, ink } = made ?? await lineArtPictures(heap().subarray(lineArt, lineArt + bytes), channels, width, height);
    const markCopy = heap().slice(marks, marks + count);
    const flatsRgba = rgbaOf(heap().subarray(flats, flats + bytes), channels, count);
    times.layers = performance.now() - started;
    const kept = page.kept.filter((c) => c.type !== 'tRNS');
    shown({
      type: 'done', id, width, height, channels, times, gap, regionCount, kept, labels: labelCopy, colours: colourCopy, flatsRgba,
      marks: markCopy, meltDepth, smallest, layers: { before, lineArt: ink },
    });

    // The marks of what may need a fix show only on request: they follow
    // the first frame instead of holding it back.
    started = performance.now();
    const small = smallRegionsOf(new Uint32Array(heap().buffer, labels, count), regionCount);
    const gapPixels = closedGapsInto(small.rgba, heap().subarray(marks, marks + count));
    const marksLayer = await bitmap(small.rgba);
    shown({ type: 'marks', id, layers: { tooDeep: marksLayer }, smallRegions: small.regions, gapPixels, times: { marks: performance.now() - started } });

    // The copies went to the page with the result: the files are made from
    // the module's own buffers, which nothing changes until they are freed.
    started = performance.now();
    // A colour key described the line art's paper, not the flats.
    const blob = await writePng(heap().subarray(flats, flats + bytes), width, height, channels, kept);
    const physical = page.kept.find((c) => c.type === 'pHYs')?.data ?? null;
    const map = await regionMapPng(new Uint32Array(heap().buffer, labels, count), width, height, regionCount, physical);
    const listed = Math.min(regionCount, capacity);
    const palette = new Blob([gimpPaletteText(`${name}-regions`, heap().subarray(colours, colours + listed * 4), listed)], { type: 'text/plain' });
    const encode = performance.now() - started;
    // What the page keeps to show the result again without the library:
    // the layers the fixes work on, compressed.
    started = performance.now();
    const base = {
      labels: await pack(new Uint32Array(heap().buffer, labels, count)),
      flats: await pack(new Uint32Array(rgbaOf(heap().subarray(flats, flats + bytes), channels, count).buffer)),
      marks: await pack(heap().subarray(marks, marks + count)),
    };
    return { type: 'files', id, blob, map, palette, base, encode, pack: performance.now() - started };
  } finally {
    if (callback) engine.removeFunction(callback);
    heapBlocks.freeAll();
  }
}

// The pictures the viewer lays over each other, made from the exact bytes
// the engine read and wrote rather than from the browser's decoding of the
// files, which may apply gamma or colour profiles.
const kBlackLimit = 8;

function isBlack(pixels, at) {
  return pixels[at] <= kBlackLimit && pixels[at + 1] <= kBlackLimit && pixels[at + 2] <= kBlackLimit;
}

// Whole pixels are written as one 32-bit word, four times fewer stores
// than byte by byte on a 36 MP page; a word's bytes lie in memory in the
// machine's order, which is little-endian on every browser's platform but
// is checked all the same.
const kLittleEndian = new Uint8Array(new Uint32Array([1]).buffer)[0] === 1;

function packed(r, g, b, a) {
  return kLittleEndian ? (r | (g << 8) | (b << 16) | (a << 24)) >>> 0 : ((r << 24) | (g << 16) | (b << 8) | a) >>> 0;
}

function words(rgba) {
  return new Uint32Array(rgba.buffer, rgba.byteOffset, rgba.length >> 2);
}

export function rgbaOf(pixels, channels, count) {
  const rgba = new Uint8ClampedArray(count * 4);
  if (channels === 4) {
    rgba.set(pixels.subarray(0, count * 4));
    return rgba;
  }
  const out = words(rgba);
  if (!kLittleEndian) {
    for (let i = 0, at = 0; i < count; i++, at += 3) out[i] = packed(pixels[at], pixels[at + 1], pixels[at + 2], 255);
    return rgba;
  }
  for (let i = 0, at = 0; i < count; i++, at += 3) out[i] = pixels[at] | (pixels[at + 1] << 8) | (pixels[at + 2] << 16) | 0xff000000;
  return rgba;
}

// The line art alone: black where the page was black, clear elsewhere.
export function lineArtOf(input, channels, count) {
  const rgba = new Uint8ClampedArray(count * 4);
  const out = words(rgba);
  const ink = packed(0, 0, 0, 255);
  for (let i = 0, at = 0; i < count; i++, at += channels) if (isBlack(input, at)) out[i] = ink;
  return rgba;
}

// Line art the pass could not reach within the depth: still black, or
// painted white when that was asked for. A line beside white paper turns
// white too, so with the white option the marks may include such lines.
export function tooDeepOf(input, output, channels, count, white, colour = [255, 0, 200]) {
  const rgba = new Uint8ClampedArray(count * 4);
  const out = words(rgba);
  const mark = packed(colour[0], colour[1], colour[2], 255);
  let marked = 0;
  for (let i = 0, at = 0; i < count; i++, at += channels) {
    if (!isBlack(input, at)) continue;
    const left = white ? output[at] === 255 && output[at + 1] === 255 && output[at + 2] === 255 : isBlack(output, at);
    if (!left) continue;
    out[i] = mark;
    marked++;
  }
  return { rgba, marked };
}

// Auto Flats' line art over the flats: ink as dark as the pixel is, so
// anti-aliased edges keep their softness and coloured hints do not show.
export function inkOf(input, channels, count) {
  const rgba = new Uint8ClampedArray(count * 4);
  const out = words(rgba);
  for (let i = 0, at = 0; i < count; i++, at += channels) {
    const r = input[at], g = input[at + 1], b = input[at + 2];
    const ink = 255 - (r > g ? (r > b ? r : b) : g > b ? g : b);
    // ink * alpha / 255 never ends in exactly one half, so rounding it is
    // what storing it in a clamped array did.
    out[i] = packed(0, 0, 0, channels === 4 ? Math.round((ink * input[at + 3]) / 255) : ink);
  }
  return rgba;
}

// Auto Flats' line art as it is and as ink, as pictures for the viewer.
export async function lineArtPictures(pixels, channels, width, height) {
  const count = width * height;
  const bitmap = (rgba) => createImageBitmap(new ImageData(rgba, width, height), { premultiplyAlpha: 'none' });
  const before = await bitmap(rgbaOf(pixels, channels, count));
  return { before, ink: await bitmap(inkOf(pixels, channels, count)) };
}

// Regions small enough to be a mistake worth a look: a speck of hatching
// left as its own colour, or a gap that closed a region off too soon.
export function smallRegionLimit(count) {
  return Math.max(16, Math.round(count / 20000));
}

export function smallRegionsOf(labels, regionCount, colour = [255, 0, 200]) {
  const sizes = new Uint32Array(regionCount + 1);
  for (let i = 0; i < labels.length; i++) if (labels[i] <= regionCount) sizes[labels[i]]++;
  const limit = smallRegionLimit(labels.length);
  const rgba = new Uint8ClampedArray(labels.length * 4);
  const out = words(rgba);
  const mark = packed(colour[0], colour[1], colour[2], 255);
  let regions = 0;
  for (const size of sizes) if (size > 0 && size < limit) regions++;
  if (!regions) return { rgba, regions };
  for (let i = 0; i < labels.length; i++) {
    const size = sizes[labels[i]];
    if (size > 0 && size < limit) out[i] = mark;
  }
  return { rgba, regions };
}

// Auto Flats' closed gaps (mark bit 4: two regions meet with no line
// between them) drawn over the small-region marks in a colour of their own.
export const kClosedGap = 4;
export function closedGapsInto(rgba, marks, colour = [0, 190, 255]) {
  let marked = 0;
  for (let i = 0; i < marks.length; i++) {
    if (!(marks[i] & kClosedGap)) continue;
    rgba.set(colour, i * 4);
    rgba[i * 4 + 3] = 255;
    marked++;
  }
  return marked;
}

// One layer at a time, so that only one full-size RGBA copy exists at once
// beside the engine's buffers.
export async function viewLayers(input, output, { width, height, channels }, white) {
  const count = width * height;
  const bitmap = (rgba) => createImageBitmap(new ImageData(rgba, width, height), { premultiplyAlpha: 'none' });
  const before = await bitmap(rgbaOf(input, channels, count));
  const after = await bitmap(rgbaOf(output, channels, count));
  const lineArt = await bitmap(lineArtOf(input, channels, count));
  const marks = tooDeepOf(input, output, channels, count, white);
  const tooDeep = await bitmap(marks.rgba);
  return { layers: { before, after, lineArt, tooDeep }, tooDeepCount: marks.marked };
}

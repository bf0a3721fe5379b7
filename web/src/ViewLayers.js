// The pictures the viewer lays over each other, made from the exact bytes
// the engine read and wrote rather than from the browser's decoding of the
// files, which may apply gamma or colour profiles.
const kBlackLimit = 8;

function isBlack(pixels, at) {
  return pixels[at] <= kBlackLimit && pixels[at + 1] <= kBlackLimit && pixels[at + 2] <= kBlackLimit;
}

export function rgbaOf(pixels, channels, count) {
  const rgba = new Uint8ClampedArray(count * 4);
  for (let i = 0, at = 0, to = 0; i < count; i++, at += channels, to += 4) {
    rgba[to] = pixels[at];
    rgba[to + 1] = pixels[at + 1];
    rgba[to + 2] = pixels[at + 2];
    rgba[to + 3] = channels === 4 ? pixels[at + 3] : 255;
  }
  return rgba;
}

// The line art alone: black where the page was black, clear elsewhere.
export function lineArtOf(input, channels, count) {
  const rgba = new Uint8ClampedArray(count * 4);
  for (let i = 0, at = 0; i < count; i++, at += channels) if (isBlack(input, at)) rgba[i * 4 + 3] = 255;
  return rgba;
}

// Line art the pass could not reach within the depth: still black, or
// painted white when that was asked for. A line beside white paper turns
// white too, so with the white option the marks may include such lines.
export function tooDeepOf(input, output, channels, count, white, colour = [255, 0, 200]) {
  const rgba = new Uint8ClampedArray(count * 4);
  let marked = 0;
  for (let i = 0, at = 0; i < count; i++, at += channels) {
    if (!isBlack(input, at)) continue;
    const left = white ? output[at] === 255 && output[at + 1] === 255 && output[at + 2] === 255 : isBlack(output, at);
    if (!left) continue;
    rgba.set(colour, i * 4);
    rgba[i * 4 + 3] = 255;
    marked++;
  }
  return { rgba, marked };
}

// Auto Flats' line art over the flats: ink as dark as the pixel is, so
// anti-aliased edges keep their softness and coloured hints do not show.
export function inkOf(input, channels, count) {
  const rgba = new Uint8ClampedArray(count * 4);
  for (let i = 0, at = 0; i < count; i++, at += channels)
    rgba[i * 4 + 3] = (255 - Math.max(input[at], input[at + 1], input[at + 2])) * (channels === 4 ? input[at + 3] : 255) / 255;
  return rgba;
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
  let regions = 0;
  for (const size of sizes) if (size > 0 && size < limit) regions++;
  for (let i = 0; i < labels.length; i++) {
    const size = sizes[labels[i]];
    if (size > 0 && size < limit) {
      rgba.set(colour, i * 4);
      rgba[i * 4 + 3] = 255;
    }
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

// Where Auto Flats' line art is: ink at least half strong, as the tool
// takes it by default. Fixes split regions along it.
export function lineMaskOf(input, channels, count) {
  const mask = new Uint8Array(count);
  for (let i = 0, at = 0; i < count; i++, at += channels)
    mask[i] = (255 - Math.max(input[at], input[at + 1], input[at + 2])) * (channels === 4 ? input[at + 3] : 255) >= 128 * 255 ? 1 : 0;
  return mask;
}

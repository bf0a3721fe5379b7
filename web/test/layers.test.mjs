// The viewer's layers built from the engine's bytes: colour copied exactly,
// line art where the page was black, and marks on the line art the depth
// did not reach.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { inkOf, lineArtOf, rgbaOf, smallRegionLimit, smallRegionsOf, tooDeepOf } from '../src/ViewLayers.js';

const rgb = (...pixels) => Uint8Array.from(pixels.flat());

test('colour pixels become RGBA unchanged, opaque unless the page has transparency', () => {
  assert.deepEqual([...rgbaOf(rgb([1, 2, 3], [250, 9, 0]), 3, 2)], [1, 2, 3, 255, 250, 9, 0, 255]);
  assert.deepEqual([...rgbaOf(rgb([1, 2, 3, 4]), 4, 1)], [1, 2, 3, 4]);
});

test('line art is the pixels of 8 or less in every colour byte', () => {
  const art = lineArtOf(rgb([8, 8, 8], [9, 0, 0], [0, 0, 0]), 3, 3);
  assert.deepEqual([art[3], art[7], art[11]], [255, 0, 255]);
});

test('too-deep marks fall on line art left black, or painted white with the white option', () => {
  const input = rgb([0, 0, 0], [0, 0, 0], [200, 0, 0], [0, 0, 0]);
  const black = tooDeepOf(input, rgb([200, 0, 0], [0, 0, 0], [200, 0, 0], [5, 5, 5]), 3, 4, false);
  assert.equal(black.marked, 2);
  assert.deepEqual([black.rgba[3], black.rgba[7], black.rgba[11], black.rgba[15]], [0, 255, 0, 255]);
  const white = tooDeepOf(input, rgb([200, 0, 0], [255, 255, 255], [200, 0, 0], [0, 0, 0]), 3, 4, true);
  assert.equal(white.marked, 1);
  assert.equal(white.rgba[7], 255);
});

// Every grey and alpha pair, for the rules that depend on both.
function allGreysAndAlphas() {
  const pixels = new Uint8Array(256 * 256 * 4);
  for (let grey = 0, i = 0; grey < 256; grey++)
    for (let alpha = 0; alpha < 256; alpha++, i += 4) pixels.set([grey, 255, grey, alpha], i);
  return pixels;
}

test('Auto Flats\' ink is as dark as the darkest colour byte allows, times the opacity, rounded', () => {
  const pixels = allGreysAndAlphas();
  const count = pixels.length / 4;
  const ink = inkOf(pixels, 4, count);
  for (let i = 0; i < count; i++) {
    const ink255 = 255 - Math.max(pixels[4 * i], pixels[4 * i + 1], pixels[4 * i + 2]);
    const exact = (ink255 * pixels[4 * i + 3]) / 255;
    assert.ok(Math.abs(ink[4 * i + 3] - exact) <= 0.5, `pixel ${i}: ${ink[4 * i + 3]} for ${exact}`);
    assert.deepEqual([ink[4 * i], ink[4 * i + 1], ink[4 * i + 2]], [0, 0, 0]);
  }
  const opaque = inkOf(rgb([10, 200, 30], [0, 0, 0], [255, 255, 255]), 3, 3);
  assert.deepEqual([opaque[3], opaque[7], opaque[11]], [55, 255, 0]);
});

test('small regions are marked on every pixel they hold, and counted once each', () => {
  const count = 40000;
  const limit = smallRegionLimit(count);
  const labels = new Uint32Array(count).fill(0);
  // Region 1 just small enough, region 2 just too large, region 3 a single pixel.
  for (let i = 0; i < limit - 1; i++) labels[100 + 3 * i] = 1;
  for (let i = 0; i < limit; i++) labels[20000 + i] = 2;
  labels[count - 1] = 3;
  const { rgba, regions } = smallRegionsOf(labels, 3);
  assert.equal(regions, 2);
  for (let i = 0; i < count; i++) {
    const marked = labels[i] === 1 || labels[i] === 3;
    assert.deepEqual([...rgba.subarray(4 * i, 4 * i + 4)], marked ? [255, 0, 200, 255] : [0, 0, 0, 0], `pixel ${i}`);
  }
  assert.equal(smallRegionsOf(new Uint32Array(count), 0).regions, 0);
});

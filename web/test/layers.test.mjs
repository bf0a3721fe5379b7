// The viewer's layers built from the engine's bytes: colour copied exactly,
// line art where the page was black, and marks on the line art the depth
// did not reach.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { lineArtOf, rgbaOf, tooDeepOf } from '../src/ViewLayers.js';

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

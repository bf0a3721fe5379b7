// Fixing Auto Flats' regions: recolouring, merging, splitting by a stroke,
// each undone and redone, on small maps drawn here.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { RegionFixes, newRegionColour } from '../src/RegionFixes.js';
import { autoSettingsKey, clampGap, clampMinRegion, clampThreshold, loadAutoSettings, saveAutoSettings } from '../src/AutoSettings.js';
import { gimpPaletteText } from '../src/RegionMapPng.js';
import { flatsBytes } from '../src/AutoSaver.js';

const kColours = [[200, 0, 0], [0, 200, 0], [0, 0, 200]];

// Rows of region numbers as text, e.g. '0011'.
function page(rows) {
  const height = rows.length, width = rows[0].length;
  const labels = new Uint32Array(width * height);
  const flats = new Uint8ClampedArray(width * height * 4);
  rows.join('').split('').forEach((c, i) => {
    labels[i] = Number(c);
    flats.set([...kColours[Number(c)], 255], i * 4);
  });
  const colours = new Uint8Array(kColours.flat().flatMap((v, i) => (i % 3 === 2 ? [v, 0] : [v])));
  return new RegionFixes({ labels, colours, regionCount: 3, flats, width, height });
}

const snapshot = (f) => [Array.from(f.labels), Array.from(f.flats)];
const colourAt = (f, x, y) => Array.from(f.flats.subarray((y * f.width + x) * 4, (y * f.width + x) * 4 + 3));

test('recolouring paints only the region, inside its box, and undoes to the same pixels', () => {
  const f = page(['0011', '0011', '2222']);
  const before = snapshot(f);
  const box = f.recolour(1, [9, 9, 9]);
  assert.deepEqual(box, { x0: 2, y0: 0, x1: 3, y1: 1 });
  assert.deepEqual(colourAt(f, 3, 1), [9, 9, 9]);
  assert.deepEqual(colourAt(f, 1, 1), kColours[0]);
  assert.equal(f.recolour(1, [9, 9, 9]), null, 'the same colour again is no fix');
  f.undo();
  assert.deepEqual(snapshot(f), before);
  f.redo();
  assert.deepEqual(colourAt(f, 2, 0), [9, 9, 9]);
});

test('merging gives one region the other\'s number and colour; undo brings both back', () => {
  const f = page(['0011', '0011', '2222']);
  const before = snapshot(f);
  assert.equal(f.merge(1, 1), null);
  const box = f.merge(0, 2);
  assert.deepEqual(box, { x0: 0, y0: 2, x1: 3, y1: 2 }, 'more than the merged region\'s box redrawn');
  assert.equal(f.regionAt(3, 2), 0);
  assert.deepEqual(colourAt(f, 3, 2), kColours[0]);
  assert.deepEqual(f.box(0), { x0: 0, y0: 0, x1: 3, y1: 2 });
  f.undo();
  assert.deepEqual(snapshot(f), before);
  assert.deepEqual(f.box(2), { x0: 0, y0: 2, x1: 3, y1: 2 });
  f.redo();
  assert.equal(f.regionAt(0, 2), 0);
});

test('a stroke across a region splits it where it cuts it in two, and only there', async () => {
  const f = page(['000000', '000000', '000000', '111111']);
  const before = snapshot(f);
  assert.equal((await f.split(0, [{ x: 0, y: 0 }, { x: 1, y: 0 }], 0)).box, null, 'a stroke that cuts nothing off');
  assert.deepEqual(snapshot(f), before, 'a stroke that separates nothing changes nothing');
  const { box, pieces } = await f.split(0, [{ x: 3, y: 0 }, { x: 3, y: 2 }], 0);
  assert.ok(box);
  assert.equal(pieces, 1);
  assert.equal(f.regionCount, 4);
  const left = f.regionAt(0, 1), right = f.regionAt(5, 1);
  assert.notEqual(left, right);
  assert.ok([left, right].includes(0) && [left, right].includes(3));
  assert.ok([0, 3].includes(f.regionAt(3, 1)), 'the stroke went to neither side');
  assert.deepEqual(colourAt(f, 5, 1), right === 3 ? newRegionColour(3) : kColours[0]);
  assert.equal(f.regionAt(2, 3), 1, 'another region changed');
  f.undo();
  assert.deepEqual(snapshot(f), before);
  assert.equal(f.regionCount, 3);
  f.redo();
  assert.equal(f.regionCount, 4);
});

test('a new fix drops what was undone; undo with nothing done does nothing', () => {
  const f = page(['01', '22']);
  assert.equal(f.undo(), null);
  f.recolour(0, [1, 1, 1]);
  f.undo();
  f.recolour(1, [2, 2, 2]);
  assert.equal(f.redo(), null);
  assert.deepEqual(colourAt(f, 0, 0), kColours[0]);
});

test('Auto Flats settings, the palette text and the saved flats', () => {
  assert.deepEqual(['', '0', '1', '4096', '4097', 'x', '3.4'].map(clampGap), [null, null, 1, 4096, null, null, 3]);
  assert.deepEqual(['', '0', '-1', '20'].map(clampMinRegion), [null, 0, null, 20]);
  assert.deepEqual(['', '0', '1', '255', '256', '99.6'].map(clampThreshold), [null, null, 1, 255, null, 100]);
  const base = { gap: null, minRegion: null, spotBlacks: 'regions', keepLines: false };
  assert.notEqual(autoSettingsKey(base), autoSettingsKey({ ...base, threshold: 90 }));
  const stored = new Map();
  const storage = { getItem: (k) => stored.get(k) ?? null, setItem: (k, v) => stored.set(k, v) };
  saveAutoSettings({ ...loadAutoSettings(storage), threshold: 90 }, storage);
  assert.equal(loadAutoSettings(storage).threshold, 90);
  assert.notEqual(autoSettingsKey({ gap: 3, minRegion: null, spotBlacks: 'regions', keepLines: false }),
    autoSettingsKey({ gap: 3, minRegion: null, spotBlacks: 'lines', keepLines: false }));
  assert.equal(gimpPaletteText('p-regions', new Uint8Array([1, 22, 255, 0, 0, 0, 0, 0]), 2),
    'GIMP Palette\nName: p-regions\nColumns: 16\n#\n  1  22 255\tregion 0\n  0   0   0\tregion 1\n');
  assert.deepEqual(Array.from(flatsBytes(new Uint8ClampedArray([1, 2, 3, 255, 4, 5, 6, 255]), 3)), [1, 2, 3, 4, 5, 6]);
});

test('a split follows the line art too: a stroke over the one gap in a line is enough', async () => {
  const f = page(['000000', '000000', '000000']);
  // A line down column 3, open on the middle row; other mark bits are not lines.
  f.marks = Uint8Array.from('040100000000000100'.split('').map(Number));
  assert.equal((await f.split(0, [{ x: 0, y: 1 }], 0)).box, null, 'a stroke off the gap cuts nothing');
  assert.ok((await f.split(0, [{ x: 3, y: 1 }], 0)).box);
  assert.notEqual(f.regionAt(1, 0), f.regionAt(5, 2));
  assert.equal(f.regionAt(1, 0), f.regionAt(2, 2));
});

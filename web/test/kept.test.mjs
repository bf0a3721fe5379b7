// What a kept page is made of, without a browser: fixes played again over
// the result as flatted after a round trip through structured cloning (as
// the browser's database stores them), compressed layers, and the keys
// that move between pages.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { RegionFixes } from '../src/RegionFixes.js';
import { historyOf, packedHistory, replayFixes, unpackedHistory } from '../src/FixHistory.js';
import { pack, unpack } from '../src/PackedBytes.js';
import { pageNear, stepKey } from '../src/PageSteps.js';

const kColours = [[200, 0, 0], [0, 200, 0], [0, 0, 200], [90, 90, 0]];

function page(rows) {
  const height = rows.length, width = rows[0].length;
  const labels = new Uint32Array(width * height);
  const flats = new Uint8ClampedArray(width * height * 4);
  rows.join('').split('').forEach((c, i) => {
    labels[i] = Number(c);
    flats.set([...kColours[Number(c)], 255], i * 4);
  });
  const colours = new Uint8Array(kColours.flatMap((c) => [...c, 0]));
  // A split needs line art to cut along: none here but the stroke.
  return new RegionFixes({ labels, colours, regionCount: 4, flats, width, height, marks: new Uint8Array(width * height) });
}

const kRows = ['000111', '000111', '222333', '222333', '222333'];
const state = (f) => [Array.from(f.labels), Array.from(f.flats), f.regionCount, f.colours.map((c) => c.join())];

test('fixes kept and played again over the result as flatted give the same pixels, and undo and redo still walk them', async () => {
  const live = page(kRows);
  live.recolour(1, [7, 8, 9]);
  live.merge(0, 1);
  await live.split(2, [{ x: 0, y: 3 }, { x: 2, y: 3 }], 0.5);
  live.recolour(3, [1, 2, 3]);
  live.undo();
  assert.equal(live.done.length, 3);
  assert.ok(live.regionCount > 4, 'the split made no region');
  const kept = structuredClone(historyOf(live, 5));
  assert.equal(kept.stamp, 5);

  const again = page(kRows);
  replayFixes(again, kept);
  assert.deepEqual(state(again), state(live));
  // Undo every fix: back to the page as flatted.
  while (again.done.length) again.undo();
  assert.deepEqual(state(again), state(page(kRows)));
  // Redo them all, the undone recolour too.
  while (again.undone.length) again.redo();
  live.redo();
  assert.deepEqual(state(again), state(live));
});

test('a history kept as Blobs plays again the same, and writing it again copies no fix twice', async () => {
  const live = page(kRows);
  live.merge(0, 1);
  await live.split(2, [{ x: 0, y: 3 }, { x: 2, y: 3 }], 0.5);
  const first = packedHistory(historyOf(live, 2));
  live.recolour(3, [1, 2, 3]);
  const second = packedHistory(historyOf(live, 3));
  // The database copies Blobs by reference: the arrays of fixes already
  // kept are the same Blobs, not new copies of their pixels.
  assert.ok(second.done[1].pixels.blob instanceof Blob);
  assert.equal(second.done[1].pixels.blob, first.done[1].pixels.blob);
  assert.equal(second.done[0].pixels.blob, first.done[0].pixels.blob);

  const again = page(kRows);
  replayFixes(again, await unpackedHistory(structuredClone(second)));
  assert.deepEqual(state(again), state(live));
  while (again.done.length) again.undo();
  assert.deepEqual(state(again), state(page(kRows)));

  // A history kept before, arrays and all, still plays.
  const old = page(kRows);
  replayFixes(old, await unpackedHistory(structuredClone(historyOf(live, 3))));
  assert.deepEqual(state(old), state(live));
});

test('no history, or an empty one, leaves the result as flatted', () => {
  for (const history of [null, { done: [], undone: [], stamp: 0 }]) {
    const f = page(kRows);
    replayFixes(f, history);
    assert.deepEqual(state(f), state(page(kRows)));
    assert.deepEqual([f.done.length, f.undone.length], [0, 0]);
  }
});

test('a packed layer unpacks to its values, runs or noise; a wrong length is refused, not shown', async () => {
  const labels = new Uint32Array(200_000).map((_, i) => Math.floor(i / 777) * 65_537);
  const blob = await pack(labels);
  assert.ok(blob.size < labels.byteLength / 100, `packed to ${blob.size} bytes`);
  assert.deepEqual(await unpack(blob, Uint32Array, labels.length), labels);
  let seed = 7;
  const noise = new Uint8Array(5000).map(() => { seed = (seed * 1103515245 + 12345) >>> 0; return seed >>> 29; });
  assert.deepEqual(await unpack(await pack(noise), Uint8Array, noise.length), noise);
  assert.deepEqual(await unpack(await pack(new Uint8Array(0)), Uint8Array, 0), new Uint8Array(0));
  await assert.rejects(unpack(blob, Uint32Array, labels.length - 1), /larger/);
  await assert.rejects(unpack(blob, Uint32Array, labels.length + 1), /smaller/);
  await assert.rejects(unpack(blob, Uint8Array, labels.length), /damaged/);
  await assert.rejects(unpack(new Blob([new Uint8Array([1, 2, 3])]), Uint8Array, 10));
});

test('PageDown, PageUp, ] and [ step between pages, stop at the ends, and are left alone in fields', () => {
  const key = (k, extra = {}) => stepKey({ key: k, target: { tagName: 'CANVAS' }, ...extra });
  assert.deepEqual(['PageDown', ']', 'PageUp', '[', 'a', 'ArrowDown'].map((k) => key(k)), [1, 1, -1, -1, 0, 0]);
  for (const tagName of ['INPUT', 'TEXTAREA', 'SELECT']) assert.equal(key('PageDown', { target: { tagName } }), 0, tagName);
  assert.equal(key(']', { target: { tagName: 'DIV', isContentEditable: true } }), 0);
  assert.equal(key('PageDown', { ctrlKey: true }), 0, 'Ctrl+PageDown is the browser\'s');
  const pages = ['a', 'b', 'c'];
  assert.deepEqual([pageNear(pages, 'a', 1), pageNear(pages, 'c', 1), pageNear(pages, 'a', -1), pageNear(pages, 'b', -1)], ['b', null, null, 'a']);
  assert.deepEqual([pageNear(pages, null, 1), pageNear(pages, null, -1), pageNear([], null, 1)], ['a', 'c', null]);
});

// The viewer's arithmetic: fitting, zoom steps, zooming about a point,
// keeping the page on the canvas, and the part of the page a frame draws.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { clampView, fitScale, fitView, kMaxScale, minScale, nextScale, toImage, visiblePart, zoomAt } from '../src/ViewMath.js';

test('fit shrinks a large page to the view and enlarges a small one by whole steps only', () => {
  assert.equal(fitScale(7000, 5000, 1400, 800), 0.16);
  assert.equal(fitScale(100, 50, 1000, 800), 8);  // capped at the most zoom
  assert.equal(fitScale(300, 300, 1000, 800), 2);  // 2.67 would not be pixel-exact
  assert.equal(minScale(100, 50, 1000, 800), 1);
  const view = fitView(7000, 5000, 1400, 800);
  assert.deepEqual([view.x, view.y], [(1400 - 7000 * 0.16) / 2, 0]);
});

test('zoom steps run from the fit to 800%, whole from 100% up', () => {
  const lowest = 0.16;
  const up = [lowest];
  while (up.at(-1) < kMaxScale) up.push(nextScale(up.at(-1), 1, lowest));
  assert.equal(up[0], 0.16);
  assert.ok(up.every((s, i) => i === 0 || s > up[i - 1]));
  assert.ok(up.filter((s) => s >= 1).every(Number.isInteger), up.join());
  assert.equal(nextScale(kMaxScale, 1, lowest), kMaxScale);
  assert.equal(nextScale(0.3, -1, lowest), 0.25);
  assert.equal(nextScale(0.2, -1, lowest), 1 / 6);
  assert.equal(nextScale(0.165, -1, lowest), lowest);
  assert.equal(nextScale(lowest, -1, lowest), lowest);
  assert.equal(nextScale(1.4, 1, lowest), 2);
});

test('zooming keeps the pixel under the pointer under it', () => {
  const view = { scale: 0.5, x: 30, y: -40 };
  const before = toImage(view, 210, 170);
  const zoomed = zoomAt(view, 4, 210, 170);
  const after = toImage(zoomed, 210, 170);
  assert.ok(Math.abs(before.x - after.x) < 1e-9 && Math.abs(before.y - after.y) < 1e-9, JSON.stringify({ before, after }));
});

test('the page cannot be panned away, is centred when smaller, and sits on whole pixels from 100% up', () => {
  assert.deepEqual(clampView({ scale: 2, x: 500, y: -99999 }, 1000, 800, 600, 400), { scale: 2, x: 0, y: 400 - 1600 });
  assert.deepEqual(clampView({ scale: 1, x: -10.6, y: -3.2 }, 1000, 800, 600, 400), { scale: 1, x: -11, y: -3 });
  assert.deepEqual(clampView({ scale: 0.25, x: -300, y: 70 }, 1000, 800, 600, 400), { scale: 0.25, x: 175, y: 100 });
  const small = clampView({ scale: 0.5, x: -33.3, y: 0 }, 2000, 100, 600, 400);
  assert.equal(small.x, -33.3);  // below 100% smooth positions are kept
});

test('a frame draws only the visible part, whole pixels at their places', () => {
  const part = visiblePart({ scale: 4, x: -1003, y: -8 }, 7000, 5000, 800, 600);
  assert.deepEqual([part.sx, part.sy], [250, 2]);
  assert.equal(part.dx, -1003 + 250 * 4);
  assert.ok(part.dx <= 0 && part.dx + part.dw >= 800 && part.dy + part.dh >= 600);
  assert.ok(part.sw <= 800 / 4 + 2 && part.sh <= 600 / 4 + 2, `${part.sw}x${part.sh}`);
  const edge = visiblePart({ scale: 2, x: -13990, y: 0 }, 7000, 5000, 800, 600);
  assert.equal(edge.sx + edge.sw, 7000);
  assert.equal(visiblePart({ scale: 1, x: 900, y: 0 }, 100, 100, 800, 600), null);
});

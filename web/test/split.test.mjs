// Splitting by a stroke, merging every region inside one, and the colour
// strip, on maps drawn here: the pieces a stroke cuts off against a plain
// search of the whole region, folded specks kept folded, ends snapped to
// the ink, and what the status line says.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { RegionFixes } from '../src/RegionFixes.js';
import { cutPieces } from '../src/SplitPieces.js';
import { snapStroke } from '../src/StrokeSnap.js';
import { regionsInside } from '../src/EnclosedRegions.js';
import { regionsInLoop } from '../src/LassoRegions.js';
import { pageColours } from '../src/Swatches.js';
import { splitText } from '../src/FixTools.js';

// Rows of text: a digit is a region, '#' a line pixel melted into region 0.
function drawn(rows, { smallest = 1 } = {}) {
  const height = rows.length, width = rows[0].length;
  const labels = new Uint32Array(width * height);
  const marks = new Uint8Array(width * height);
  const flats = new Uint8ClampedArray(width * height * 4);
  rows.join('').split('').forEach((c, i) => {
    labels[i] = c === '#' ? 0 : Number(c);
    marks[i] = c === '#' ? 1 : 0;
    flats.set([labels[i] * 40, 100, 100, 255], i * 4);
  });
  const count = Math.max(...labels) + 1;
  const colours = new Uint8Array(count * 4).map((_, i) => (i % 4 === 0 ? (i / 4) * 40 : 100));
  return new RegionFixes({ labels, colours, regionCount: count, flats, width, height, marks, smallest });
}

// The region's parts once the lines and the cut are taken out, found plainly.
function plainParts({ labels, marks, width, height }, region, cut) {
  const seen = new Uint8Array(width * height);
  const parts = [];
  for (let s = 0; s < labels.length; s++) {
    if (seen[s] || labels[s] !== region || marks[s] & 1 || cut.has(s)) continue;
    const part = [s];
    seen[s] = 1;
    for (let h = 0; h < part.length; h++) {
      const i = part[h], x = i % width;
      for (const n of [x > 0 ? i - 1 : -1, x < width - 1 ? i + 1 : -1, i - width, i + width]) {
        if (n < 0 || n >= labels.length || seen[n] || labels[n] !== region || marks[n] & 1 || cut.has(n)) continue;
        seen[n] = 1;
        part.push(n);
      }
    }
    parts.push(part);
  }
  return parts;
}

function randomPage(seed, width, height) {
  let state = seed;
  const random = () => ((state = (state * 1103515245 + 12345) % 2147483648) / 2147483648);
  const rows = Array.from({ length: height }, () => Array(width).fill('0'));
  for (let n = 0; n < 6; n++) {
    // Lines across the page with gaps, some closed boxes.
    const vertical = random() < 0.5, at = 2 + Math.floor(random() * ((vertical ? width : height) - 4));
    const gapAt = Math.floor(random() * (vertical ? height : width)), gap = 2 + Math.floor(random() * 4);
    for (let t = 0; t < (vertical ? height : width); t++) {
      if (t >= gapAt && t < gapAt + gap) continue;
      if (vertical) rows[t][at] = '#';
      else rows[at][t] = '#';
    }
  }
  return { rows: rows.map((r) => r.join('')), random };
}

test('the pieces a stroke cuts off are the region\'s parts beside the stroke, the largest left whole', () => {
  for (let seed = 1; seed <= 40; seed++) {
    const { rows, random } = randomPage(seed, 40, 30);
    const f = drawn(rows);
    const before = Array.from(f.labels);
    const points = [{ x: random() * 40, y: random() * 30 }, { x: random() * 40, y: random() * 30 }];
    const cut = f.strokePixels(0, points, 1);
    const { pieces } = cutPieces(f, 0, cut);
    assert.deepEqual(Array.from(f.labels), before, `seed ${seed}: the labels were not given back`);
    const beside = plainParts(f, 0, cut).filter((part) => part.some((i) => [i - 1, i + 1, i - 40, i + 40].some((n) => cut.has(n) && Math.abs((n % 40) - (i % 40)) <= 1)));
    const key = (part) => [...part].sort((a, b) => a - b).join();
    const found = new Set(pieces.map(key));
    assert.equal(found.size, pieces.length);
    const rest = beside.filter((part) => !found.has(key(part)));
    if (beside.length) assert.equal(rest.length, 1, `seed ${seed}: ${beside.length} parts beside the stroke, ${pieces.length} pieces`);
    for (const piece of pieces) {
      assert.ok(beside.some((part) => key(part) === key(piece)), `seed ${seed}: a piece is not a part of the region`);
      assert.ok(rest[0].length >= piece.length, `seed ${seed}: a piece of ${piece.length} cut off a rest of ${rest[0].length}`);
    }
  }
});

test('specks the smallest region folded stay folded, and go with the piece around them', async () => {
  const f = drawn([
    '000000#000000',
    '0###00#00###0',
    '0#0#00000#0#0',
    '0###00#00###0',
    '000000#000000',
  ], { smallest: 4 });
  // A stroke across the gap in the middle line.
  const outcome = await f.split(0, [{ x: 6, y: 1 }, { x: 6, y: 3 }], 0);
  assert.equal(outcome.pieces, 1);
  assert.equal(f.regionCount, 2, 'a speck came back as a region');
  const left = f.regionAt(0, 0), right = f.regionAt(12, 0);
  assert.notEqual(left, right);
  assert.equal(f.regionAt(2, 2), left, 'the left speck left its side');
  assert.equal(f.regionAt(10, 2), right, 'the right speck left its side');
  f.undo();
  assert.equal(f.regionCount, 1);
  assert.ok([0, 12].every((x) => f.regionAt(x, 2) === 0));
});

test('hatching inside a piece goes with it, cell by cell through its net of lines', async () => {
  const f = drawn([
    '0000000#00000000000',
    '0000000#00#######00',
    '0000000#00#00#00#00',
    '0000000000#######00',
    '0000000#00#00#00#00',
    '0000000#00#######00',
    '0000000#00000000000',
  ], { smallest: 4 });
  const { pieces } = await f.split(0, [{ x: 7, y: 3 }], 0);
  assert.equal(pieces, 1);
  assert.equal(f.regionCount, 2);
  const right = f.regionAt(18, 0);
  assert.notEqual(right, f.regionAt(0, 0));
  for (const [x, y] of [[12, 2], [15, 2], [11, 4], [14, 4]]) assert.equal(f.regionAt(x, y), right, `the cell at ${x}, ${y}`);
});

test('a stroke that only cuts a sliver off, or misses the gap, separates nothing and says so', async () => {
  const rows = ['00000#00000', '00000#00000', '00000000000', '00000000000', '00000000000',
    '00000000000', '00000000000', '00000#00000', '00000#00000'];
  const f = drawn(rows, { smallest: 6 });
  const corner = await f.split(0, [{ x: 2, y: 0 }, { x: 2, y: 1 }, { x: 0, y: 1 }], 0);
  assert.deepEqual([corner.box, corner.pieces, corner.slivers], [null, 0, 1]);
  assert.match(splitText(0, corner, [0, 0]), /^The stroke separates nothing \(it cuts off only a sliver smaller than the smallest region\): region 0 is unchanged\./);
  // From the upper line down, stopping short of the lower one: its end
  // is four pixels above the ink, out of reach of a snap of three, and the
  // upper line behind it does not count.
  const short = snapStroke([{ x: 5, y: 1 }, { x: 5, y: 3 }], f, 3);
  assert.deepEqual(short.moved, [0, null]);
  const missed = await f.split(0, short.points, 0);
  assert.equal(missed.box, null);
  assert.equal(f.regionCount, 1);
  const text = splitText(0, missed, short.moved);
  assert.match(text, /separates nothing/);
  assert.match(text, /more than 6 px from the ink/);
  assert.doesNotMatch(text, /split/);
  // Within reach, the end is carried on to the ink and the stroke separates.
  const snapped = snapStroke([{ x: 5, y: 1 }, { x: 5, y: 5 }], f, 3);
  assert.deepEqual(snapped.moved, [0, 2]);
  const cut = await f.split(0, snapped.points, 0);
  assert.equal(cut.pieces, 1);
  assert.notEqual(f.regionAt(0, 4), f.regionAt(10, 4));
  assert.match(splitText(0, cut, snapped.moved), /^Region 0 split: 1 new region\. The stroke's end snapped to the ink \(2 px\)\.$/);
});

test('merging inside a region takes every region wholly inside it, nested ones too, and nothing touching outside', () => {
  const f = drawn([
    '5555555555',
    '5000000005',
    '5011022205',
    '5011023205',
    '5000022205',
    '5000000045',
    '5555555555',
  ]);
  assert.deepEqual(regionsInside(f, 0).sort(), [1, 2, 3]);
  assert.deepEqual(regionsInside(f, 2), [3]);
  assert.deepEqual(regionsInside(f, 1), []);
  const before = Array.from(f.labels);
  const box = f.mergeAll(0, regionsInside(f, 0));
  assert.deepEqual(box, { x0: 2, y0: 2, x1: 7, y1: 4 });
  assert.deepEqual([1, 2, 3].map((r) => f.box(r)), [null, null, null]);
  assert.equal(f.regionAt(7, 3), 0);
  assert.equal(f.regionAt(8, 5), 4);
  assert.deepEqual(Array.from(f.flats.subarray((3 * 10 + 7) * 4, (3 * 10 + 7) * 4 + 3)), [0, 100, 100], 'the merged region took the outer\'s colour');
  f.undo();
  assert.deepEqual(Array.from(f.labels), before);
  assert.deepEqual(f.box(3), { x0: 6, y0: 3, x1: 6, y1: 3 });
});

test('a loop takes the regions it encloses wholly, not those it cuts or misses', () => {
  const f = drawn([
    '0000000000',
    '0111022200',
    '0111022200',
    '0000000030',
    '0000000000',
  ]);
  const loop = (x1) => [{ x: 0.5, y: 0.5 }, { x: x1, y: 0.5 }, { x: x1, y: 2.9 }, { x: 0.5, y: 2.9 }];
  assert.deepEqual(regionsInLoop(f, loop(7.9), 0), [1, 2]);
  assert.deepEqual(regionsInLoop(f, loop(6.2), 0), [1], 'a region the loop cuts was taken');
  assert.deepEqual(regionsInLoop(f, loop(7.9).reverse(), 0), [1, 2], 'the way round matters');
  assert.deepEqual(regionsInLoop(f, loop(7.9).slice(0, 2), 0), []);
  f.mergeAll(0, regionsInLoop(f, loop(7.9), 0));
  assert.equal(f.regionAt(6, 2), 0);
  assert.equal(f.regionAt(8, 3), 3);
});

test('the page\'s colours come largest first, one swatch a colour', () => {
  const colours = [[1, 2, 3], [9, 9, 9], [1, 2, 3], [200, 0, 0]];
  assert.deepEqual(pageColours(colours, [5, 8, 4, 0]), ['#010203', '#090909']);
  assert.deepEqual(pageColours(colours, [5, 8, 4, 1], 1), ['#010203']);
});

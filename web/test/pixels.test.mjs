// The page's own PNG decoding, without a browser: every row filter, in
// whole images and Adam7 passes, rows split across inflated blocks, and
// image data that is damaged or goes on past the image.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { encode } from 'fast-png';
import { ImageRefused, readPngChunks } from '../src/PngChunks.js';
import { DecodeCancelled, readPixels } from '../src/PngPixels.js';
import { blackBombPng, drawPage, filteredPng } from './TestPages.mjs';

async function pixelsOf(bytes) {
  return readPixels(bytes, readPngChunks(bytes));
}

async function refusal(bytes) {
  try {
    await pixelsOf(bytes);
  } catch (error) {
    assert.ok(error instanceof ImageRefused, String(error));
    return error.message;
  }
  return null;
}

function same(actual, page, label) {
  assert.equal(actual.length, page.data.length, label);
  const first = actual.findIndex((b, i) => b !== page.data[i]);
  assert.equal(first, -1, `${label}: first differing byte at pixel ${Math.floor(first / page.channels)}`);
}

test('every filter type, RGB and RGBA, whole and interlaced, one pixel to rows longer than an inflated block', async () => {
  const sizes = [[1, 1], [2, 3], [5, 9], [37, 11], [77, 61], [6000, 7]];
  const orders = { cycling: (row, pass) => (row + pass) % 5, paeth: () => 4, scattered: (row, pass) => (row * 7 + pass * 3 + row * row) % 5 };
  for (const channels of [3, 4]) {
    for (const [width, height] of sizes) {
      const page = drawPage(width, height, { channels, seed: width + height });
      for (const interlaced of [false, true]) {
        for (const [name, filter] of Object.entries(orders)) {
          const label = `${width}x${height}x${channels}${interlaced ? ' Adam7' : ''}, filters ${name}`;
          same(await pixelsOf(filteredPng(page, { filter, interlaced })), page, label);
        }
      }
      // As another encoder writes them: no filter, one IDAT.
      const plain = encode({ ...page, depth: 8 });
      same(await pixelsOf(plain), page, `${width}x${height}x${channels} from fast-png`);
      same(await pixelsOf(encode({ ...page, depth: 8, interlace: 'Adam7' })), page, `${width}x${height}x${channels} Adam7 from fast-png`);
    }
  }
});

test('the image data may come in many IDAT chunks, of any size, empty ones too', async () => {
  const page = drawPage(300, 40, { seed: 3 });
  const pieces = (stream) => [stream.subarray(0, 1), stream.subarray(1, 1), stream.subarray(1, 7), stream.subarray(7, 500), stream.subarray(500)];
  same(await pixelsOf(filteredPng(page, { split: pieces })), page, 'five IDATs');
});

test('damaged image data is refused: a bad filter type, a bad or unfinished zlib stream, too few rows', async () => {
  const page = drawPage(40, 30, { seed: 4 });
  const rowBytes = 40 * 3 + 1;
  const badFilter = (rows) => { rows[rowBytes * 12] = 5; return rows; };
  assert.match(await refusal(filteredPng(page, { alterRows: badFilter })), /^truncated or damaged PNG file \(unknown filter type 5 on row 13\)$/);
  const garbled = (stream) => { stream[0] ^= 0xff; return stream; };
  assert.match(await refusal(filteredPng(page, { alterStream: garbled })), /^truncated or damaged PNG file \(the image data cannot be inflated: .+\)$/);
  const badCheck = (stream) => { stream[stream.length - 1] ^= 1; return stream; };
  assert.match(await refusal(filteredPng(page, { alterStream: badCheck })), /the image data cannot be inflated/);
  // Every row there, but the stream never ends: libpng refuses it too.
  const unended = (stream) => stream.subarray(0, stream.length - 6);
  assert.match(await refusal(filteredPng(page, { alterStream: unended })), /^truncated or damaged PNG file \(/);
  const fewerRows = (rows) => rows.subarray(0, rows.length - rowBytes - 2);
  assert.match(await refusal(filteredPng(page, { alterRows: fewerRows })), /^truncated or damaged PNG file \(the image data ends before the last row\)$/);
  // libpng reads only the first run of IDAT chunks; data after another chunk is not the image's.
  const interrupted = (stream) => [stream.subarray(0, 100), ['tEXt', Buffer.from('a\0b')], stream.subarray(100)];
  assert.match(await refusal(filteredPng(page, { split: interrupted })), /^truncated or damaged PNG file \(the image data /);
});

test('data past the image is passed over, as libpng does: more rows, bytes after the stream, a later IDAT', async () => {
  const page = drawPage(40, 30, { channels: 4, seed: 5 });
  const moreRows = (rows) => Buffer.concat([rows, rows.subarray(0, 500)]);
  same(await pixelsOf(filteredPng(page, { alterRows: moreRows })), page, 'more rows');
  const junk = (stream) => Buffer.concat([stream, Buffer.from([1, 2, 3, 4])]);
  same(await pixelsOf(filteredPng(page, { alterStream: junk })), page, 'bytes after the stream');
  const later = (stream) => [stream, ['tEXt', Buffer.from('a\0b')], Buffer.from([9, 9, 9])];
  same(await pixelsOf(filteredPng(page, { split: later })), page, 'an IDAT after another chunk');
});

// A large page takes seconds to inflate: a cancel is heeded within it, not
// after it, and a page not cancelled is asked without being slowed.
test('a decode in progress stops when cancelled', async () => {
  const bytes = new Uint8Array(blackBombPng(6000));
  const facts = readPngChunks(bytes);
  let asked = 0;
  const started = performance.now();
  await assert.rejects(readPixels(bytes, facts, () => ++asked >= 2), DecodeCancelled);
  const cancelledAfter = performance.now() - started;
  assert.equal(asked, 2);
  const whole = performance.now();
  const pixels = await readPixels(bytes, facts, () => false);
  const decodeTook = performance.now() - whole;
  assert.equal(pixels.length, 6000 * 6000 * 3);
  assert.ok(pixels.every((v) => v === 0));
  assert.ok(cancelledAfter < decodeTook / 2, `cancelled after ${cancelledAfter} ms of a ${decodeTook} ms decode`);
});

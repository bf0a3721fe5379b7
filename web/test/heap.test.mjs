// Pages the engine's heap cannot hold are refused from their header.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { checkHeader, ImageRefused, readPngChunks } from '../src/PngChunks.js';
import { checkHeapFits, heapFloor, kEngineHeapBytes } from '../src/EngineHeap.js';
import { blackBombPng } from './TestPages.mjs';

const refusal = (job, page) => {
  try {
    checkHeapFits(job, page);
  } catch (error) {
    assert.ok(error instanceof ImageRefused, String(error));
    return error.message;
  }
  return null;
};

test('the limit is the heap the module is built with', () => {
  const cmake = readFileSync(new URL('../CMakeLists.txt', import.meta.url), 'utf8');
  const [, built] = cmake.match(/-sMAXIMUM_MEMORY=(\d+)/);
  assert.equal(kEngineHeapBytes, Number(built));
});

test('a small file declaring a huge image is refused from its header, before a pixel is inflated', () => {
  const bomb = blackBombPng(30000);
  assert.ok(bomb.length < 3e6, `${bomb.length} bytes`);
  const facts = readPngChunks(bomb);  // a sound file as far as its chunks go
  checkHeader(facts);
  assert.match(refusal('flat', { ...facts, channels: 3 }),
    /^not enough memory for this page: flatting its 2575 MB of pixels takes at least 5150 MB, and the page's engine has at most 2048 MB$/);
});

test('each job is held to what it takes of the heap, the largest page that fits is taken', () => {
  // Flatting holds the page and its result: RGBA of 16384 x 16384 is exactly the heap.
  assert.equal(refusal('flat', { width: 16384, height: 16384, channels: 4 }), null);
  assert.match(refusal('flat', { width: 16384, height: 16385, channels: 4 }), /^not enough memory for this page: flatting/);
  // Auto Flats holds labels, marks and colours besides: a page that flatting takes may be too much for it.
  const page = { width: 15000, height: 15000, channels: 3 };
  assert.equal(refusal('flat', page), null);
  assert.match(refusal('autoflat', page), /^not enough memory for this page: auto flats of its 644 MB of pixels takes at least \d+ MB/);
  // A hints page is one more copy of the page in the heap.
  const rgb = { width: 12000, height: 12000, channels: 3 };
  assert.equal(refusal('autoflat', rgb), null);
  assert.match(refusal('autoflat', { ...rgb, hintChannels: 4 }), /^not enough memory for this page: auto flats of/);
  // Flatting takes the least of any job, so a page refused for it fits none.
  for (const channels of [3, 4])
    for (const count of [1, 1000, 5e6, 4e8])
      assert.ok(heapFloor('flat', { width: count, height: 1, channels }) < heapFloor('autoflat', { width: count, height: 1, channels }));
});

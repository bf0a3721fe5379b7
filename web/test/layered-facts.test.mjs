// What the page's layered files keep of a PNG besides its pixels, read as
// the command reads it.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { deflateSync } from 'node:zlib';
import { iccProfileOf, resolutionOf } from '../src/LayeredPageFacts.js';

const pHYs = (x, y, unit) => {
  const data = new Uint8Array(9);
  const view = new DataView(data.buffer);
  view.setUint32(0, x);
  view.setUint32(4, y);
  data[8] = unit;
  return { type: 'pHYs', data };
};

test('dots per metre become dots per inch, whole where PNG only rounded them', () => {
  assert.deepEqual(resolutionOf([pHYs(11811, 23622, 1)]), { xDpi: 300, yDpi: 600, centimetres: true });
  const odd = resolutionOf([pHYs(2000, 2000, 1)]);
  assert.ok(Math.abs(odd.xDpi - 50.8) < 1e-9, `${odd.xDpi}`);
  // Only the aspect known, or nothing at all: no resolution.
  for (const kept of [[pHYs(11811, 11811, 0)], [pHYs(0, 11811, 1)], []])
    assert.deepEqual(resolutionOf(kept), { xDpi: 0, yDpi: 0, centimetres: false });
});

test('the profile comes out of iCCP whole, and a damaged chunk gives none', async () => {
  const profile = new Uint8Array(600).map((_, i) => (i * 7) % 256);
  const chunk = (name, body) => ({ type: 'iCCP', data: new Uint8Array([...Buffer.from(name), 0, 0, ...body]) });
  assert.deepEqual(await iccProfileOf([chunk('Studio RGB', deflateSync(profile))]), profile);
  assert.equal(await iccProfileOf([]), null);
  assert.equal(await iccProfileOf([{ type: 'iCCP', data: new Uint8Array([0, 0, 1]) }]), null);
});

// The page's PNG reading and writing, without a browser: what it writes
// decodes to the same pixels with another decoder, and what it refuses.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { decode, encode } from 'fast-png';
import { checkHeader, crc32, ImageRefused, readPngChunks } from '../src/PngChunks.js';
import { writePng } from '../src/PngWrite.js';
import { drawPage } from './TestPages.mjs';

async function bytesOf(blob) {
  return new Uint8Array(await blob.arrayBuffer());
}

test('written PNGs have valid chunks and decode to the pixels given, RGB and RGBA, one or many IDATs', async () => {
  for (const [width, height, channels] of [[1, 1, 3], [37, 11, 4], [2100, 700, 3]]) {
    const page = drawPage(width, height, { channels, seed: width });
    const kept = [{ type: 'pHYs', data: new Uint8Array([0, 0, 0x2e, 0x23, 0, 0, 0x2e, 0x23, 1]) }];
    const bytes = await bytesOf(await writePng(page.data, width, height, channels, kept));
    const facts = readPngChunks(bytes);  // throws on any CRC or structure fault
    assert.deepEqual([facts.width, facts.height, facts.depth, facts.colourType], [width, height, 8, channels === 4 ? 6 : 2]);
    assert.deepEqual(facts.kept.map((c) => c.type), ['pHYs']);
    const png = decode(bytes);
    assert.equal(png.channels, channels);
    assert.ok(Buffer.from(png.data).equals(Buffer.from(page.data)), `${width}x${height}x${channels}`);
  }
});

test('refusals: not a PNG, damaged structure, colour models and sample sizes the engine does not take', () => {
  const good = encode({ width: 2, height: 2, channels: 3, depth: 8, data: new Uint8Array(12) });
  const refused = (bytes) => {
    try {
      checkHeader(readPngChunks(bytes));
    } catch (error) {
      assert.ok(error instanceof ImageRefused, String(error));
      return error.message;
    }
    return null;
  };
  assert.equal(refused(good), null);
  assert.match(refused(new Uint8Array([0xff, 0xd8, 0xff, 0xdb])), /^a JPEG file, not a PNG/);
  assert.match(refused(new Uint8Array([0x49, 0x49, 0x2a, 0])), /^a TIFF file, not a PNG/);
  assert.match(refused(new Uint8Array(3)), /^not a PNG file/);
  assert.match(refused(good.subarray(0, good.length - 5)), /damaged PNG file \(the file ends before its IEND chunk\)/);
  const badHeader = good.slice();
  badHeader[20] ^= 1;
  assert.match(refused(badHeader), /CRC error in the IHDR chunk/);
  const huge = good.slice();
  new DataView(huge.buffer).setUint32(16, 30000);  // 30000 x 2 pixels from a 70-byte file
  new DataView(huge.buffer).setUint32(29, crc32(huge, 12, 29));
  assert.match(refused(huge), /damaged PNG file \(\d+ bytes cannot hold the pixels it declares\)/);
  const withChunk = (type, data, afterPixels) => {
    const chunk = Buffer.alloc(12 + data.length);
    chunk.writeUInt32BE(data.length);
    chunk.write(type, 4, 'latin1');
    Buffer.from(data).copy(chunk, 8);
    chunk.writeUInt32BE(crc32(chunk, 4, 8 + data.length), 8 + data.length);
    const split = afterPixels ? good.length - 12 : 33;
    return new Uint8Array(Buffer.concat([good.subarray(0, split), chunk, good.subarray(split)]));
  };
  assert.match(refused(withChunk('acTL', [0, 0, 0, 3, 0, 0, 0, 0])), /^an animated PNG \(3 frames\); only still PNG/);
  assert.match(refused(withChunk('fdAT', [0, 0, 0, 1, 1, 2], true)), /^an animated PNG \(APNG\)/);
  assert.equal(refused(withChunk('acTL', [0, 0, 0, 1, 0, 0, 0, 0])), null);  // one frame: the still image itself
  const noData = new Uint8Array([...good.subarray(0, 33), ...good.subarray(good.length - 12)]);
  assert.match(refused(noData), /no image data/);
  const models = [
    [{ channels: 1, depth: 8 }, /grayscale/], [{ channels: 2, depth: 8 }, /grayscale/],
    [{ channels: 3, depth: 16 }, /16-bit samples/], [{ channels: 4, depth: 16 }, /16-bit samples/],
  ];
  for (const [format, message] of models) {
    const data = format.depth === 16 ? new Uint16Array(4 * format.channels) : new Uint8Array(4 * format.channels);
    assert.match(refused(encode({ width: 2, height: 2, ...format, data })), message);
  }
  const palette = encode({ width: 1, height: 1, channels: 1, depth: 8, data: new Uint8Array(1), palette: [[1, 2, 3]] });
  assert.match(refused(palette), /palette/);
});

test('kept chunks follow the native tool: the profile rather than sRGB, the first of each, a colour key only on RGB', () => {
  const base = encode({ width: 1, height: 1, channels: 3, depth: 8, data: new Uint8Array(3) });
  const chunk = (type, data) => {
    const out = Buffer.alloc(12 + data.length);
    out.writeUInt32BE(data.length);
    out.write(type, 4, 'latin1');
    Buffer.from(data).copy(out, 8);
    return out;
  };
  const withCrc = (buffer) => {
    // Fix every CRC after editing.
    for (let at = 8; at < buffer.length;) {
      const length = buffer.readUInt32BE(at);
      let c = 0xffffffff;
      for (let i = at + 4; i < at + 8 + length; i++) {
        c ^= buffer[i];
        for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
      }
      buffer.writeUInt32BE((c ^ 0xffffffff) >>> 0, at + 8 + length);
      at += 12 + length;
    }
    return new Uint8Array(buffer);
  };
  const file = withCrc(Buffer.concat([base.subarray(0, 33), chunk('sRGB', [0]), chunk('iCCP', [...Buffer.from('p\0\0'), 1, 2]),
    chunk('gAMA', [0, 0, 0xb1, 0x8f]), chunk('gAMA', [0, 0, 0, 1]), chunk('tRNS', [0, 1, 0, 2]), chunk('tEXt', [65, 0, 66]),
    base.subarray(33)]));
  const kept = readPngChunks(file).kept.map((c) => `${c.type}:${Buffer.from(c.data).toString('hex')}`);
  assert.deepEqual(kept, ['iCCP:70000001', 'gAMA:0000b18f'].map((k) => k.replace('70000001', '7000000102')));
});

// The page's PNG reading and writing, without a browser: what it writes
// decodes to the same pixels with another decoder, and what it refuses.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { decode, encode } from 'fast-png';
import { checkHeader, crc32, ImageRefused, readPngChunks } from '../src/PngChunks.js';
import { writePng } from '../src/PngWrite.js';
import { settleColourChunks } from '../src/PngColourChunks.js';
import { deflateSync } from 'node:zlib';
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

test('kept chunks follow the native tool: the profile rather than sRGB, the first of each, a colour key only on RGB', async () => {
  const base = encode({ width: 1, height: 1, channels: 3, depth: 8, data: new Uint8Array(3) });
  const profile = [...Buffer.from('p\0\0'), ...deflateSync(iccProfile())];
  const file = withChunks(base, [['sRGB', [0]], ['iCCP', profile], ['gAMA', [0, 0, 0xb1, 0x8f]], ['gAMA', [0, 0, 0, 1]],
    ['tRNS', [0, 1, 0, 2]], ['tEXt', [65, 0, 66]]]);
  const { kept, notices } = await settleColourChunks(readPngChunks(file).kept);
  assert.deepEqual(kept.map((c) => c.type), ['iCCP', 'gAMA']);
  assert.deepEqual(Array.from(kept[1].data), [0, 0, 0xb1, 0x8f]);
  assert.deepEqual(notices, []);
});

test('an unknown critical chunk, or a chunk named with other than letters, refuses the file as libpng does', () => {
  const base = encode({ width: 1, height: 1, channels: 3, depth: 8, data: new Uint8Array(3) });
  assert.throws(() => readPngChunks(withChunks(base, [['ABCD', [1, 2]]])), /critical ABCD chunk/);
  assert.throws(() => readPngChunks(withChunks(base, [['ab1d', [1, 2]]])), /damaged PNG file \(a chunk named "ab1d"/);
  assert.doesNotThrow(() => readPngChunks(withChunks(base, [['abCD', [1, 2]]])));  // ancillary: passed over
});

// What libpng passes over, the result leaves out with a notice; after a
// fault that spoils the colour space, the colour chunks that follow too.
test('colour chunks libpng rejects are left out with a notice, and what follows a spoiling fault with them', async () => {
  const gamma = ['gAMA', [0, 0, 0xb1, 0x8f]];
  const chrm = ['cHRM', u32s(31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000)];
  const settle = async (chunks) => {
    const base = encode({ width: 1, height: 1, channels: 3, depth: 8, data: new Uint8Array(3) });
    return settleColourChunks(readPngChunks(withChunks(base, chunks)).kept);
  };
  const cases = [
    [[['gAMA', [0, 0, 0, 0]], chrm], [], /gAMA chunk is left out: a gamma of 0, out of range/],
    [[chrm, ['gAMA', [0, 0, 0, 0]]], ['cHRM'], /gAMA chunk is left out/],
    [[['sRGB', [9]], gamma], [], /sRGB chunk is left out: rendering intent 9/],
    [[['sRGB', [0, 0]], gamma], ['gAMA'], /wrong length/],
    [[['cHRM', Array.from({ length: 32 }, (_, i) => 200 + i)], gamma], ['gAMA'], /cHRM chunk is left out/],
    [[['cHRM', u32s(31270, 32900, 164000, 33000, 30000, 60000, 15000, 6000)], gamma], [], /chromaticities out of range/],
    [[['iCCP', [...Buffer.from('x\0\0'), 1, 2]], gamma], ['gAMA'], /iCCP chunk is left out: too short/],
    [[['iCCP', [...Buffer.from('x\0\0'), ...deflateSync(Buffer.from('short'))]], gamma], ['gAMA'], /too short to be one/],
    [[['iCCP', [...Buffer.from('x\0'), 1, ...deflateSync(iccProfile())]], gamma], [], /compression method 1/],
    [[['iCCP', [...Buffer.from('x\0\0'), ...deflateSync(iccProfile({ space: 'GRAY' }))]], gamma], [], /not RGB/],
    [[['iCCP', [...Buffer.from('x\0\0'), ...deflateSync(iccProfile({ tags: 100 }))]], gamma], [], /tag table/],
    [[['iCCP', [...Buffer.from('x\0\0'), ...deflateSync(iccProfile({ magic: 'xxxx' }))]], gamma], [], /ICC signature/],
    [[['iCCP', [...Buffer.from('x\0\0'), ...deflateSync(iccProfile())]], gamma], ['iCCP', 'gAMA'], null],
  ];
  for (const [chunks, keptTypes, notice] of cases) {
    const { kept, notices } = await settle(chunks);
    const label = chunks.map(([type]) => type).join(' ');
    assert.deepEqual(kept.map((c) => c.type), keptTypes, label);
    if (notice) assert.match(notices[0] ?? '', notice, label);
    else assert.deepEqual(notices, [], label);
  }
});

function u32s(...values) {
  const out = Buffer.alloc(4 * values.length);
  values.forEach((v, i) => out.writeUInt32BE(v, 4 * i));
  return [...out];
}

// A profile with the header fields libpng looks at, the rest filler.
function iccProfile({ size = 600, space = 'RGB ', magic = 'acsp', tags = 0 } = {}) {
  const p = Buffer.alloc(size, 7);
  p.fill(0, 40, 132);
  p.writeUInt32BE(size, 0);
  p.write('mntr', 12, 'latin1');
  p.write(space.padEnd(4), 16, 'latin1');
  p.write('XYZ ', 20, 'latin1');
  p.write(magic, 36, 'latin1');
  p.writeUInt32BE(tags, 128);
  return p;
}

// `base` with chunks after its header, every CRC right.
function withChunks(base, chunks) {
  const parts = chunks.map(([type, data]) => {
    const out = Buffer.alloc(12 + data.length);
    out.writeUInt32BE(data.length);
    out.write(type, 4, 'latin1');
    Buffer.from(data).copy(out, 8);
    out.writeUInt32BE(crc32(out, 4, 8 + data.length), 8 + data.length);
    return out;
  });
  return new Uint8Array(Buffer.concat([base.subarray(0, 33), ...parts, base.subarray(33)]));
}

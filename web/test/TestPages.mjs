// Pages drawn for the tests, always the same: outlined areas of flat
// colour, hatching, a large black block, and transparency that varies.
import { encode } from 'fast-png';
import { execFileSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import { decode } from 'fast-png';
import { join } from 'node:path';
import zlib, { deflateSync } from 'node:zlib';
import { crc32 } from '../src/PngChunks.js';

function random(seed) {
  let s = seed >>> 0;
  return () => {
    s = (s * 1664525 + 1013904223) >>> 0;
    return s / 2 ** 32;
  };
}

// Colour areas with black outlines 1-4 pixels wide, a few hatched rows,
// near-black pixels (8 is still black, 9 is not) and, with `blackBlock`, a
// black rectangle much deeper than depth 10.
export function drawPage(width, height, { channels = 3, seed = 1, blackBlock = false } = {}) {
  const next = random(seed);
  const data = new Uint8Array(width * height * channels);
  const cell = 23;
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) {
      const cx = Math.floor(x / cell), cy = Math.floor(y / cell);
      const edge = (x % cell) < 1 + ((cx + cy) % 4) || (y % cell) < 1 + (cx % 3);
      let rgb = [(cx * 53 + 17) & 255, (cy * 91 + 40) & 255, ((cx + cy) * 29 + 90) & 255];
      if (edge || (y % 7 === 3 && x % cell > 12)) rgb = [0, 0, 0];
      if (next() < 0.01) rgb = [8, 8, 8];
      if (next() < 0.005) rgb = [9, 0, 0];
      if (blackBlock && x > width / 5 && x < (4 * width) / 5 && y > height / 6 && y < (5 * height) / 6) rgb = [0, 0, 0];
      const at = (y * width + x) * channels;
      data.set(rgb, at);
      if (channels === 4) data[at + 3] = (x * 7 + y * 13) % 256;  // fully transparent black pixels among them
    }
  }
  return { width, height, channels, data };
}

export function savePng(path, image, extra = {}) {
  writeFileSync(path, encode({ depth: 8, ...image, ...extra }));
  return path;
}

const kAdam7 = [[0, 0, 8, 8], [4, 0, 8, 8], [0, 4, 4, 8], [2, 0, 4, 4], [0, 2, 2, 4], [1, 0, 2, 2], [0, 1, 1, 2]];

function paeth(a, b, c) {
  const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

function pngChunk(type, data) {
  const chunk = Buffer.alloc(12 + data.length);
  chunk.writeUInt32BE(data.length);
  chunk.write(type, 4, 'latin1');
  Buffer.from(data).copy(chunk, 8);
  chunk.writeUInt32BE(crc32(chunk, 4, 8 + data.length), 8 + data.length);
  return chunk;
}

// A PNG whose rows are filtered as `filter(row, pass)` says (0-4), Adam7
// passes if `interlaced`. `alterRows` and `alterStream` may damage the
// filtered rows or their zlib stream; `split` cuts the stream into the
// data of several IDAT chunks.
export function filteredPng({ width, height, channels, data }, { filter = (row) => row % 5, interlaced = false,
  alterRows = (rows) => rows, alterStream = (stream) => stream, split = (stream) => [stream] } = {}) {
  const passes = interlaced ? kAdam7 : [[0, 0, 1, 1]];
  const rows = [];
  passes.forEach(([x0, y0, dx, dy], pass) => {
    const columns = Math.ceil(Math.max(0, width - x0) / dx);
    let above = new Uint8Array(columns * channels);
    for (let y = y0, row = 0; y < height && columns > 0; y += dy, row++) {
      const line = new Uint8Array(columns * channels);
      for (let i = 0; i < columns; i++) line.set(data.subarray(((y * width) + x0 + i * dx) * channels, ((y * width) + x0 + i * dx + 1) * channels), i * channels);
      const type = filter(row, pass);
      const out = [type];
      for (let i = 0; i < line.length; i++) {
        const a = i >= channels ? line[i - channels] : 0, b = above[i], c = i >= channels ? above[i - channels] : 0;
        const predicted = [0, a, b, (a + b) >> 1, paeth(a, b, c)][type];
        out.push((line[i] - predicted) & 255);
      }
      rows.push(...out);
      above = line;
    }
  });
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width);
  header.writeUInt32BE(height, 4);
  header.set([8, channels === 4 ? 6 : 2, 0, 0, interlaced ? 1 : 0], 8);
  const stream = alterStream(deflateSync(alterRows(Buffer.from(rows))));
  return new Uint8Array(Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), pngChunk('IHDR', header),
    ...split(stream).map((part) => (Array.isArray(part) ? pngChunk(...part) : pngChunk('IDAT', part))), pngChunk('IEND', [])]));
}

export function loadPixels(path) {
  const png = decode(readFileSync(path));
  return { width: png.width, height: png.height, channels: png.channels, depth: png.depth, data: png.data };
}

// The chunks of a PNG file as [type, bytes] pairs, in file order.
export function chunksOf(path) {
  const bytes = readFileSync(path);
  const chunks = [];
  for (let at = 8; at + 8 <= bytes.length;) {
    const length = bytes.readUInt32BE(at);
    chunks.push([bytes.toString('latin1', at + 4, at + 8), bytes.subarray(at + 8, at + 8 + length)]);
    at += 12 + length;
  }
  return chunks;
}

// Inserts ancillary chunks right after IHDR (type, bytes), CRCs computed.
export function withChunks(path, chunks, crc32) {
  const bytes = readFileSync(path);
  const parts = [bytes.subarray(0, 33)];
  for (const [type, data] of chunks) {
    const chunk = Buffer.alloc(12 + data.length);
    chunk.writeUInt32BE(data.length, 0);
    chunk.write(type, 4, 'latin1');
    Buffer.from(data).copy(chunk, 8);
    chunk.writeUInt32BE(crc32(chunk, 4, 8 + data.length), 8 + data.length);
    parts.push(chunk);
  }
  parts.push(bytes.subarray(33));
  writeFileSync(path, Buffer.concat(parts));
  return path;
}

export const kVandrel = new URL('../../build/linux/bin/vandrel', import.meta.url).pathname;

export function nativeFlat(input, output, depth, white) {
  execFileSync(kVandrel, ['flat', '-q', '--overwrite', '--depth', String(depth), white ? '--white' : '--no-white',
    '-o', output, input], { stdio: ['ignore', 'ignore', 'pipe'] });
  return output;
}

export function tempPath(dir, name) {
  return join(dir, name);
}

// Line art on white paper: a grid of boxes with 2-pixel lines, a circle in
// some boxes, a few lines that stop short of the next (gaps of `gap`
// pixels), a solid black patch, and with `hints` a coloured dot or two.
export function drawLineArt(width, height, { channels = 3, seed = 1, gap = 3, hints = false, cell = 37 } = {}) {
  const next = random(seed);
  const data = new Uint8Array(width * height * channels).fill(255);
  const ink = (x, y, rgb = [0, 0, 0]) => {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    data.set(rgb, (y * width + x) * channels);
  };
  const gaps = new Set();
  for (let cx = 0; cx * cell < width; cx++) for (let cy = 0; cy * cell < height; cy++) if (next() < 0.15) gaps.add(`${cx},${cy}`);
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) {
      const cx = Math.floor(x / cell), cy = Math.floor(y / cell);
      const onV = x % cell < 2, onH = y % cell < 2;
      const open = gaps.has(`${cx},${cy}`) && y % cell >= cell / 2 && y % cell < cell / 2 + gap;
      if ((onV && !open) || onH) ink(x, y);
      const dx = (x % cell) - cell / 2, dy = (y % cell) - cell / 2, r = Math.hypot(dx, dy);
      if ((cx + cy) % 3 === 0 && r > cell / 4 && r < cell / 4 + 1.6) ink(x, y, [20, 20, 20]);
    }
  }
  for (let y = Math.floor(height / 3); y < Math.floor(height / 3) + 14; y++) for (let x = 5; x < 40; x++) ink(x, y);
  if (hints) for (let i = 0; i < 3; i++) ink(Math.floor(cell * (i + 0.3)), Math.floor(cell * 0.3), [200, 40 * i, 90]);
  if (channels === 4) for (let i = 3; i < data.length; i += 4) data[i] = 255;
  return { width, height, channels, data };
}

export function nativeAutoflat(input, output, options = [], regions = null) {
  execFileSync(kVandrel, ['autoflat', '-q', '--overwrite', ...options, ...(regions ? ['--regions', regions] : []), '-o', output, input],
    { stdio: ['ignore', 'ignore', 'pipe'] });
  return output;
}

// A black RGB page `side` pixels square that a few megabytes hold: every
// row is the same zeros, deflated once (flushed, so the block stands
// alone) and repeated. A decompression bomb, as a hostile file would be.
export function blackBombPng(side) {
  const rowBytes = side * 3 + 1;
  const rowsPerBlock = 300;
  if (side % rowsPerBlock !== 0) throw new Error(`side must be a multiple of ${rowsPerBlock}`);
  const deflate = zlib.deflateRawSync(Buffer.alloc(rowBytes * rowsPerBlock), { finishFlush: zlib.constants.Z_FULL_FLUSH });
  const length = rowBytes * side;
  const adler = Buffer.alloc(4);
  adler.writeUInt32BE((((length % 65521) << 16) | 1) >>> 0);  // all zeros: s1 stays 1, s2 counts the bytes
  const stream = Buffer.concat([Buffer.from([0x78, 0x01]), ...Array(side / rowsPerBlock).fill(deflate), Buffer.from([0x03, 0x00]), adler]);
  const header = Buffer.alloc(13);
  header.writeUInt32BE(side, 0);
  header.writeUInt32BE(side, 4);
  header.set([8, 2, 0, 0, 0], 8);
  return Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), pngChunk('IHDR', header), pngChunk('IDAT', stream),
    pngChunk('IEND', Buffer.alloc(0))]);
}

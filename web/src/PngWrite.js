// Writes the flatted pixels as a PNG: 8-bit RGB or RGBA, not interlaced,
// with the input's descriptive chunks copied as they were. Rows are
// filtered and deflated a band at a time, so no second copy of the page is
// ever held.
import { Zlib } from 'fflate';
import { crc32 } from './PngChunks.js';

const kSignature = new Uint8Array([137, 80, 78, 71, 13, 10, 26, 10]);
const kBandBytes = 4 << 20;
// Deflate effort: the flats' large areas of one colour compress well even
// at a low level, and the page is waiting.
const kLevel = 3;

function chunk(type, data) {
  const out = new Uint8Array(12 + data.length);
  const view = new DataView(out.buffer);
  view.setUint32(0, data.length);
  for (let i = 0; i < 4; i++) out[4 + i] = type.charCodeAt(i);
  out.set(data, 8);
  view.setUint32(8 + data.length, crc32(out, 4, 8 + data.length));
  return out;
}

function header(width, height, channels) {
  const data = new Uint8Array(13);
  const view = new DataView(data.buffer);
  view.setUint32(0, width);
  view.setUint32(4, height);
  data[8] = 8;
  data[9] = channels === 4 ? 6 : 2;
  return data;  // deflate, adaptive filters, no interlace: all zero
}

// Filter 2 (Up) on every row after the first: cheap, and on flatted art,
// where a row mostly repeats the one above, it leaves long runs of zeros.
function filterRows(pixels, rowBytes, firstRow, rows) {
  const out = new Uint8Array(rows * (rowBytes + 1));
  for (let r = 0; r < rows; r++) {
    const y = firstRow + r;
    const row = y * rowBytes;
    const at = r * (rowBytes + 1);
    if (y === 0) {
      out[at] = 0;
      out.set(pixels.subarray(row, row + rowBytes), at + 1);
    } else {
      out[at] = 2;
      const above = row - rowBytes;
      for (let i = 0; i < rowBytes; i++) out[at + 1 + i] = (pixels[row + i] - pixels[above + i]) & 0xff;
    }
  }
  return out;
}

// `pixels` holds width x height pixels of `channels` bytes; `kept` the
// chunks to copy, in file order. Returns a Blob of the PNG.
export function writePng(pixels, width, height, channels, kept) {
  const parts = [kSignature, chunk('IHDR', header(width, height, channels))];
  for (const c of kept) parts.push(chunk(c.type, c.data));
  const idat = [];
  const deflate = new Zlib({ level: kLevel });
  deflate.ondata = (data) => {
    if (data.length) idat.push(chunk('IDAT', data));
  };
  const rowBytes = width * channels;
  const bandRows = Math.max(1, Math.floor(kBandBytes / (rowBytes + 1)));
  for (let first = 0; first < height; first += bandRows) {
    const rows = Math.min(bandRows, height - first);
    deflate.push(filterRows(pixels, rowBytes, first, rows), first + rows === height);
  }
  parts.push(...idat, chunk('IEND', new Uint8Array(0)));
  return new Blob(parts, { type: 'image/png' });
}

// The pixels of a PNG file whose chunks readPngChunks has checked: the
// image data inflated by the browser's own zlib and its rows unfiltered as
// the inflated bytes arrive, straight into the pixel array. Interlaced
// files are deinterlaced here too, as libpng hands them to the native tool.
import { ImageRefused } from './PngChunks.js';

// Thrown when the user cancels while a page is decoded: a large page takes
// seconds to inflate, and the engine's own checks between strips come later.
export class DecodeCancelled extends Error {}

// How often a decode asks whether it is cancelled: each asking is a
// request of its own, and a person waits this long without noticing.
const kCancelCheckMs = 50;

function damaged(reason) {
  return new ImageRefused(`truncated or damaged PNG file (${reason})`);
}

// Starting column and row, then steps, of the seven Adam7 passes.
const kAdam7 = [[0, 0, 8, 8], [4, 0, 8, 8], [0, 4, 4, 8], [2, 0, 4, 4], [0, 2, 2, 4], [1, 0, 2, 2], [0, 1, 1, 2]];

// Unfilters `n` bytes of a row from src[s] into out[o], `x` being the
// position of out[o] in its row and `up` the distance back to the byte
// above it (0 on a pass's first row, which has none above).
function unfilter(type, src, s, out, o, n, x, up, bpp) {
  const end = o + n;
  // The first pixel of a row has nothing to its left.
  const lead = Math.min(end, o + Math.max(0, bpp - x));
  let i = o;
  if (type === 0 || (type === 2 && up === 0)) {
    out.set(src.subarray(s, s + n), o);
  } else if (type === 1 || (type === 4 && up === 0)) {
    // Paeth with no row above always predicts from the left.
    for (; i < lead; i++) out[i] = src[s++];
    for (; i < end; i++) out[i] = src[s++] + out[i - bpp];
  } else if (type === 2) {
    for (; i < end; i++) out[i] = src[s++] + out[i - up];
  } else if (type === 3) {
    if (up === 0) {
      for (; i < lead; i++) out[i] = src[s++];
      for (; i < end; i++) out[i] = src[s++] + (out[i - bpp] >> 1);
    } else {
      for (; i < lead; i++) out[i] = src[s++] + (out[i - up] >> 1);
      for (; i < end; i++) out[i] = src[s++] + ((out[i - bpp] + out[i - up]) >> 1);
    }
  } else {
    // Paeth, the filter most encoders pick for line art: with nothing to
    // the left it predicts from above.
    for (; i < lead; i++) out[i] = src[s++] + out[i - up];
    for (; i < end; i++) {
      const a = out[i - bpp], b = out[i - up], c = out[i - up - bpp];
      let pa = b - c, pb = a - c, pc = pa + pb;
      if (pa < 0) pa = -pa;
      if (pb < 0) pb = -pb;
      if (pc < 0) pc = -pc;
      out[i] = src[s++] + (pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
    }
  }
}

// Takes the inflated image data piece by piece and fills `pixels` row by
// row. Bytes beyond the last row are passed over, as libpng does (with a
// warning the page has no place for).
class RowFilter {
  constructor(width, height, channels, interlaced) {
    this.bpp = channels;
    this.pixels = new Uint8Array(width * height * channels);
    this.width = width;
    this.passes = interlaced
      ? kAdam7.map(([x0, y0, dx, dy]) => ({
          x0, y0, dx, dy, width: Math.ceil(Math.max(0, width - x0) / dx), height: Math.ceil(Math.max(0, height - y0) / dy),
        })).filter((p) => p.width > 0 && p.height > 0)
      : [{ x0: 0, y0: 0, dx: 1, dy: 1, width, height }];
    this.interlaced = interlaced;
    this.pass = -1;
    this.complete = false;
    this.startPass();
  }

  startPass() {
    if (++this.pass === this.passes.length) {
      this.complete = true;
      return;
    }
    const pass = this.passes[this.pass];
    this.rowBytes = pass.width * this.bpp;
    // A pass's rows go to two alternating lines, the one above kept for
    // the filters; a whole image's rows go straight to their place.
    this.out = this.interlaced ? new Uint8Array(2 * this.rowBytes) : this.pixels;
    this.row = 0;
    this.x = -1;  // the filter type byte comes next
  }

  rowStart() {
    return this.interlaced ? (this.row & 1) * this.rowBytes : this.row * this.rowBytes;
  }

  take(bytes) {
    const length = bytes.length;
    let s = 0;
    while (s < length && !this.complete) {
      if (this.x < 0) {
        this.type = bytes[s++];
        if (this.type > 4) throw damaged(`unknown filter type ${this.type} on row ${this.row + 1}`);
        this.x = 0;
        continue;
      }
      const n = Math.min(this.rowBytes - this.x, length - s);
      const up = this.row === 0 ? 0 : this.interlaced ? (this.row & 1 ? this.rowBytes : -this.rowBytes) : this.rowBytes;
      unfilter(this.type, bytes, s, this.out, this.rowStart() + this.x, n, this.x, up, this.bpp);
      s += n;
      this.x += n;
      if (this.x === this.rowBytes) this.endRow();
    }
  }

  endRow() {
    const pass = this.passes[this.pass];
    if (this.interlaced) this.scatterRow(pass);
    this.x = -1;
    if (++this.row === pass.height) this.startPass();
  }

  scatterRow({ x0, y0, dx, dy, width }) {
    const bpp = this.bpp, out = this.out, pixels = this.pixels;
    let from = this.rowStart();
    let to = ((y0 + this.row * dy) * this.width + x0) * bpp;
    const step = dx * bpp;
    for (let i = 0; i < width; i++, from += bpp, to += step)
      for (let k = 0; k < bpp; k++) pixels[to + k] = out[from + k];
  }
}

// Pieces no longer than this are handed to the inflater, so that a piece
// fed again in crumbs (below) is never long.
const kPiece = 256 << 10;

// Chromium refuses bytes after the end of a zlib stream, and in refusing
// drops the blocks it inflated from the same piece that were not read yet.
// libpng takes such a file with its pixels. A piece no longer than this
// inflates (at most 1032-fold) into a single 64 KiB block, so a piece that
// held the stream's end is fed again in such crumbs: nothing is dropped.
const kCrumb = 63;

// One inflation of `pieces` into `rows`; the piece numbered `fine` is fed
// in crumbs. Resolves to null when the stream ended well, or to the
// inflater's error and the first piece it refused; throws DecodeCancelled
// once `cancelled()` says so.
async function inflateInto(pieces, rows, fine, cancelled = () => false) {
  let asked = performance.now();
  const stream = new DecompressionStream('deflate');
  const writer = stream.writable.getWriter();
  const reader = stream.readable.getReader();
  let refusedPiece = pieces.length;
  const writes = [];
  const feeding = (async () => {
    for (let k = 0; k < pieces.length; k++) {
      const piece = pieces[k];
      const step = k === fine ? kCrumb : piece.length;
      for (let at = 0; at < piece.length; at += step) {
        await writer.ready;
        writes.push(writer.write(piece.subarray(at, at + step)).catch(() => {
          refusedPiece = Math.min(refusedPiece, k);
        }));
      }
    }
    await writer.close();
  })().catch(() => {});
  try {
    for (;;) {
      const { done, value } = await reader.read();
      if (done) return null;
      rows.take(value);
      if (performance.now() - asked >= kCancelCheckMs) {
        if (cancelled()) throw new DecodeCancelled('cancelled');
        asked = performance.now();
      }
    }
  } catch (error) {
    if (error instanceof ImageRefused || error instanceof DecodeCancelled) {
      reader.cancel().catch(() => {});
      throw error;
    }
    await feeding;
    await Promise.all(writes);
    return { error, refusedPiece };
  }
}

let junkMessage = null;

// Whether `failure` is the browser refusing bytes after the end of a
// stream that ended well, rather than damage. Its words for that are
// learnt from a stream made to end so; Chromium says them with or
// without the name of the call that met them, so they are looked for in
// the message.
async function junkAfterEnd(failure) {
  const emptyStreamThenJunk = new Uint8Array([0x78, 0x9c, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00]);
  junkMessage ??= inflateInto([emptyStreamThenJunk], { take() {} }, -1).then((probe) => probe && String(probe.error?.message));
  const words = await junkMessage;
  return Boolean(words) && String(failure.error?.message).includes(words);
}

// Returns the pixels, width * height * channels bytes, or throws
// ImageRefused (or DecodeCancelled, when `cancelled()` says so while the
// data is inflated). `facts` is what readPngChunks found.
export async function readPixels(bytes, { width, height, colourType, interlaced, data }, cancelled = () => false) {
  const channels = colourType === 6 ? 4 : 3;
  const pieces = [];
  for (const [start, end] of data)
    for (let at = start; at < end; at += kPiece) pieces.push(bytes.subarray(at, Math.min(end, at + kPiece)));
  let rows = new RowFilter(width, height, channels, interlaced);
  let failure = await inflateInto(pieces, rows, -1, cancelled);
  if (failure && !rows.complete && (await junkAfterEnd(failure))) {
    rows = new RowFilter(width, height, channels, interlaced);
    failure = await inflateInto(pieces, rows, failure.refusedPiece, cancelled);
  }
  if (failure && !(await junkAfterEnd(failure))) throw damaged(`the image data cannot be inflated: ${failure.error?.message ?? failure.error}`);
  if (!rows.complete) throw damaged('the image data ends before the last row');
  return rows.pixels;
}

// The chunk structure of a PNG file, checked the way the native tool's
// libpng checks it before any pixel is decoded: signature, lengths, CRCs,
// header first and IEND last. Also picks out the chunks that describe the
// pixels (resolution, colour space, colour key) so the result keeps them.

const kSignature = [137, 80, 78, 71, 13, 10, 26, 10];

// What the native tool writes back: the profile (or, without one, the sRGB
// intent), gamma, chromaticities, resolution and an RGB colour key.
const kKeptChunks = new Set(['iCCP', 'sRGB', 'gAMA', 'cHRM', 'pHYs', 'tRNS']);

export const kWhatFits = 'only 8-bit RGB and RGBA PNG images can be flatted';

export class ImageRefused extends Error {}

const crcTable = (() => {
  const table = new Uint32Array(256);
  for (let n = 0; n < 256; n++) {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    table[n] = c >>> 0;
  }
  return table;
})();

// The CRC of bytes[start, end). A CRC over several pieces passes the
// running value on: `running` from the previous piece, `last` false on
// every piece but the last.
export function crc32(bytes, start = 0, end = bytes.length, running = 0xffffffff, last = true) {
  let c = running;
  for (let i = start; i < end; i++) c = crcTable[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
  return last ? (c ^ 0xffffffff) >>> 0 : c;
}

function chunkType(bytes, at) {
  return String.fromCharCode(bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]);
}

function isCritical(type) {
  return (type.charCodeAt(0) & 0x20) === 0;
}

// The chunks an RGB or RGBA image may need; any other critical chunk
// changes how the pixels are to be read, and libpng stops at it.
const kKnownCritical = new Set(['IHDR', 'PLTE', 'IDAT', 'IEND']);

function validType(type) {
  return /^[A-Za-z]{4}$/.test(type);
}

function describeOther(bytes) {
  if (bytes.length >= 3 && bytes[0] === 0xff && bytes[1] === 0xd8 && bytes[2] === 0xff) return 'a JPEG file';
  if (bytes.length >= 4 && ((bytes[0] === 0x49 && bytes[1] === 0x49) || (bytes[0] === 0x4d && bytes[1] === 0x4d)))
    return 'a TIFF file';
  return 'not a PNG file';
}

function damaged(reason) {
  return new ImageRefused(`truncated or damaged PNG file (${reason})`);
}

// Returns { width, height, depth, colourType, interlaced, kept: [{ type,
// data }], data: [[start, end]] } or throws ImageRefused with the message
// the page shows. `kept` is in file order, the first of each type, to be
// checked further by settleColourChunks. `data` locates the image data in `bytes`: the first run
// of consecutive IDAT chunks, which is all libpng reads.
export function readPngChunks(bytes) {
  if (bytes.length < 8 || kSignature.some((b, i) => bytes[i] !== b)) {
    const what = describeOther(bytes);
    throw new ImageRefused(`${what === 'not a PNG file' ? what : what + ', not a PNG'} (${kWhatFits})`);
  }
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const kept = [];
  let header = null;
  let sawData = false;
  const data = [];
  let dataEnded = false;  // a chunk other than IDAT came after the first
  let frames = 0;  // an animation's declared frame count (acTL)
  let frameData = false;  // a frame beyond the still image (fdAT)
  let at = 8;
  for (;;) {
    if (at + 12 > bytes.length) throw damaged('the file ends before its IEND chunk');
    const length = view.getUint32(at);
    const type = chunkType(bytes, at + 4);
    if (length > 0x7fffffff || at + 12 + length > bytes.length)
      throw damaged(`the ${type.replace(/[^\x20-\x7e]/g, '?')} chunk runs past the end of the file`);
    const dataStart = at + 8;
    const dataEnd = dataStart + length;
    if (!validType(type)) throw damaged(`a chunk named ${JSON.stringify(type.replace(/[^\x20-\x7e]/g, '?'))}, which no chunk can be`);
    if (sawData && type !== 'IDAT') dataEnded = true;
    if (crc32(bytes, at + 4, dataEnd) !== view.getUint32(dataEnd)) {
      // libpng drops an ancillary chunk with a bad CRC and goes on; a
      // critical one ends the read.
      if (isCritical(type)) throw damaged(`CRC error in the ${type} chunk`);
      at = dataEnd + 4;
      continue;
    }
    if (!header && type !== 'IHDR') throw damaged('the file does not start with its IHDR chunk');
    if (isCritical(type) && !kKnownCritical.has(type))
      throw new ImageRefused(`a critical ${type} chunk, which no reader here knows: the pixels may not be what they seem`);
    if (type === 'IHDR') {
      if (header || length !== 13) throw damaged('a wrong IHDR chunk');
      header = {
        width: view.getUint32(dataStart),
        height: view.getUint32(dataStart + 4),
        depth: bytes[dataStart + 8],
        colourType: bytes[dataStart + 9],
        interlaced: bytes[dataStart + 12] === 1,
      };
      if (bytes[dataStart + 10] !== 0 || bytes[dataStart + 11] !== 0 || bytes[dataStart + 12] > 1)
        throw damaged('unknown compression, filter or interlace method in IHDR');
    } else if (type === 'IDAT') {
      if (!dataEnded) data.push([dataStart, dataEnd]);
      sawData = true;
    } else if (type === 'acTL' && length >= 4) {
      frames = view.getUint32(dataStart);
    } else if (type === 'fdAT') {
      frameData = true;
    } else if (type === 'IEND') {
      if (!sawData) throw damaged('no image data');
      break;
    } else if (kKeptChunks.has(type) && !sawData) {
      kept.push({ type, data: bytes.slice(dataStart, dataEnd) });
    }
    at = dataEnd + 4;
  }
  // Only the still image would be flatted and the frames lost, as the
  // native tool refuses to.
  if (frames > 1 || frameData)
    throw new ImageRefused(`an animated PNG (${frames > 1 ? `${frames} frames` : 'APNG'}); only still PNG images can be flatted`);
  // A deflate stream expands its input at most 1032 times: a small file
  // declaring a huge image is damaged (or hostile), and is refused before
  // anything that large is allocated.
  const rowBytes = header.width * (header.colourType === 6 ? 4 : 3) + 1;
  if (header.height * rowBytes > bytes.length * kMaxDeflateExpansion)
    throw damaged(`${bytes.length} bytes cannot hold the pixels it declares`);
  return { ...header, kept: keptAsNativeToolWrites(kept, header.colourType), data };
}

const kMaxDeflateExpansion = 1032;

function keptAsNativeToolWrites(chunks, colourType) {
  const seen = new Set();
  return chunks.filter((c) => {
    if (seen.has(c.type)) return false;  // libpng keeps the first
    seen.add(c.type);
    if (c.type === 'tRNS') return colourType === 2 && c.data.length === 6;  // an RGB colour key only
    return true;
  });
}

// The refusals the native tool makes from the header alone, in its words.
export function checkHeader({ width, height, depth, colourType }) {
  if (colourType === 0 || colourType === 4)
    throw new ImageRefused(`grayscale images are not supported (${kWhatFits})`);
  if (colourType === 3) throw new ImageRefused(`palette (indexed-colour) images are not supported (${kWhatFits})`);
  if (colourType !== 2 && colourType !== 6) throw damaged(`unknown colour type ${colourType}`);
  if (depth !== 8) throw new ImageRefused(`${depth}-bit samples are not supported (${kWhatFits})`);
  if (width === 0 || height === 0) throw new ImageRefused('the image has no pixels');
  if (width > kMaxSide || height > kMaxSide)
    throw new ImageRefused(`${width} x ${height} pixels is more than ${kMaxSide} pixels on a side`);
}

export const kMaxSide = 32767;

// The region map as `vandrel autoflat --regions` writes it: each pixel's
// region number as 16-bit grey while the numbers fit, else as 8-bit RGB
// (high, middle and low bytes); and the regions' colours as a GIMP palette.
import { crc32 } from './PngChunks.js';
import { writePng } from './PngWrite.js';

const kSignature = new Uint8Array([137, 80, 78, 71, 13, 10, 26, 10]);
export const kMaxGrayRegions = 65536;

function chunk(type, data) {
  const out = new Uint8Array(12 + data.length);
  const view = new DataView(out.buffer);
  view.setUint32(0, data.length);
  for (let i = 0; i < 4; i++) out[4 + i] = type.charCodeAt(i);
  out.set(data, 8);
  view.setUint32(8 + data.length, crc32(out, 4, 8 + data.length));
  return out;
}

async function deflate(bytes) {
  const stream = new Blob([bytes]).stream().pipeThrough(new CompressionStream('deflate'));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

// `physical`: the page's pHYs chunk data, carried over as the tool does.
export async function regionMapPng(labels, width, height, regionCount, physical = null) {
  if (regionCount > kMaxGrayRegions) {
    const rgb = new Uint8Array(width * height * 3);
    for (let i = 0; i < labels.length; i++) {
      const label = labels[i];
      rgb[3 * i] = label >>> 16;
      rgb[3 * i + 1] = label >>> 8;
      rgb[3 * i + 2] = label;
    }
    return writePng(rgb, width, height, 3, physical ? [{ type: 'pHYs', data: physical }] : []);
  }
  const rowBytes = width * 2 + 1;
  const raw = new Uint8Array(rowBytes * height);
  for (let y = 0; y < height; y++) {
    for (let x = 0, at = y * rowBytes + 1, i = y * width; x < width; x++, at += 2, i++) {
      raw[at] = labels[i] >>> 8;
      raw[at + 1] = labels[i];
    }
  }
  const header = new Uint8Array(13);
  new DataView(header.buffer).setUint32(0, width);
  new DataView(header.buffer).setUint32(4, height);
  header[8] = 16;
  header[9] = 0;
  const parts = [kSignature, chunk('IHDR', header)];
  if (physical) parts.push(chunk('pHYs', physical));
  parts.push(chunk('IDAT', await deflate(raw)), chunk('IEND', new Uint8Array(0)));
  return new Blob(parts, { type: 'image/png' });
}

export function gimpPaletteText(name, colours, count) {
  let text = `GIMP Palette\nName: ${name}\nColumns: 16\n#\n`;
  const pad = (v) => String(v).padStart(3, ' ');
  for (let i = 0; i < count; i++) text += `${pad(colours[4 * i])} ${pad(colours[4 * i + 1])} ${pad(colours[4 * i + 2])}\tregion ${i}\n`;
  return text;
}

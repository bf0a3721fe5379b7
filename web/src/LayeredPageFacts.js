// What a layered file keeps of the page besides its pixels, read from the
// flatted PNG as the command reads it: the resolution and the colour
// profile.

// PNG gives dots per metre, so 300 dpi comes back as 299.9994; a value that
// close to a whole number of dots per inch was that number. A PNG measures
// in metres, so the file shows centimetres, as the command's does.
export function resolutionOf(kept) {
  const chunk = kept.find((c) => c.type === 'pHYs');
  if (!chunk || chunk.data.length < 9 || chunk.data[8] !== 1) return { xDpi: 0, yDpi: 0, centimetres: false };
  const view = new DataView(chunk.data.buffer, chunk.data.byteOffset, chunk.data.byteLength);
  const dpi = (perMetre) => {
    const value = perMetre * 0.0254;
    return Math.abs(value - Math.round(value)) < 0.01 ? Math.round(value) : value;
  };
  const xDpi = dpi(view.getUint32(0));
  const yDpi = dpi(view.getUint32(4));
  return xDpi > 0 && yDpi > 0 ? { xDpi, yDpi, centimetres: true } : { xDpi: 0, yDpi: 0, centimetres: false };
}

// The profile's own bytes: iCCP holds a name, a nul, the method (0) and the
// profile deflated in zlib's format. Null when there is none.
export async function iccProfileOf(kept) {
  const chunk = kept.find((c) => c.type === 'iCCP');
  if (!chunk) return null;
  const nul = chunk.data.indexOf(0);
  if (nul < 1 || nul + 2 > chunk.data.length) return null;
  const stream = new Blob([chunk.data.subarray(nul + 2)]).stream().pipeThrough(new DecompressionStream('deflate'));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

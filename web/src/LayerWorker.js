// Makes the line art's two viewer layers (as it is, and as ink over the
// flats) beside the flat worker, which hands the page over before it runs
// the library: the layers are ready when the library ends instead of after.
import { inkOf, rgbaOf } from './ViewLayers.js';

self.onmessage = async ({ data: { id, pixels, channels, width, height } }) => {
  try {
    const count = width * height;
    const bitmap = (rgba) => createImageBitmap(new ImageData(rgba, width, height), { premultiplyAlpha: 'none' });
    const before = await bitmap(rgbaOf(pixels, channels, count));
    const ink = await bitmap(inkOf(pixels, channels, count));
    self.postMessage({ id, before, ink }, [before, ink]);
  } catch (error) {
    self.postMessage({ id, error: String(error.message || error) });
  }
};

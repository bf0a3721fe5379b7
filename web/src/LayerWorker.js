// Makes the line art's two viewer layers (as it is, and as ink over the
// flats) beside the flat worker, which hands the page over before it runs
// the library: the layers are ready when the library ends instead of after.
import { lineArtPictures } from './ViewLayers.js';

self.onmessage = async ({ data: { id, pixels, channels, width, height } }) => {
  try {
    const { before, ink } = await lineArtPictures(pixels, channels, width, height);
    self.postMessage({ id, before, ink }, [before, ink]);
  } catch (error) {
    self.postMessage({ id, error: String(error.message || error) });
  }
};

// Whether a page can be worked on in the engine's heap, known from its
// header alone. A few megabytes can declare a 32767 x 32767 image: inflating
// it takes half a minute before the heap refuses the pixels, so such a page
// is refused before any of them is read, as the native tool refuses it.
import { ImageRefused } from './PngChunks.js';

// The module's largest heap: -sMAXIMUM_MEMORY in web/CMakeLists.txt.
export const kEngineHeapBytes = 2 ** 31;
// Auto Flats' table of region colours holds at most this many.
export const kColourCapacity = 1 << 22;

// The bytes a job takes from the heap before the engine starts: what the
// worker hands over and what it reserves for the results. The engine's
// own working memory comes on top, so this is a floor and never refuses a
// page that could be worked on.
export function heapFloor(job, { width, height, channels, hintChannels = 0, earlierChannels = 0 }) {
  const count = width * height;
  if (job === 'flat') return 2 * count * channels;  // the page and the result
  // The line art, any hints and earlier flats, the flats, the labels, the
  // marks and the colours.
  return count * (2 * channels + hintChannels + earlierChannels + 4 + 1) + Math.min(count, kColourCapacity) * 4;
}

function megabytes(bytes) {
  return `${Math.ceil(bytes / 2 ** 20)} MB`;
}

// Throws ImageRefused when the job cannot fit, with what it would take.
export function checkHeapFits(job, page) {
  const need = heapFloor(job, page);
  if (need <= kEngineHeapBytes) return;
  const pixels = page.width * page.height * page.channels;
  throw new ImageRefused(`not enough memory for this page: ${job === 'flat' ? 'flatting' : 'auto flats of'} its ` +
    `${megabytes(pixels)} of pixels takes at least ${megabytes(need)}, and the page's engine has at most ${megabytes(kEngineHeapBytes)}`);
}

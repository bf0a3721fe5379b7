// The download area's one choice: each page's result as the flat PNG, or as
// a layered file (Photoshop or OpenRaster) with the line art as it came on
// Multiply over the flats and any hints page hidden on top, the layout
// `vandrel autoflat --layers` writes. The file is made when it is asked
// for, in a worker of its own (LayeredFileWorker.js).
const kExtensions = { psd: '.psd', ora: '.ora' };
const kStoreKey = 'vandrel-download-as';

let worker = null;
let nextId = 0;
const waiting = new Map();

function layeredWorker() {
  if (worker) return worker;
  worker = new Worker('layered.js');
  worker.onmessage = ({ data }) => {
    const settle = waiting.get(data.id);
    waiting.delete(data.id);
    if (data.error) settle.reject(new Error(data.error));
    else settle.resolve(data.blob);
  };
  // A worker the browser stops (out of memory) fails what it was making.
  worker.onerror = (event) => {
    event.preventDefault();
    worker.terminate();
    worker = null;
    for (const settle of waiting.values()) settle.reject(new Error('the browser stopped the worker, most likely for want of memory'));
    waiting.clear();
  };
  return worker;
}

export function layeredName(name, format) {
  return (name.replace(/\.png$/i, '') || 'page') + kExtensions[format];
}

// The hints page counts only where Auto Flats took it.
export function makeLayered(page, format) {
  const id = nextId++;
  const hints = page.result.map ? page.hintsFile : null;
  return new Promise((resolve, reject) => {
    waiting.set(id, { resolve, reject });
    layeredWorker().postMessage({ id, format, lineArt: page.file, flats: page.result.blob, hints });
  });
}

// A page's result under the choice, as [name, blob].
export async function resultFile(page, format) {
  if (!kExtensions[format]) return [page.result.name, page.result.blob];
  return [layeredName(page.result.name, format), await makeLayered(page, format)];
}

function save(name, blob) {
  const link = Object.assign(document.createElement('a'), { href: URL.createObjectURL(blob), download: name });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60_000);
}

// `choice`: the select; `list`: where the pages' Download links are;
// `pageOf(link)`: the page a link belongs to; `say(text)`: the status line.
export function layeredDownloads({ choice, list, pageOf, say }) {
  const stored = localStorage.getItem(kStoreKey);
  if (stored && [...choice.options].some((o) => o.value === stored)) choice.value = stored;
  choice.addEventListener('change', () => localStorage.setItem(kStoreKey, choice.value));
  list.addEventListener('click', async (event) => {
    const link = event.target.closest('a.download');
    const page = link && pageOf(link);
    if (!page?.result || !kExtensions[choice.value]) return;
    event.preventDefault();
    const name = layeredName(page.result.name, choice.value);
    say(`Making ${name}…`);
    try {
      const [, blob] = await resultFile(page, choice.value);
      save(name, blob);
      say(`${name} is ready.`);
    } catch (error) {
      say(`${name} could not be made: ${error.message}`);
    }
  });
  return () => choice.value;
}

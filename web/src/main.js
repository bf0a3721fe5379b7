// The page: files in, settings, the queue of pages for the worker, results
// out (one by one or as a zip).
import { zipSync } from 'fflate';
import { PageEntry } from './PageList.js';
import { uniqueNames } from './Names.js';
import { clampDepth, loadSettings, saveSettings } from './Settings.js';

const $ = (id) => document.getElementById(id);
const ui = {
  drop: $('drop'), files: $('files'), depth: $('depth'), slider: $('depth-slider'), white: $('white'),
  flat: $('flat'), cancel: $('cancel'), downloadAll: $('download-all'), status: $('status'), pages: $('pages'),
};

const settings = loadSettings();
const pages = [];
let queue = [];
let current = null;  // { page, cancelUrl, started }
let worker = null;

function showSettings() {
  ui.depth.value = String(settings.depth);
  ui.slider.value = String(settings.depth);
  ui.white.checked = settings.white;
}

function setDepth(value, fromField) {
  const depth = clampDepth(value);
  if (depth === null) return;
  settings.depth = depth;
  // A field being typed in keeps what the user typed until it is left.
  if (!fromField) ui.depth.value = String(depth);
  ui.slider.value = String(depth);
  saveSettings(settings);
}

function refreshButtons() {
  const busy = current !== null;
  ui.flat.disabled = busy || !pages.some((p) => p.state !== 'refused');
  ui.cancel.disabled = !busy;
  ui.downloadAll.disabled = busy || !pages.some((p) => p.result);
}

function addFiles(fileList) {
  for (const file of fileList) {
    const page = new PageEntry(file);
    pages.push(page);
    ui.pages.append(page.node);
  }
  ui.status.textContent = `${pages.length} page${pages.length === 1 ? '' : 's'} ready to flat.`;
  refreshButtons();
}

function startWorker() {
  worker = new Worker('worker.js');
  worker.onmessage = ({ data }) => onWorkerMessage(data);
  // A worker that dies (out of memory, most likely) takes its page with it;
  // a new one serves the rest.
  worker.onerror = (event) => {
    event.preventDefault();
    worker.terminate();
    worker = null;
    if (current) finishCurrent('failed', 'The page could not be flatted (the browser stopped the worker, most likely for want of memory).');
  };
}

function flatAll() {
  if (current) return;
  queue = pages.filter((p) => p.state !== 'refused');
  for (const page of queue) {
    page.clearResult();
    page.setProgress(0, 1);
    page.setState('waiting', 'Waiting');
  }
  ui.status.textContent = `Flatting ${queue.length} page${queue.length === 1 ? '' : 's'} at depth ${settings.depth}…`;
  next();
}

function next() {
  const page = queue.shift();
  if (!page) {
    current = null;
    // The engine's heap never shrinks: a worker that flatted a large page
    // would hold its memory while the user looks at the results.
    worker?.terminate();
    worker = null;
    const done = pages.filter((p) => p.state === 'done').length;
    const left = pages.filter((p) => p.state !== 'done').length;
    ui.status.textContent = `${done} page${done === 1 ? '' : 's'} flatted` + (left ? `, ${left} not.` : '.');
    refreshButtons();
    return;
  }
  if (!worker) startWorker();
  const cancelUrl = URL.createObjectURL(new Blob(['go']));
  current = { page, cancelUrl, started: performance.now() };
  page.setState('flatting', 'Flatting…');
  refreshButtons();
  worker.postMessage({ type: 'flat', id: page.id, file: page.file, depth: settings.depth, white: settings.white, cancelUrl });
}

function finishCurrent(state, message) {
  URL.revokeObjectURL(current.cancelUrl);
  current.page.setState(state, message);
  current = null;
  next();
}

function onWorkerMessage(data) {
  if (!current || data.id !== current.page.id) return;
  const { page } = current;
  switch (data.type) {
    case 'progress':
      page.setProgress(data.done, data.total);
      page.message.textContent = `Flatting… ${Math.floor((100 * data.done) / data.total)}%`;
      return;
    case 'done': {
      const seconds = (performance.now() - current.started) / 1000;
      URL.revokeObjectURL(current.cancelUrl);
      current = null;
      page.showResult(data.blob, seconds, data.notices);
      page.node.dataset.times = JSON.stringify(data.times);
      next();
      return;
    }
    case 'cancelled':
      finishCurrent('cancelled', 'Cancelled');
      return;
    case 'refused':
      finishCurrent('refused', `Not flatted: ${data.message}`);
      return;
    default:
      finishCurrent('failed', `Not flatted: ${data.message}`);
  }
}

function cancel() {
  if (!current) return;
  for (const page of queue) page.setState('cancelled', 'Cancelled');
  queue = [];
  // The engine sees the revoked URL at its next strip and stops there.
  URL.revokeObjectURL(current.cancelUrl);
  current.page.message.textContent = 'Cancelling…';
}

async function downloadAll() {
  const done = pages.filter((p) => p.result);
  if (!done.length) return;
  ui.downloadAll.disabled = true;
  ui.status.textContent = 'Packing the zip…';
  const names = uniqueNames(done.map((p) => p.result.name));
  const files = {};
  for (const [i, page] of done.entries())
    files[names[i]] = [new Uint8Array(await page.result.blob.arrayBuffer()), { level: 0 }];
  const blob = new Blob([zipSync(files)], { type: 'application/zip' });
  const link = Object.assign(document.createElement('a'), { href: URL.createObjectURL(blob), download: 'vandrel-flats.zip' });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60_000);
  ui.status.textContent = `${done.length} result${done.length === 1 ? '' : 's'} in vandrel-flats.zip.`;
  refreshButtons();
}

ui.files.addEventListener('change', () => {
  addFiles(ui.files.files);
  ui.files.value = '';
});
ui.drop.addEventListener('dragover', (event) => {
  event.preventDefault();
  ui.drop.classList.add('over');
});
ui.drop.addEventListener('dragleave', () => ui.drop.classList.remove('over'));
ui.drop.addEventListener('drop', (event) => {
  event.preventDefault();
  ui.drop.classList.remove('over');
  addFiles(event.dataTransfer.files);
});
ui.depth.addEventListener('input', () => setDepth(ui.depth.value, true));
ui.depth.addEventListener('change', () => setDepth(ui.depth.value, false));
ui.slider.addEventListener('input', () => setDepth(ui.slider.value, false));
ui.white.addEventListener('change', () => {
  settings.white = ui.white.checked;
  saveSettings(settings);
});
ui.flat.addEventListener('click', flatAll);
ui.cancel.addEventListener('click', cancel);
ui.downloadAll.addEventListener('click', downloadAll);

showSettings();
refreshButtons();
if ('serviceWorker' in navigator && location.protocol !== 'file:') navigator.serviceWorker.register('offline.js').catch(() => {});

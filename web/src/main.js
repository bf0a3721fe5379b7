// The page: files in, settings, the queue of pages for the worker, results
// out (one by one or as a zip).
import { zipSync } from 'fflate';
import { PageEntry } from './PageList.js';
import { pageNear, stepKey } from './PageSteps.js';
import { uniqueNames } from './Names.js';
import { clampDepth, loadSettings, saveSettings } from './Settings.js';
import { ImageRefused, checkHeader, readPngChunks } from './PngChunks.js';
import { checkHeapFits } from './EngineHeap.js';
import { pagesToFlat, plural, settingsKey, summary, withoutPage } from './WorkList.js';
import { forgetAll, forgetEverything, forgetFile, forgetResult, keepFile, keptFiles, storageUsed } from './SavedPages.js';
import { autoSettingsKey, clampGap, clampMinRegion, clampThreshold, loadAutoSettings, saveAutoSettings } from './AutoSettings.js';
import { parsePalette } from './PaletteText.js';
import { layeredDownloads, resultFile } from './LayeredFiles.js';

const $ = (id) => document.getElementById(id);
const ui = {
  drop: $('drop'), files: $('files'), depth: $('depth'), slider: $('depth-slider'), white: $('white'),
  palette: $('palette'), paletteName: $('palette-name'), paletteClear: $('palette-clear'),
  modeFlat: $('mode-flat'), modeAuto: $('mode-auto'), gap: $('gap'), minRegion: $('min-region'), threshold: $('threshold'), spotBlacks: $('spot-blacks'), keepLines: $('keep-lines'),
  flat: $('flat'), cancel: $('cancel'), downloadAll: $('download-all'), clear: $('clear'), status: $('status'), pages: $('pages'),
  stage: $('stage'), stageEmpty: $('stage-empty'), stageNote: $('stage-note'), fixArea: $('fix-area'), settingsFold: $('settings-fold'),
  storageUsed: $('storage-used'), clearStorage: $('clear-storage'),
};

const settings = loadSettings();
const auto = loadAutoSettings();
let pages = [];
let queue = [];
let current = null;  // { page, cancelUrl, started, key, removed }
let active = null;  // the page on screen
let worker = null;

// A page's hints file is part of what its result depends on.
const currentKey = () => (auto.mode === 'auto'
  ? (page) => `${autoSettingsKey(auto)}:${page.hintsId}:${page.earlier.key}`
  : settingsKey(settings));
const keyFor = (page) => { const key = currentKey(); return typeof key === 'function' ? key(page) : key; };
const settingsText = () => (auto.mode === 'auto'
  ? `Auto Flats, gap ${auto.gap ?? 'auto'}, smallest region ${auto.minRegion ?? 'auto'}, solid blacks ${auto.spotBlacks === 'lines' ? 'melted' : 'kept'}${auto.threshold ? `, line darkness ${auto.threshold}` : ''}${auto.keepLines ? ', lines kept' : ''}`
  : `depth ${settings.depth}${settings.white ? ', too deep painted white' : ''}`);

function showSettings() {
  (auto.mode === 'auto' ? ui.modeAuto : ui.modeFlat).checked = true;
  document.body.classList.toggle('mode-auto', auto.mode === 'auto');
  ui.gap.value = auto.gap ?? '';
  ui.minRegion.value = auto.minRegion ?? '';
  ui.threshold.value = auto.threshold ?? '';
  ui.spotBlacks.value = auto.spotBlacks;
  ui.keepLines.checked = auto.keepLines;
  ui.paletteName.textContent = auto.palette ? `${auto.palette.name} (${auto.palette.colours.length} colours)` : 'none';
  ui.paletteClear.hidden = !auto.palette;
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
  settingsChanged();
}

function settingsChanged() {
  if (!current) ui.status.textContent = summary(pages, currentKey());
  refreshButtons();
}

function refreshButtons() {
  const busy = current !== null;
  ui.flat.disabled = busy || pagesToFlat(pages, currentKey()).length === 0;
  ui.cancel.disabled = !busy;
  ui.downloadAll.disabled = busy || !pages.some((p) => p.result?.blob);
  ui.clear.disabled = pages.length === 0;
}

// The file's chunks and header are read as soon as it arrives, so that a
// file the engine cannot take says so before anyone presses Flat.
async function check(page) {
  try {
    const facts = readPngChunks(new Uint8Array(await page.file.arrayBuffer()));
    checkHeader(facts);
    // Flatting takes the least of the heap: a page it cannot fit fits no job.
    checkHeapFits('flat', { ...facts, channels: facts.colourType === 6 ? 4 : 3 });
    if (page.state === 'checking') page.setState('ready', 'Ready to flat');
  } catch (error) {
    const message = error instanceof ImageRefused ? error.message : `the file cannot be read (${error.message || error})`;
    page.setState('refused', `Not flatted: ${message}`);
  }
  if (!current) ui.status.textContent = summary(pages, currentKey());
  refreshButtons();
}

function addPage(file, savedKey, kept = null) {
  const page = new PageEntry(file, {
    savedKey, onRemove: removePage, onSelect: select, onShown: placeActive,
    onHints: () => settingsChanged(),
  });
  if (kept) {
    try {
      page.keep(kept);
    } catch {
      // A kept result this page cannot read is made again on the next Flat.
      page.stored = null;
      page.clearResult();
      page.setState('checking', 'Reading…');
      forgetResult(page.savedKey);
    }
  }
  pages.push(page);
  ui.pages.append(page.node);
  page.checked = check(page);
  return page;
}

// One page is on screen at a time; only it holds its full-size layers.
function select(page) {
  if (page === active) return;
  active?.deactivate();
  active = page;
  rememberOnScreen(page);
  if (page) {
    page.activate();
    page.node.scrollIntoView({ block: 'nearest' });
  } else {
    placeActive(null);
  }
}

function rememberOnScreen(page) {
  try {
    if (page?.savedKey) localStorage.setItem('vandrel-on-screen', page.savedKey);
  } catch {
    // Only which page comes back first is lost.
  }
}

let stageHadResult = false;
function placeActive(page) {
  if (page !== active) return;
  const viewer = page?.viewer;
  if (viewer) {
    ui.stage.replaceChildren(page.view);
    // The fix tools live in the panel, in one container of their own.
    ui.fixArea.replaceChildren(...(viewer.tools ? [viewer.tools.node] : []));
    // The settings fold away once the page on screen is flatted, but not
    // from under someone typing in them while a page opens.
    if (!stageHadResult && !ui.settingsFold.contains(document.activeElement)) ui.settingsFold.open = false;
  } else {
    ui.fixArea.replaceChildren();
    ui.stageNote.textContent = !page ? 'Drop 8-bit RGB or RGBA PNG pages anywhere on this page, or choose them in the panel.'
      : page.restoring ? `Opening ${page.file.name}…` : `${page.file.name}: ${page.message.textContent}`;
    ui.stage.replaceChildren(ui.stageEmpty);
  }
  stageHadResult = Boolean(viewer);
  ui.fixArea.hidden = !viewer?.tools;
  // A kept result that could not come back leaves its page to flat again.
  refreshButtons();
  document.body.dataset.onScreen = page ? String(page.id) : '';
}

function step(direction) {
  const next = pageNear(pages, active, direction);
  if (next) select(next);
}

let storageTimer = 0;
function showStorage() {
  clearTimeout(storageTimer);
  storageTimer = setTimeout(async () => {
    const used = await storageUsed();
    ui.storageUsed.textContent = used === null ? 'This browser does not say how much it keeps.'
      : `Kept in this browser: ${(used / 2 ** 20).toFixed(used < 10 * 2 ** 20 ? 1 : 0)} MB.`;
    ui.storageUsed.dataset.bytes = String(used ?? '');
  }, 300);
}

function addFiles(fileList) {
  const files = [...fileList];
  if (!files.length) return;
  let last = null;
  for (const file of files) {
    last = addPage(file, null);
    const page = last;
    keepFile(file).then((key) => {
      if (pages.includes(page)) {
        page.keyKnown(key);
        page.node.dataset.kept = String(Boolean(key));
        if (page === active) rememberOnScreen(page);
        showStorage();
      } else forgetFile(key);
    });
  }
  if (!active) select(pages[pages.length - files.length]);
  last.node.scrollIntoView({ block: 'nearest' });
  // Once read, its line may have grown.
  last.checked.then(() => last.node.scrollIntoView({ block: 'nearest' }));
  ui.status.textContent = `${plural(files.length, 'page')} added. ${summary(pages, currentKey())}`;
  refreshButtons();
}

function removePage(page) {
  if (page === active) select(pageNear(pages, page, 1) ?? pageNear(pages, page, -1));
  pages = withoutPage(pages, page.id);
  queue = withoutPage(queue, page.id);
  if (current?.page === page) {
    current.removed = true;
    URL.revokeObjectURL(current.cancelUrl);
  }
  forgetFile(page.savedKey);
  page.dispose();
  showStorage();
  if (!current) ui.status.textContent = `${page.file.name} removed. ${summary(pages, currentKey())}`;
  refreshButtons();
}

function leaveScreen() {
  active?.deactivate();
  active = null;
  placeActive(null);
}

function clearList() {
  leaveScreen();
  for (const page of [...pages]) removePage(page);
  forgetAll().then(showStorage);
  ui.status.textContent = 'The list is empty.';
}

async function clearStorage() {
  if (current) cancel();
  leaveScreen();
  for (const page of [...pages]) removePage(page);
  await forgetEverything();
  ui.status.textContent = 'Every page, result and fix kept in this browser is forgotten.';
  document.body.dataset.storageCleared = 'true';
  showStorage();
}

function startWorker() {
  const started = new Worker('worker.js');
  worker = started;
  worker.onmessage = ({ data }) => onWorkerMessage(data);
  // A worker that dies (out of memory, most likely) takes its page with it;
  // a new one serves the rest.
  worker.onerror = (event) => {
    event.preventDefault();
    started.terminate();
    if (worker !== started) return;
    worker = null;
    if (current) finishCurrent('failed', 'The page could not be flatted (the browser stopped the worker, most likely for want of memory).');
  };
}

async function flatAll() {
  if (current) return;
  ui.flat.disabled = true;
  document.body.dataset.starting = 'true';
  await Promise.all(pages.map((p) => p.checked));
  delete document.body.dataset.starting;
  if (current) return;
  const key = currentKey();
  queue = pagesToFlat(pages, key);
  for (const page of queue) {
    page.clearResult();
    page.setProgress(0, 1);
    page.setState('waiting', 'Waiting');
  }
  const kept = pages.filter((p) => p.state === 'done').length;
  ui.status.textContent = `Flatting ${plural(queue.length, 'page')} at ${settingsText()}…` + (kept ? ` (${kept} already done with these settings)` : '');
  next();
}

function next() {
  const page = queue.shift();
  if (!page) {
    current = null;
    // The engine's heap never shrinks: a worker that flatted a large page
    // would hold its memory while the user looks at the results. A fresh
    // one, small until it is given a page, waits with its engine compiled
    // and warmed for the next Flat.
    worker?.terminate();
    startWorker();
    ui.status.textContent = summary(pages, currentKey());
    refreshButtons();
    return;
  }
  if (!worker) startWorker();
  const cancelUrl = URL.createObjectURL(new Blob(['go']));
  current = { page, cancelUrl, started: performance.now(), key: keyFor(page), text: settingsText(), white: settings.white, removed: false };
  page.setState('flatting', 'Flatting…');
  refreshButtons();
  if (auto.mode === 'auto') {
    const { gap, minRegion, spotBlacks, keepLines, palette, threshold } = auto;
    worker.postMessage({ type: 'autoflat', id: page.id, file: page.file, hintsFile: page.hintsFile, earlierFile: page.earlier.file, cancelUrl,
      name: page.file.name.replace(/\.png$/i, '') || 'page', options: { gap, minRegion, spotBlacks, keepLines, threshold, palette: palette?.colours ?? null } });
  } else {
    worker.postMessage({ type: 'flat', id: page.id, file: page.file, depth: settings.depth, white: settings.white, cancelUrl });
  }
}

function finishCurrent(state, message) {
  URL.revokeObjectURL(current.cancelUrl);
  if (!current.removed) current.page.setState(state, message);
  current = null;
  next();
}

// A reply's pictures that no viewer will show.
function closeLayers(data) {
  for (const bitmap of Object.values(data.layers || {})) bitmap.close();
}

function onWorkerMessage(data) {
  if (!current || data.id !== current.page.id) {
    closeLayers(data);
    return;
  }
  const { page } = current;
  if (current.removed) {
    if (data.type === 'progress') return;
    closeLayers(data);
    finishCurrent();
    return;
  }
  switch (data.type) {
    case 'progress':
      page.setProgress(data.done, data.total);
      page.message.textContent = `Flatting… ${Math.floor((100 * data.done) / data.total)}%`;
      return;
    case 'done': {
      const seconds = (performance.now() - current.started) / 1000;
      const { key, text, white } = current;
      const showing = performance.now();
      const { started } = current;
      page.showResult(data, seconds, key, text, { white });
      if (page === active && !page.viewer) placeActive(page);
      const viewer = performance.now() - showing;
      const built = performance.now() - started;
      page.node.dataset.times = JSON.stringify({ ...data.times, viewer, built, shown: built });
      // Shown is when the result's first frame is drawn.
      page.viewer?.firstFrame.then((drawn) => {
        page.node.dataset.times = JSON.stringify({ ...JSON.parse(page.node.dataset.times), shown: drawn - started });
      });
      // Auto Flats' files follow the result: the page stays this worker's
      // until they have come.
      if (data.labels) return;
      showStorage();
      URL.revokeObjectURL(current.cancelUrl);
      current = null;
      next();
      return;
    }
    case 'marks':
      page.showMarks(data);
      page.node.dataset.times = JSON.stringify({ ...JSON.parse(page.node.dataset.times), ...data.times });
      return;
    case 'files':
      page.filesMade(data);
      showStorage();
      page.node.dataset.times = JSON.stringify({ ...JSON.parse(page.node.dataset.times), encode: data.encode, files: performance.now() - current.started });
      URL.revokeObjectURL(current.cancelUrl);
      current = null;
      next();
      return;
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
  const done = pages.filter((p) => p.result?.blob);
  if (!done.length) return;
  ui.downloadAll.disabled = true;
  ui.status.textContent = 'Packing the zip…';
  const entries = [];
  for (const page of done) {
    try {
      entries.push(await resultFile(page, downloadAs()));
    } catch (error) {
      ui.status.textContent = `${page.file.name} could not be packed: ${error.message}`;
      refreshButtons();
      return;
    }
    // Auto Flats' region map and palette go with their flats.
    if (page.result.map) entries.push([page.result.names.map, page.result.map], [page.result.names.palette, page.result.palette]);
  }
  const names = uniqueNames(entries.map(([name]) => name));
  const files = {};
  for (const [i, [, blob]] of entries.entries())
    files[names[i]] = [new Uint8Array(await blob.arrayBuffer()), { level: 0 }];
  const blob = new Blob([zipSync(files)], { type: 'application/zip' });
  const link = Object.assign(document.createElement('a'), { href: URL.createObjectURL(blob), download: 'vandrel-flats.zip' });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60_000);
  ui.status.textContent = `${plural(done.length, 'result')} in vandrel-flats.zip.`;
  refreshButtons();
}

ui.files.addEventListener('change', () => {
  addFiles(ui.files.files);
  ui.files.value = '';
});
// A file dropped anywhere is taken: a drop the page did not catch would
// make the browser open the file in place of the page.
let dragDepth = 0;
const carriesFiles = (event) => [...(event.dataTransfer?.types || [])].includes('Files');
document.addEventListener('dragenter', (event) => {
  if (!carriesFiles(event)) return;
  dragDepth++;
  document.body.classList.add('dragging');
});
document.addEventListener('dragleave', () => {
  dragDepth = Math.max(0, dragDepth - 1);
  if (!dragDepth) document.body.classList.remove('dragging');
});
document.addEventListener('dragover', (event) => {
  if (!carriesFiles(event)) return;
  event.preventDefault();
  event.dataTransfer.dropEffect = 'copy';
});
document.addEventListener('drop', (event) => {
  event.preventDefault();
  dragDepth = 0;
  document.body.classList.remove('dragging');
  if (event.dataTransfer?.files?.length) addFiles(event.dataTransfer.files);
});
ui.depth.addEventListener('input', () => setDepth(ui.depth.value, true));
ui.depth.addEventListener('change', () => setDepth(ui.depth.value, false));
ui.slider.addEventListener('input', () => setDepth(ui.slider.value, false));
ui.white.addEventListener('change', () => {
  settings.white = ui.white.checked;
  saveSettings(settings);
  settingsChanged();
});
for (const radio of [ui.modeFlat, ui.modeAuto]) {
  radio.addEventListener('change', () => {
    auto.mode = ui.modeAuto.checked ? 'auto' : 'flat';
    document.body.classList.toggle('mode-auto', auto.mode === 'auto');
    saveAutoSettings(auto);
    settingsChanged();
  });
}
const autoField = (field, read, name) => field.addEventListener('change', () => {
  auto[name] = read(field);
  if (field.type === 'number') field.value = auto[name] ?? '';
  saveAutoSettings(auto);
  settingsChanged();
});
autoField(ui.gap, (f) => clampGap(f.value), 'gap');
autoField(ui.minRegion, (f) => clampMinRegion(f.value), 'minRegion');
autoField(ui.threshold, (f) => clampThreshold(f.value), 'threshold');
autoField(ui.spotBlacks, (f) => f.value, 'spotBlacks');
autoField(ui.keepLines, (f) => f.checked, 'keepLines');
ui.palette.addEventListener('change', async () => {
  const file = ui.palette.files[0];
  ui.palette.value = '';
  if (!file) return;
  try {
    if (file.size > 4 << 20) throw new Error('the palette is larger than 4 MB: not a palette file');
    auto.palette = { name: file.name, colours: parsePalette(await file.text()) };
    ui.status.textContent = `Palette ${file.name}: ${plural(auto.palette.colours.length, 'colour')}.`;
  } catch (error) {
    ui.status.textContent = `The palette ${file.name} is not used: ${error.message}`;
    return;
  }
  saveAutoSettings(auto);
  showSettings();
  refreshButtons();
});
ui.paletteClear.addEventListener('click', () => {
  auto.palette = null;
  saveAutoSettings(auto);
  showSettings();
  settingsChanged();
});
ui.flat.addEventListener('click', flatAll);
ui.cancel.addEventListener('click', cancel);
ui.downloadAll.addEventListener('click', downloadAll);
const downloadAs = layeredDownloads({ choice: $('download-as'), list: ui.pages, pageOf: (link) => pages.find((p) => p.download === link),
  say: (text) => { ui.status.textContent = text; } });
ui.clear.addEventListener('click', clearList);
ui.clearStorage.addEventListener('click', clearStorage);
document.addEventListener('keydown', (event) => {
  const direction = stepKey(event);
  if (!direction) return;
  event.preventDefault();
  step(direction);
});

showSettings();
refreshButtons();
startWorker();
keptFiles().then((kept) => {
  for (const { key, file, result } of kept) addPage(file, key, result);
  let onScreen = null;
  try {
    onScreen = localStorage.getItem('vandrel-on-screen');
  } catch {
    // The first page, then.
  }
  select(pages.find((p) => p.savedKey === onScreen) ?? pages[0] ?? null);
  const results = kept.filter((k) => k.result).length;
  if (kept.length) ui.status.textContent = `${plural(kept.length, 'page')} kept from your last visit${results ? ` (${plural(results, 'result')} with their fixes)` : ''}. ${summary(pages, currentKey())}`;
  showStorage();
  document.body.dataset.restored = 'true';
  refreshButtons();
});
if ('serviceWorker' in navigator && location.protocol !== 'file:') navigator.serviceWorker.register('offline.js').catch(() => {});

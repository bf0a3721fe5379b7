// One entry of the page list: its name, progress and message, its remove
// button and download links, and its result. A result lives in two forms:
// kept (its files and compressed layers, in the browser's database, with
// every fix) for every flatted page, and live (full-size layers, viewer,
// fix tools) only while the page is the one on screen, so that memory does
// not grow with the chapter.
import { autoResultNames, resultName } from './Names.js';
import { Viewer } from './Viewer.js';
import { RegionFixes } from './RegionFixes.js';
import { remelt, warmRemelt } from './RemeltClient.js';
import { restore } from './RestoreClient.js';
import { AutoSaver } from './AutoSaver.js';
import { EarlierFlatsChoice } from './EarlierFlats.js';
import { historyOf, packedHistory, replayFixes, unpackedHistory } from './FixHistory.js';
import { changeResult, forgetResult, keepResult } from './SavedPages.js';

let nextId = 1;

function element(tag, props = {}, children = []) {
  const node = Object.assign(document.createElement(tag), props);
  for (const child of children) node.append(child);
  return node;
}

// A link's old address may be the one a download in progress is reading.
function revokeLater(url) {
  setTimeout(() => URL.revokeObjectURL(url), 60_000);
}

function closeLayers(layers) {
  for (const bitmap of Object.values(layers || {})) bitmap?.close?.();
}

// A hints page is known by its name, size and date, which outlive a reload.
export function hintsIdentity(file) {
  return file ? `${file.name}:${file.size}:${file.lastModified}` : '';
}

export class PageEntry {
  constructor(file, { savedKey = null, onRemove, onHints, onSelect, onShown }) {
    this.id = nextId++;
    this.file = file;
    this.savedKey = savedKey;
    this.onShown = onShown ?? (() => {});
    this.state = 'checking';
    this.doneKey = null;
    this.result = null;  // { name, blob, names, map, palette }: the files to download
    this.stored = null;  // the result as kept: { kind, doneKey, message, meta, base, files, history, saved }
    this.live = null;    // on screen: { viewer, fixes, saver }
    this.active = false;
    this.download = null;
    this.extraLinks = [];

    this.pick = element('button', { type: 'button', className: 'page-name', textContent: file.name, title: 'Show this page (PageUp / PageDown, [ / ])' });
    this.pick.addEventListener('click', () => onSelect?.(this));
    this.title = element('h3', {}, [this.pick]);
    this.progress = element('progress', { max: 1, value: 0 });
    this.progress.setAttribute('aria-label', `Progress of ${file.name}`);
    this.message = element('p', { className: 'message', textContent: 'Reading…' });
    this.remove = element('button', { type: 'button', className: 'remove small', textContent: 'Remove' });
    this.remove.setAttribute('aria-label', `Remove ${file.name} from the list`);
    this.remove.addEventListener('click', () => onRemove(this));
    // Auto Flats may take its hints from a second page of the same size.
    this.hintsFile = null;
    this.hintsInput = element('input', { type: 'file', accept: '.png,image/png', className: 'visually-hidden', id: `hints-${this.id}` });
    this.hintsLabel = element('label', { className: 'button small auto-only', htmlFor: this.hintsInput.id, textContent: 'Hints page…',
      title: 'A second page of the same size whose colours are hints, as if painted on the line art: every colour counts, greys and pale ones too; white, black and transparent pixels do not' });
    this.hintsInput.addEventListener('change', () => {
      this.setHints(this.hintsInput.files[0] || null);
      onHints?.(this);
    });
    this.earlier = new EarlierFlatsChoice(this.id, () => onHints?.(this));
    this.actions = element('span', { className: 'page-actions' }, [this.hintsLabel, this.hintsInput, ...this.earlier.nodes, this.remove]);
    // What the stage shows while the page is on screen.
    this.view = element('div', { className: 'view' });
    this.node = element('li', { className: 'page checking' }, [
      element('header', {}, [this.title, this.progress, this.actions]),
      this.message,
    ]);
    this.node.dataset.name = file.name;
    this.node.dataset.state = 'checking';
  }

  get viewer() {
    return this.live?.viewer ?? null;
  }

  get hintsId() {
    return hintsIdentity(this.hintsFile);
  }

  setHints(file) {
    this.hintsFile = file;
    this.hintsLabel.textContent = file ? `Hints: ${file.name}` : 'Hints page…';
  }

  setState(state, message) {
    this.state = state;
    this.node.className = `page ${state}${this.active ? ' active' : ''}`;
    this.node.dataset.state = state;
    this.message.textContent = message;
    this.progress.hidden = state === 'refused';
    // The stage says what became of the page on screen until it has a result.
    if (this.active && !this.live && !this.restoring) this.onShown(this);
  }

  setProgress(done, total) {
    this.progress.max = total;
    this.progress.value = done;
  }

  clearResult() {
    this.closeLive(false);
    this.unlink();
    this.result = null;
    this.doneKey = null;
    if (this.stored) forgetResult(this.savedKey);
    this.stored = null;
  }

  unlink() {
    for (const a of [this.download, ...this.extraLinks]) {
      if (a?.getAttribute('href')) URL.revokeObjectURL(a.href);
      a?.remove();
    }
    this.download = null;
    this.extraLinks = [];
  }

  // `keep`: fixes not saved yet are saved before the layers go (the
  // history is already kept, so a save cut short loses nothing).
  closeLive(keep = true) {
    const live = this.live;
    this.live = null;
    this.view.replaceChildren();
    if (!live) return;
    live.viewer.close();
    if (live.saver && keep) live.saver.flush().catch(() => live.saver.close());
    else live.saver?.close();
  }

  // The page comes on screen: its live result is made from what is kept.
  async activate() {
    this.active = true;
    this.node.classList.add('active');
    this.pick.setAttribute('aria-current', 'page');
    const record = this.stored;
    if (this.live || !record || this.state !== 'done' || (record.kind === 'auto' && !record.base)) {
      this.onShown(this);
      return;
    }
    this.restoring = true;
    this.onShown(this);
    const started = performance.now();
    const [reply, history] = await Promise.all([
      restore({ kind: record.kind, file: this.file, meta: record.meta, base: record.base, files: record.files }),
      unpackedHistory(record.history).catch(() => null),
    ]);
    this.restoring = false;
    if (!this.active || this.stored !== record || this.live) {
      closeLayers(reply.layers);
      reply.later?.then((ink) => ink?.close());
      return;
    }
    if (reply.type !== 'restored') {
      this.clearResult();
      this.setState('ready', `The kept result could not be shown (${reply.message}): press Flat to make it again.`);
      this.onShown(this);
      return;
    }
    if (record.kind === 'auto') {
      // Fixes that cannot be read back cost the fixes, not the result: it
      // is shown as flatted, and nothing kept is written over until the
      // next fix, so the kept downloads still hold the fixed pages.
      if (!history) this.message.textContent = `${record.message}. The fixes kept with it could not be read back: it is shown as flatted.`;
      record.history = history ?? { done: [], undone: [], stamp: record.history?.stamp ?? 0 };
      this.showAuto(reply, true);
      const { viewer } = this.live;
      reply.later.then((ink) => {
        if (this.live?.viewer === viewer && ink) viewer.setLayer('lineArt', ink);
        else ink?.close();
      });
      this.showMarks({ layers: { tooDeep: reply.layers.tooDeep }, smallRegions: reply.smallRegions, gapPixels: reply.gapPixels });
    } else {
      this.showFlat(reply);
    }
    const built = performance.now() - started;
    this.live.viewer.firstFrame.then((drawn) => {
      this.node.dataset.restoreTimes = JSON.stringify({ ...reply.times, built });
      this.node.dataset.restoreMs = String(drawn - started);
      this.node.dataset.shownAt = String(drawn);
    });
  }

  deactivate() {
    this.active = false;
    this.node.classList.remove('active');
    this.pick.removeAttribute('aria-current');
    this.closeLive();
  }

  // A result kept from an earlier visit.
  keep(record) {
    // Its layers or files were never kept: it is flatted again.
    if (record.kind === 'auto' ? !record.base || !record.meta?.regionCount : !record.files?.flats) return;
    this.stored = record;
    this.doneKey = record.doneKey;
    if (record.meta.hintsFile) this.setHints(record.meta.hintsFile);
    if (record.meta.earlierFile) this.earlier.set(record.meta.earlierFile);
    this.setState('done', record.message);
    this.progress.value = this.progress.max;
    if (record.kind === 'flat') {
      this.result = { name: resultName(this.file.name), blob: record.files.flats };
      this.linkFlat();
      return;
    }
    this.result = { name: autoResultNames(this.file.name).flats, names: autoResultNames(this.file.name), blob: null, map: null, palette: null };
    this.makeAutoLinks();
    this.node.dataset.fixes = String(record.history?.stamp ?? 0);
    if (record.files && record.saved?.stamp === record.history?.stamp) this.linkFiles(record.files, record.saved.stamp);
  }

  // The database's copies of the files replace the ones in memory.
  async persist() {
    const record = this.stored;
    if (!record || !this.savedKey) return;
    const wrote = { base: record.base, files: record.files };
    const back = await keepResult(this.savedKey, { ...record, history: packedHistory(record.history) });
    if (!back || this.stored !== record) return;
    if (record.base === wrote.base) record.base = back.base;
    if (record.files === wrote.files && back.files) {
      record.files = back.files;
      if (record.kind === 'flat') {
        this.result.blob = back.files.flats;
        this.linkFlat();
      } else if (record.saved?.stamp === record.history.stamp) {
        this.linkFiles(back.files, record.saved.stamp);
      }
    }
  }

  // The list learnt the page's key in the database after its result came.
  keyKnown(key) {
    this.savedKey = key;
    if (this.stored) this.persist();
  }

  // The link stays the same element when its file is replaced by the
  // database's copy: someone may be about to click it.
  linkFlat() {
    if (this.download) {
      revokeLater(this.download.href);
      this.download.href = URL.createObjectURL(this.result.blob);
      return;
    }
    this.download = element('a', { className: 'button download', textContent: 'Download', href: URL.createObjectURL(this.result.blob), download: this.result.name });
    this.download.setAttribute('aria-label', `Download the flatted ${this.file.name}`);
    this.actions.prepend(this.download);
  }

  // The links exist only while there is a result to save.
  showResult(data, seconds, key, settingsText, { white = false } = {}) {
    this.clearResult();
    this.doneKey = key;
    this.progress.value = this.progress.max;
    this.node.dataset.runs = String(Number(this.node.dataset.runs || 0) + 1);
    if (data.labels) {
      this.autoResult(data, seconds, key, settingsText);
      return;
    }
    const { blob, width, height, channels, layers, tooDeepCount } = data;
    this.result = { blob, name: resultName(this.file.name) };
    this.linkFlat();
    const deep = tooDeepCount ? `; ${tooDeepCount} line-art pixel${tooDeepCount === 1 ? '' : 's'} too deep to reach` : '';
    const notes = (data.notices || []).map((n) => `. Note: ${n}`).join('');
    const message = `Flatted in ${seconds.toFixed(2)} s at ${settingsText}${deep}${notes}`;
    this.setState('done', message);
    this.stored = { kind: 'flat', doneKey: key, message, meta: { width, height, channels, white }, files: { flats: blob }, history: null };
    this.persist();
    if (this.active) this.showFlat({ layers, tooDeepCount });
    else closeLayers(layers);
  }

  showFlat({ layers, tooDeepCount }) {
    const { width, height } = this.stored.meta;
    const viewer = new Viewer({ id: this.id, name: this.file.name, width, height, layers, tooDeepCount });
    this.live = { viewer, fixes: null, saver: null };
    this.view.replaceChildren(viewer.node);
    this.onShown(this);
  }

  autoResult(data, seconds, key, settingsText) {
    const { width, height, channels, regionCount, gap, colours, meltDepth } = data;
    const names = autoResultNames(this.file.name);
    this.result = { blob: null, name: names.flats, map: null, palette: null, names };
    this.makeAutoLinks();
    this.markSaving();
    this.node.dataset.fixes = '0';
    const message = `Auto-flatted in ${seconds.toFixed(2)} s: ${regionCount} regions, gap ${gap} px (${settingsText})`;
    this.setState('done', message);
    this.stored = {
      kind: 'auto', doneKey: key, message, base: null, files: null, history: { done: [], undone: [], stamp: 0 }, saved: { stamp: -1 },
      meta: {
        width, height, channels, regionCount, gap, meltDepth, smallest: data.smallest, colours, kept: data.kept || [],
        hintsFile: this.hintsFile, earlierFile: this.earlier.file,
      },
    };
    if (this.active) this.showAuto(data, false);
    else closeLayers(data.layers);
  }

  makeAutoLinks() {
    this.unlink();
    const link = (text, label, className) => {
      const a = element('a', { className: `button ${className}`, textContent: text });
      a.setAttribute('aria-label', `${label} of ${this.file.name}`);
      return a;
    };
    this.download = link('Download', 'Download the flats', 'download');
    this.extraLinks = [link('Region map', 'Download the region map', 'download-map'), link('Palette', 'Download the regions\' palette', 'download-palette')];
    this.actions.prepend(this.download, ...this.extraLinks);
    this.markSaving();
  }

  // The live result of Auto Flats: fixes over its layers, replayed when
  // it comes back from storage.
  showAuto({ labels, flatsRgba, marks, layers }, restored) {
    const record = this.stored;
    const { width, height, channels, regionCount, colours, meltDepth, smallest, kept } = record.meta;
    const fixes = new RegionFixes({ labels, colours, regionCount, flats: flatsRgba, width, height, marks, remelt, meltDepth, smallest });
    replayFixes(fixes, record.history);
    const saver = new AutoSaver({ fixes, channels, kept, names: this.result.names, onSaved: (files, version) => this.saved(record, files, version) });
    saver.version = record.history.stamp;
    // A fresh result's files are on their way from the flat worker.
    saver.savedVersion = Math.max(0, record.saved.stamp);
    const after = Object.assign(document.createElement('canvas'), { width, height });
    after.getContext('2d').putImageData(new ImageData(flatsRgba, width, height), 0, 0);
    const viewer = new Viewer({
      // A kept page's ink comes after its first frame (Viewer.setLayer).
      id: this.id, name: this.file.name, width, height, tooDeepCount: null,
      layers: { before: layers.before, after, ...(layers.lineArt ? { lineArt: layers.lineArt } : {}) },
      fixes, flats: flatsRgba, marksName: 'Small regions', onFix: () => this.fixed(),
    });
    this.live = { viewer, fixes, saver };
    this.view.replaceChildren(viewer.node);
    if (restored && record.saved.stamp !== record.history.stamp) {
      this.markSaving();
      saver.saveNow();
    }
    this.onShown(this);
    // Every region's box is found in one pass over the page, and the split's
    // worker starts with its own engine: both before the first click, but
    // after the first frame, which they would otherwise hold back.
    viewer.firstFrame.then(() => setTimeout(() => {
      fixes.box(0);
      warmRemelt();
    }, 0));
  }

  // A fix is kept at once; its files follow once the fixing pauses.
  fixed() {
    const { fixes, saver } = this.live;
    this.node.dataset.fixes = String(Number(this.node.dataset.fixes || 0) + 1);
    this.markSaving();
    saver.changed();
    this.stored.history = historyOf(fixes, saver.version);
    changeResult(this.savedKey, { history: packedHistory(this.stored.history) });
  }

  async saved(record, files, version) {
    if (this.stored !== record) return;
    if (record.history.stamp === version) this.linkFiles(files, version);
    record.files = files;
    record.saved = { stamp: version };
    const back = await changeResult(this.savedKey, { files, saved: record.saved });
    if (back?.files && this.stored === record && record.files === files) {
      record.files = back.files;
      if (record.history.stamp === version) this.linkFiles(back.files, version);
    }
  }

  // Auto Flats' marks of small regions and closed gaps, which follow the
  // result.
  showMarks({ layers, smallRegions, gapPixels }) {
    const name = `Small regions${gapPixels ? ', closed gaps' : ''}`;
    if (this.viewer) this.viewer.setMarks(layers.tooDeep, smallRegions + (gapPixels ? 1 : 0), name);
    else layers.tooDeep.close();
  }

  // The files and kept layers as the worker made them. A fix made before
  // they came is saved by its own save instead.
  filesMade({ blob, map, palette, base }) {
    const record = this.stored;
    if (!record || record.kind !== 'auto') return;
    record.base = base;
    if (record.history.stamp === 0 && record.saved.stamp < 0) {
      record.files = { flats: blob, map, palette };
      record.saved = { stamp: 0 };
      this.linkFiles(record.files, 0);
    }
    this.persist();
    // Switched to before its layers were kept.
    if (this.active && !this.live) this.activate();
  }

  // Until the fixed files are saved, the links would hand out the files
  // from before the fix: they do nothing meanwhile.
  markSaving() {
    for (const a of [this.download, ...this.extraLinks]) {
      if (a.getAttribute('href')) URL.revokeObjectURL(a.href);
      a.removeAttribute('href');
      a.setAttribute('aria-disabled', 'true');
      a.classList.add('saving');
    }
    this.download.textContent = 'Saving…';
  }

  // Fixed flats are saved again a moment after the last fix; the links
  // always point at the newest saved files.
  linkFiles({ flats, map, palette }, version) {
    const set = (a, blob, name) => {
      if (a.getAttribute('href')) revokeLater(a.href);
      a.href = URL.createObjectURL(blob);
      a.download = name;
    };
    this.result.blob = flats;
    this.result.map = map;
    this.result.palette = palette;
    for (const a of [this.download, ...this.extraLinks]) {
      a.removeAttribute('aria-disabled');
      a.classList.remove('saving');
    }
    this.download.textContent = 'Download';
    set(this.download, flats, this.result.names.flats);
    set(this.extraLinks[0], map, this.result.names.map);
    set(this.extraLinks[1], palette, this.result.names.palette);
    this.node.dataset.savedVersion = String(version);
  }

  dispose() {
    this.clearResult();
    this.node.remove();
  }
}

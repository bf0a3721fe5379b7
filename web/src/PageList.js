// One entry of the page list: its name, progress and message, its remove
// button, and once flatted its viewer and download link.
import { autoResultNames, resultName } from './Names.js';
import { Viewer } from './Viewer.js';
import { RegionFixes } from './RegionFixes.js';
import { remelt, warmRemelt } from './RemeltClient.js';
import { AutoSaver } from './AutoSaver.js';
import { EarlierFlatsChoice } from './EarlierFlats.js';

let nextId = 1;

function element(tag, props = {}, children = []) {
  const node = Object.assign(document.createElement(tag), props);
  for (const child of children) node.append(child);
  return node;
}

export class PageEntry {
  constructor(file, { savedKey = null, onRemove, onHints }) {
    this.id = nextId++;
    this.file = file;
    this.savedKey = savedKey;
    this.state = 'checking';
    this.doneKey = null;
    this.result = null;  // { blob, url, name }
    this.viewer = null;
    this.download = null;

    this.title = element('h3', { textContent: file.name });
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
      this.hintsFile = this.hintsInput.files[0] || null;
      this.hintsLabel.textContent = this.hintsFile ? `Hints: ${this.hintsFile.name}` : 'Hints page…';
      onHints?.(this);
    });
    this.earlier = new EarlierFlatsChoice(this.id, () => onHints?.(this));
    this.actions = element('span', { className: 'page-actions' }, [this.hintsLabel, this.hintsInput, ...this.earlier.nodes, this.remove]);
    this.view = element('div', { className: 'view', hidden: true });
    this.node = element('li', { className: 'page checking' }, [
      element('header', {}, [this.title, this.progress, this.actions]),
      this.message,
      this.view,
    ]);
    this.node.dataset.name = file.name;
    this.node.dataset.state = 'checking';
  }

  setState(state, message) {
    this.state = state;
    this.node.className = `page ${state}`;
    this.node.dataset.state = state;
    this.message.textContent = message;
    this.progress.hidden = state === 'refused';
  }

  setProgress(done, total) {
    this.progress.max = total;
    this.progress.value = done;
  }

  clearResult() {
    if (this.result) URL.revokeObjectURL(this.result.url);
    this.saver?.close();
    this.saver = null;
    this.result = null;
    this.doneKey = null;
    this.download?.remove();
    this.download = null;
    for (const link of this.extraLinks || []) link.remove();
    this.extraLinks = [];
    this.viewer?.close();
    this.viewer = null;
    this.view.hidden = true;
    this.view.replaceChildren();
  }

  // The links exist only while there is a result to save.
  showResult(data, seconds, key, settingsText) {
    if (data.labels) {
      this.showAutoResult(data, seconds, key, settingsText);
      return;
    }
    const { blob, width, height, layers, tooDeepCount } = data;
    this.clearResult();
    const url = URL.createObjectURL(blob);
    this.result = { blob, url, name: resultName(this.file.name) };
    this.doneKey = key;
    this.download = element('a', { className: 'button download', textContent: 'Download', href: url, download: this.result.name });
    this.download.setAttribute('aria-label', `Download the flatted ${this.file.name}`);
    this.actions.prepend(this.download);
    this.progress.value = this.progress.max;
    const deep = tooDeepCount ? `; ${tooDeepCount} line-art pixel${tooDeepCount === 1 ? '' : 's'} too deep to reach` : '';
    this.node.dataset.runs = String(Number(this.node.dataset.runs || 0) + 1);
    const notes = (data.notices || []).map((n) => `. Note: ${n}`).join('');
    this.setState('done', `Flatted in ${seconds.toFixed(2)} s at ${settingsText}${deep}${notes}`);
    this.viewer = new Viewer({ id: this.id, name: this.file.name, width, height, layers, tooDeepCount });
    this.view.replaceChildren(this.viewer.node);
    this.view.hidden = false;
  }

  showAutoResult(data, seconds, key, settingsText) {
    const { blob, width, height, layers, regionCount, gap, labels, colours, flatsRgba, channels } = data;
    this.clearResult();
    const names = autoResultNames(this.file.name);
    this.result = { blob, url: null, name: names.flats, map: data.map, palette: data.palette, names };
    this.doneKey = key;
    const link = (text, label, className) => {
      const a = element('a', { className: `button ${className}`, textContent: text });
      a.setAttribute('aria-label', `${label} of ${this.file.name}`);
      return a;
    };
    this.download = link('Download', 'Download the flats', 'download');
    const mapLink = link('Region map', 'Download the region map', 'download-map');
    const paletteLink = link('Palette', 'Download the regions\' palette', 'download-palette');
    this.extraLinks = [mapLink, paletteLink];
    this.actions.prepend(this.download, mapLink, paletteLink);
    const fixes = new RegionFixes({ labels, colours, regionCount, flats: flatsRgba, width, height, marks: data.marks, remelt, meltDepth: data.meltDepth, smallest: data.smallest });
    this.saver = new AutoSaver({ fixes, channels, kept: data.kept || [], names, onSaved: (files, version) => this.linkFiles(files, version) });
    this.markSaving();
    this.progress.value = this.progress.max;
    this.node.dataset.runs = String(Number(this.node.dataset.runs || 0) + 1);
    this.node.dataset.fixes = '0';
    this.setState('done', `Auto-flatted in ${seconds.toFixed(2)} s: ${regionCount} regions, gap ${gap} px (${settingsText})`);
    const after = Object.assign(document.createElement('canvas'), { width, height });
    after.getContext('2d').putImageData(new ImageData(flatsRgba, width, height), 0, 0);
    this.viewer = new Viewer({
      id: this.id, name: this.file.name, width, height, layers: { ...layers, after }, tooDeepCount: null,
      fixes, flats: flatsRgba, marksName: 'Small regions',
      onFix: () => {
        this.node.dataset.fixes = String(Number(this.node.dataset.fixes) + 1);
        this.markSaving();
        this.saver.changed();
      },
    });
    this.view.replaceChildren(this.viewer.node);
    this.view.hidden = false;
    // Every region's box is found in one pass over the page, and the split's
    // worker starts with its own engine: both before the first click, but
    // after the first frame, which they would otherwise hold back.
    this.viewer.firstFrame.then(() => setTimeout(() => {
      fixes.box(0);
      warmRemelt();
    }, 0));
  }

  // Auto Flats' marks of small regions and closed gaps, which follow the
  // result.
  showMarks({ layers, smallRegions, gapPixels }) {
    const name = `Small regions${gapPixels ? ', closed gaps' : ''}`;
    if (this.viewer) this.viewer.setMarks(layers.tooDeep, smallRegions + (gapPixels ? 1 : 0), name);
    else layers.tooDeep.close();
  }

  // The files as the worker made them, unless a fix came first: its own
  // save replaces them.
  filesMade({ blob, map, palette }) {
    if (!this.saver || this.saver.version > 0) return;
    this.linkFiles({ flats: blob, map, palette }, 0);
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
      if (a.getAttribute('href')) URL.revokeObjectURL(a.href);
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

// One entry of the page list: its name, progress, message, the before and
// after view, and its download link.
import { resultName } from './Names.js';

let nextId = 1;

function element(tag, props = {}, children = []) {
  const node = Object.assign(document.createElement(tag), props);
  for (const child of children) node.append(child);
  return node;
}

export class PageEntry {
  constructor(file) {
    this.id = nextId++;
    this.file = file;
    this.state = 'waiting';
    this.result = null;  // { blob, url, name }
    this.beforeUrl = null;

    this.title = element('h3', { textContent: file.name });
    this.progress = element('progress', { max: 1, value: 0 });
    this.progress.setAttribute('aria-label', `Progress of ${file.name}`);
    this.message = element('p', { className: 'message', textContent: 'Waiting' });
    this.download = element('a', { className: 'button download', textContent: 'Download', hidden: true });
    this.download.setAttribute('aria-label', `Download the flatted ${file.name}`);
    this.view = element('div', { className: 'view', hidden: true });
    this.node = element('li', { className: 'page waiting' }, [
      element('header', {}, [this.title, this.progress, this.download]),
      this.message,
      this.view,
    ]);
    this.node.dataset.name = file.name;
  }

  setState(state, message) {
    this.state = state;
    this.node.className = `page ${state}`;
    this.node.dataset.state = state;
    this.message.textContent = message;
  }

  setProgress(done, total) {
    this.progress.max = total;
    this.progress.value = done;
  }

  clearResult() {
    if (this.result) URL.revokeObjectURL(this.result.url);
    this.result = null;
    this.download.hidden = true;
    this.view.hidden = true;
    this.view.replaceChildren();
  }

  // `notices`: what the result could not keep of the file, one line each.
  showResult(blob, seconds, notices = []) {
    this.clearResult();
    const url = URL.createObjectURL(blob);
    this.result = { blob, url, name: resultName(this.file.name) };
    this.download.href = url;
    this.download.download = this.result.name;
    this.download.hidden = false;
    this.progress.value = this.progress.max;
    this.setState('done', `Flatted in ${seconds.toFixed(2)} s` + notices.map((n) => `. Note: ${n}`).join(''));
    this.showComparison();
  }

  // A wipe: the result lies over the original and the slider uncovers it
  // from the right.
  showComparison() {
    if (!this.beforeUrl) this.beforeUrl = URL.createObjectURL(this.file);
    // Large pages take the browser a while to decode: never on the page's thread.
    const before = element('img', { className: 'before', decoding: 'async', src: this.beforeUrl, alt: `${this.file.name}, before` });
    const after = element('img', { className: 'after', decoding: 'async', src: this.result.url, alt: `${this.file.name}, flatted` });
    const compare = element('div', { className: 'compare' }, [before, after]);
    const wipeId = `wipe-${this.id}`;
    const wipe = element('input', { id: wipeId, type: 'range', min: 0, max: 100, value: 50 });
    wipe.addEventListener('input', () => compare.style.setProperty('--wipe', `${wipe.value}%`));
    const label = element('label', { htmlFor: wipeId, textContent: 'Before | after' });
    this.view.replaceChildren(compare, element('div', { className: 'wipe' }, [label, wipe]));
    this.view.hidden = false;
  }
}

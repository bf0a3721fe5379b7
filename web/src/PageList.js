// One entry of the page list: its name, progress and message, its remove
// button, and once flatted its viewer and download link.
import { resultName } from './Names.js';
import { Viewer } from './Viewer.js';

let nextId = 1;

function element(tag, props = {}, children = []) {
  const node = Object.assign(document.createElement(tag), props);
  for (const child of children) node.append(child);
  return node;
}

export class PageEntry {
  constructor(file, { savedKey = null, onRemove }) {
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
    this.actions = element('span', { className: 'page-actions' }, [this.remove]);
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
    this.result = null;
    this.doneKey = null;
    this.download?.remove();
    this.download = null;
    this.viewer?.close();
    this.viewer = null;
    this.view.hidden = true;
    this.view.replaceChildren();
  }

  // The link exists only while there is a result to save.
  showResult({ blob, width, height, layers, tooDeepCount }, seconds, key, settingsText) {
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
    this.setState('done', `Flatted in ${seconds.toFixed(2)} s at ${settingsText}${deep}`);
    this.viewer = new Viewer({ id: this.id, name: this.file.name, width, height, layers, tooDeepCount });
    this.view.replaceChildren(this.viewer.node);
    this.view.hidden = false;
  }

  dispose() {
    this.clearResult();
    this.node.remove();
  }
}

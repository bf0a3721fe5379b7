// The tools that fix an Auto Flats result in place, beside its viewer:
// give a region the picker's colour, take a region's colour into the
// picker, merge one region into another or every region inside one into
// it, split one with a stroke. Undo and redo walk the fixes back and forth.
import { regionsInside } from './EnclosedRegions.js';
import { regionsInLoop } from './LassoRegions.js';
import { kSnapReach, snapStroke } from './StrokeSnap.js';
import { Swatches, pageColours } from './Swatches.js';

function element(tag, props = {}, children = []) {
  const node = Object.assign(document.createElement(tag), props);
  for (const child of children) node.append(child);
  return node;
}

const hex = (rgb) => `#${rgb.map((v) => v.toString(16).padStart(2, '0')).join('')}`;
const rgbOf = (text) => [1, 3, 5].map((i) => parseInt(text.slice(i, i + 2), 16));

const kTools = [
  ['move', 'Move', 'Drag to pan (no fixing)'],
  ['colour', 'Colour', 'Click a region to give it the picker\'s colour'],
  ['pick', 'Pick', 'Click a region to take its colour into the picker'],
  ['merge', 'Merge', 'Click a region, then the one to merge into it'],
  ['inside', 'Merge inside', 'Click a region: every region wholly inside it (letter counters, wedges) merges into it'],
  ['lasso', 'Lasso merge', 'Draw a loop from inside a region: every region the loop encloses merges into it'],
  ['split', 'Split', 'Draw a short stroke across a region where a gap in its lines was not closed'],
];

export class FixTools {
  constructor({ id, fixes, onFix }) {
    this.fixes = fixes;
    this.onFix = onFix;
    this.tool = 'move';
    this.mergeFirst = null;
    this.buttons = {};
    const group = kTools.map(([tool, text, title]) => {
      const b = element('button', { type: 'button', className: 'small', textContent: text, title });
      b.dataset.tool = tool;
      b.setAttribute('aria-pressed', String(tool === this.tool));
      b.addEventListener('click', () => this.choose(tool));
      this.buttons[tool] = b;
      return b;
    });
    this.picker = element('input', { type: 'color', id: `fix-colour-${id}`, value: '#e8c170', title: 'The colour the Colour tool gives' });
    this.picker.setAttribute('aria-label', 'Colour for the Colour tool');
    this.undoButton = element('button', { type: 'button', className: 'small', textContent: 'Undo', title: 'Undo the last fix (Ctrl+Z)' });
    this.redoButton = element('button', { type: 'button', className: 'small', textContent: 'Redo', title: 'Redo (Ctrl+Shift+Z)' });
    this.undoButton.addEventListener('click', () => this.undo());
    this.redoButton.addEventListener('click', () => this.redo());
    this.note = element('span', { className: 'fix-note', textContent: 'Fix:' });
    this.note.setAttribute('role', 'status');
    this.swatches = new Swatches({ choose: (colour) => {
      this.picker.value = colour;
      this.choose('colour');
    } });
    this.node = element('div', { className: 'fix-tools' }, [element('span', { textContent: 'Fix:' }), ...group, this.picker, this.undoButton, this.redoButton, this.note, this.swatches.node]);
    this.refresh();
  }

  choose(tool) {
    this.tool = tool;
    this.mergeFirst = null;
    for (const [name, b] of Object.entries(this.buttons)) b.setAttribute('aria-pressed', String(name === tool));
    this.say(kTools.find(([t]) => t === tool)[2]);
  }

  say(text) {
    this.note.textContent = text;
  }

  refresh() {
    this.undoButton.disabled = !this.fixes.done.length;
    this.redoButton.disabled = !this.fixes.undone.length;
    if (this.fixes.areas) this.showPageColours();
  }

  // The page's colours need every region's area: found with the boxes, in
  // one pass over the page, once the result is on screen.
  showPageColours() {
    this.fixes.box(0);
    this.swatches.showPage(pageColours(this.fixes.colours, this.fixes.areas));
  }

  done(box, text) {
    this.refresh();
    if (box) this.onFix(box);
    if (text) this.say(text);
  }

  click({ x, y }) {
    const region = this.fixes.regionAt(x, y);
    // A split waiting for its melt owns the labels until it lands.
    if (region === null || this.busy) return;
    if (this.tool === 'colour') {
      const box = this.fixes.recolour(region, rgbOf(this.picker.value));
      if (box) this.swatches.used(this.picker.value);
      this.done(box, box ? `Region ${region} recoloured.` : `Region ${region} already has that colour.`);
    } else if (this.tool === 'pick') {
      this.picker.value = hex(this.fixes.colours[region]);
      this.say(`Took region ${region}'s colour; the Colour tool gives it now.`);
      this.choose('colour');
    } else if (this.tool === 'merge') {
      if (this.mergeFirst === null || this.mergeFirst === region) {
        this.mergeFirst = region;
        this.say(`Region ${region} chosen: click the region to merge it into.`);
      } else {
        // The region clicked second is the one the flatter aims at: it stays,
        // with its colour, and the first one joins it.
        const box = this.fixes.merge(region, this.mergeFirst);
        this.done(box, `Region ${this.mergeFirst} merged into region ${region}.`);
        this.mergeFirst = null;
      }
    } else if (this.tool === 'inside') {
      const inside = regionsInside(this.fixes, region);
      const box = this.fixes.mergeAll(region, inside);
      this.done(box, box ? `${inside.length} region${inside.length === 1 ? '' : 's'} inside region ${region} merged into it.`
        : `No region lies wholly inside region ${region}.`);
    }
  }

  // A loop drawn from inside a region: the regions it encloses join it.
  lasso(points) {
    const region = points.length ? this.fixes.regionAt(points[0].x, points[0].y) : null;
    if (region === null || this.busy) return;
    const inside = regionsInLoop(this.fixes, points, region);
    const box = this.fixes.mergeAll(region, inside);
    this.done(box, box ? `${inside.length} region${inside.length === 1 ? '' : 's'} the loop encloses merged into region ${region}.`
      : 'The loop encloses no region wholly: draw it round them.');
  }

  // A split waits for the library's melt; the time from the stroke to the
  // fix on screen is kept for the benchmark.
  async stroke(drawn) {
    if (this.busy || !drawn.length) return;
    const { points, moved } = snapStroke(drawn, this.fixes);
    const region = this.fixes.strokeRegion(drawn);
    if (region === null) return;
    const started = performance.now();
    this.busy = true;
    this.say('Splitting…');
    let outcome;
    try {
      outcome = await this.fixes.split(region, points);
    } catch (error) {
      this.busy = false;
      this.say(`The split failed: ${error.message}`);
      return;
    }
    this.busy = false;
    this.done(outcome.box, splitText(region, outcome, moved));
    if (outcome.steps) this.node.dataset.splitSteps = outcome.steps.join(',');
    requestAnimationFrame(() => requestAnimationFrame(() => { this.node.dataset.splitMs = String(performance.now() - started); }));
  }

  undo() {
    if (this.busy) return;
    this.done(this.fixes.undo(), this.fixes.undone.length ? 'Undone.' : null);
  }

  redo() {
    if (this.busy) return;
    this.done(this.fixes.redo(), 'Redone.');
  }
}

// What a split did, and which of the stroke's ends were carried to the ink.
export function splitText(region, { box, pieces, slivers }, moved) {
  const snapped = moved.filter((d) => d > 0);
  const snap = snapped.length ? ` The stroke's end${snapped.length > 1 ? 's' : ''} snapped to the ink (${snapped.join(' and ')} px).` : '';
  if (box) return `Region ${region} split: ${pieces} new region${pieces === 1 ? '' : 's'}.${snap}`;
  const short = moved.some((d) => d === null) ? ` An end of the stroke is more than ${kSnapReach} px from the ink: draw it from line to line.` : ' Draw it across the whole gap, from line to line.';
  const small = slivers ? ` (it cuts off only ${slivers === 1 ? 'a sliver' : `${slivers} slivers`} smaller than the smallest region)` : '';
  return `The stroke separates nothing${small}: region ${region} is unchanged.${short}${snap}`;
}

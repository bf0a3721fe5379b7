// One page's result on a canvas: zoom from fit to 800% and pan with the
// wheel, a pinch, a drag or the keyboard; before and after split by a
// divider on the image; the line art and the too-deep pixels laid over.
import { clampView, fitView, kMaxScale, minScale, nextScale, percent, toImage, visiblePart, zoomAt } from './ViewMath.js';
import { FixTools } from './FixTools.js';

// Past this many pixels, reduced copies (2048 and 1024 pixels on the long
// side) serve the zoomed-out views: a frame then never scales down more
// than about twofold, nor reads much more than the canvas's own size.
const kReduceAbove = 4_000_000;
const kReducedSides = [2048, 1024];
const kDividerGrab = 8;  // CSS pixels either side of the divider

function element(tag, props = {}, children = []) {
  const node = Object.assign(document.createElement(tag), props);
  for (const child of children) node.append(child);
  return node;
}

function toggle(id, text, title, key) {
  const box = element('input', { type: 'checkbox', id });
  const words = document.createTextNode(` ${text} `);
  const label = element('label', { htmlFor: id, title }, [box, words, element('kbd', { textContent: key })]);
  return { box, label, words };
}

export class Viewer {
  // layers: ImageBitmaps { before, after, lineArt, tooDeep }, all width x height.
  // A null `tooDeepCount` means the marks are still being made: setMarks()
  // brings them.
  // With `fixes` (Auto Flats), layers.after is a canvas over `flats`, the
  // RGBA pixels the fixes change, and fix tools join the toolbar.
  constructor({ id, name, width, height, layers, tooDeepCount, fixes = null, flats = null, onFix = null, marksName = 'Too deep' }) {
    this.width = width;
    this.height = height;
    this.layers = layers;
    this.reduced = null;
    this.view = null;
    this.fitted = true;
    this.wipe = 0.5;
    this.showBefore = false;
    this.pointers = new Map();
    this.drag = null;
    this.frame = 0;
    this.frameTimes = [];

    this.canvas = element('canvas', { className: 'canvas', tabIndex: 0 });
    this.canvas.setAttribute('role', 'img');
    this.canvas.setAttribute('aria-label', `${name}: before and after. Keys: + and - zoom, 0 fits, 1 is 100%, arrows pan, B shows before or after, L line art, D too-deep pixels.`);
    this.zoomLabel = element('output', { className: 'zoom-level', textContent: '' });
    this.zoomLabel.setAttribute('aria-label', 'Zoom');
    const button = (text, label, action) => {
      const b = element('button', { type: 'button', textContent: text, className: 'small' });
      b.setAttribute('aria-label', label);
      b.addEventListener('click', () => {
        action();
        this.canvas.focus({ preventScroll: true });
      });
      return b;
    };
    this.beforeButton = button('Before', 'Show before or after (B)', () => this.toggleBefore());
    this.beforeButton.setAttribute('aria-pressed', 'false');
    this.lineArt = toggle(`lineart-${id}`, 'Line art', 'Lay the original line art over the flats', 'L');
    this.tooDeep = toggle(`toodeep-${id}`, `${marksName} (${tooDeepCount ?? '…'})`,
      fixes ? 'Mark the smallest regions (magenta), specks or regions a gap closed off, and the closed gaps (blue), where regions meet with no line between them'
        : 'Mark the line-art pixels the depth did not reach', 'D');
    this.tooDeep.box.disabled = !tooDeepCount;
    this.wipeSlider = element('input', { type: 'range', id: `wipe-${id}`, min: 0, max: 100, value: 50, className: 'wipe-slider' });
    const wipeLabel = element('label', { htmlFor: this.wipeSlider.id, textContent: 'Before | after' });
    for (const box of [this.lineArt.box, this.tooDeep.box]) box.addEventListener('change', () => this.requestDraw());
    this.wipeSlider.addEventListener('input', () => {
      this.wipe = Number(this.wipeSlider.value) / 100;
      this.requestDraw();
    });

    this.toolbar = element('div', { className: 'viewer-tools' }, [
      button('−', 'Zoom out (-)', () => this.zoomStep(-1)), this.zoomLabel, button('+', 'Zoom in (+)', () => this.zoomStep(1)),
      button('Fit', 'Fit the page in the view (0)', () => this.fit()), button('100%', 'One image pixel per screen pixel (1)', () => this.actualSize()),
      this.beforeButton, this.lineArt.label, this.tooDeep.label, element('span', { className: 'wipe' }, [wipeLabel, this.wipeSlider]),
    ]);
    this.node = element('div', { className: 'viewer' }, [this.toolbar, this.canvas]);
    this.node.viewer = this;  // for the benchmark's frame times
    if (fixes) {
      this.flats = new ImageData(flats, width, height);
      this.tools = new FixTools({ id, fixes, onFix: (box) => { this.updateAfter(box); onFix?.(); } });
      this.toolbar.after(this.tools.node);
    }
    this.listen();
    // Resolves to the time the first frame was drawn.
    this.firstFrame = new Promise((drawn) => { this.firstFrameDrawn = drawn; });
    // Reducing a 36 MP page's layers holds the page's thread most of a
    // second: done once the first frame is on screen, which is drawn
    // plainly from the full-size layers meanwhile.
    this.reducing = width * height > kReduceAbove;
    if (this.reducing) this.firstFrame.then(() => setTimeout(() => this.reduce(), 0));
    if (this.tools) this.firstFrame.then(() => setTimeout(() => this.tools.showPageColours(), 0));
  }

  async reduce() {
    if (!this.layers) return;  // closed before it began
    const levels = [];
    let source = this.layers;
    for (const side of kReducedSides) {
      if (side * 1.5 > Math.max(this.width, this.height)) continue;
      const ratio = side / Math.max(this.width, this.height);
      const options = { resizeWidth: Math.max(1, Math.round(this.width * ratio)), resizeHeight: Math.max(1, Math.round(this.height * ratio)), resizeQuality: 'medium' };
      const entries = await Promise.all(Object.entries(source).map(async ([k, bitmap]) => [k, await createImageBitmap(bitmap, options)]));
      if (!this.layers) return;  // closed meanwhile
      const layers = Object.fromEntries(entries);
      levels.push({ ratio: options.resizeWidth / this.width, layers });
      source = layers;
    }
    if (this.tools) {
      // Fixes redraw their boxes into them, so they must be canvases.
      for (const level of levels) {
        const { after } = level.layers;
        const canvas = Object.assign(document.createElement('canvas'), { width: after.width, height: after.height });
        canvas.getContext('2d').drawImage(after, 0, 0);
        after.close();
        level.layers.after = canvas;
      }
    }
    this.reduced = levels.sort((a, b) => a.ratio - b.ratio);
    this.reducing = false;
    this.requestDraw();
    await this.reduceLate();
  }

  // Layers that came after the reduced copies were begun (the marks, a
  // kept page's ink) get copies of their own.
  async reduceLate() {
    for (const level of this.reduced || []) {
      for (const name of ['tooDeep', 'lineArt']) {
        const layer = this.layers?.[name];
        if (!layer) continue;
        if (level.layers[name]) continue;
        const { width, height } = level.layers.before;
        const copy = await createImageBitmap(layer, { resizeWidth: width, resizeHeight: height, resizeQuality: 'medium' });
        if (!this.layers || level.layers[name]) copy.close();
        else level.layers[name] = copy;
      }
    }
    this.requestDraw();
  }

  // A layer that follows the first frame: a kept page's line art as ink.
  setLayer(name, bitmap) {
    if (!this.layers) {
      bitmap.close();
      return;
    }
    this.layers[name] = bitmap;
    if (this.reduced) this.reduceLate();
    else this.requestDraw();
  }

  // The small-region and closed-gap marks of an Auto Flats result, made
  // after its first frame.
  setMarks(bitmap, count, name) {
    if (!this.layers) {
      bitmap.close();
      return;
    }
    this.layers.tooDeep = bitmap;
    this.tooDeep.words.textContent = ` ${name} (${count}) `;
    this.tooDeep.box.disabled = count === 0;
    if (this.reduced) this.reduceLate();
    else this.requestDraw();
  }

  close() {
    this.resizeObserver?.disconnect();
    for (const set of [this.layers, ...(this.reduced || []).map((l) => l.layers)]) for (const bitmap of Object.values(set || {})) bitmap?.close?.();
    this.layers = null;
    this.reduced = null;
  }

  get dpr() {
    return window.devicePixelRatio || 1;
  }

  viewSize() {
    return [this.canvas.width, this.canvas.height];
  }

  setView(view, fitted = false) {
    this.view = clampView(view, this.width, this.height, ...this.viewSize());
    this.fitted = fitted;
    this.zoomLabel.textContent = percent(this.view.scale);
    this.settled = false;
    clearTimeout(this.settleTimer);
    this.settleTimer = setTimeout(() => {
      this.settled = true;
      this.requestDraw();
    }, 200);
    this.node.dataset.view = JSON.stringify(this.view);
    this.requestDraw();
  }

  fit() {
    this.setView(fitView(this.width, this.height, ...this.viewSize()), true);
  }

  actualSize(px, py) {
    const [w, h] = this.viewSize();
    this.setView(zoomAt(this.view, 1, px ?? w / 2, py ?? h / 2));
  }

  zoomTo(scale, px, py) {
    const [w, h] = this.viewSize();
    const lowest = minScale(this.width, this.height, w, h);
    this.setView(zoomAt(this.view, Math.min(kMaxScale, Math.max(lowest, scale)), px ?? w / 2, py ?? h / 2));
  }

  zoomStep(direction, px, py) {
    const [w, h] = this.viewSize();
    this.zoomTo(nextScale(this.view.scale, direction, minScale(this.width, this.height, w, h)), px, py);
  }

  panBy(dx, dy) {
    this.setView({ ...this.view, x: this.view.x + dx, y: this.view.y + dy }, this.fitted && dx === 0 && dy === 0);
  }

  toggleBefore() {
    this.showBefore = !this.showBefore;
    this.beforeButton.setAttribute('aria-pressed', String(this.showBefore));
    this.beforeButton.textContent = this.showBefore ? 'After' : 'Before';
    this.node.dataset.showing = this.showBefore ? 'before' : 'split';
    this.requestDraw();
  }

  // A fix changed the flats inside `box` (image pixels, inclusive).
  updateAfter(box) {
    const started = performance.now();
    const w = box.x1 - box.x0 + 1, h = box.y1 - box.y0 + 1;
    this.layers.after.getContext('2d').putImageData(this.flats, 0, 0, box.x0, box.y0, w, h);
    for (const { ratio: r, layers } of this.reduced || []) {
      const x0 = Math.floor(box.x0 * r), y0 = Math.floor(box.y0 * r);
      const x1 = Math.ceil((box.x1 + 1) * r), y1 = Math.ceil((box.y1 + 1) * r);
      const ctx = layers.after.getContext('2d');
      ctx.imageSmoothingQuality = 'medium';
      ctx.drawImage(this.layers.after, x0 / r, y0 / r, (x1 - x0) / r, (y1 - y0) / r, x0, y0, x1 - x0, y1 - y0);
    }
    this.requestDraw();
    requestAnimationFrame(() => { this.node.dataset.fixMs = String(performance.now() - started); });
  }

  dividerX() {
    return Math.round(this.canvas.width * this.wipe);
  }

  requestDraw() {
    if (this.frame) return;
    this.frame = requestAnimationFrame(() => {
      this.frame = 0;
      this.draw();
    });
  }

  draw() {
    if (!this.layers || !this.view) return;
    const started = performance.now();
    const ctx = this.canvas.getContext('2d');
    const [w, h] = this.viewSize();
    ctx.clearRect(0, 0, w, h);
    const { scale } = this.view;
    // The smallest copy that is still at least as large as the view of it.
    const level = (this.reduced || []).find((l) => l.ratio >= scale);
    const layers = level ? level.layers : this.layers;
    const factor = level ? level.ratio : 1;
    const view = { scale: scale / factor, x: this.view.x, y: this.view.y };
    const part = visiblePart(view, Math.round(this.width * factor) || 1, Math.round(this.height * factor) || 1, w, h);
    if (!part) return;
    // Pixel-exact from 100% up: every image pixel a block of one colour.
    ctx.imageSmoothingEnabled = scale < 1;
    // Scaling the whole page down well is slow: while the view moves,
    // frames scale plainly, and the finer frame follows once it rests.
    ctx.imageSmoothingQuality = level || !this.settled || this.reducing ? 'low' : 'medium';
    const put = (bitmap) => ctx.drawImage(bitmap, part.sx, part.sy, part.sw, part.sh, part.dx, part.dy, part.dw, part.dh);
    const clipped = (x0, x1, paint) => {
      if (x1 <= x0) return;
      ctx.save();
      ctx.beginPath();
      ctx.rect(x0, 0, x1 - x0, h);
      ctx.clip();
      paint();
      ctx.restore();
    };
    const divider = this.showBefore ? w : this.dividerX();
    clipped(0, divider, () => put(layers.before));
    clipped(divider, w, () => {
      put(layers.after);
      if (this.lineArt.box.checked && layers.lineArt) put(layers.lineArt);
    });
    // A reduced copy of marks that came late may still be on its way.
    if (this.tooDeep.box.checked && layers.tooDeep) put(layers.tooDeep);
    if (!this.showBefore) this.drawDivider(ctx, divider, part);
    if (this.drag?.kind === 'stroke') this.drawStroke(ctx);
    this.firstFrameDrawn?.(performance.now());
    this.firstFrameDrawn = null;
    this.frameTimes.push(performance.now() - started);
    if (this.frameTimes.length > 240) this.frameTimes.shift();
  }

  drawStroke(ctx) {
    const { scale, x, y } = this.view;
    ctx.save();
    ctx.strokeStyle = '#ff00c8';
    ctx.lineWidth = Math.max(2, 3 * scale);
    ctx.lineCap = 'round';
    ctx.beginPath();
    for (const p of this.drag.points) ctx.lineTo(x + (p.x + 0.5) * scale, y + (p.y + 0.5) * scale);
    ctx.stroke();
    ctx.restore();
  }

  drawDivider(ctx, x, part) {
    const top = Math.max(0, part.dy);
    const bottom = Math.min(this.canvas.height, part.dy + part.dh);
    const d = this.dpr;
    ctx.save();
    ctx.fillStyle = 'rgba(0,0,0,0.55)';
    ctx.fillRect(x - 2 * d, top, 4 * d, bottom - top);
    ctx.fillStyle = '#fff';
    ctx.fillRect(x - d, top, 2 * d, bottom - top);
    const mid = (top + bottom) / 2;
    ctx.beginPath();
    ctx.arc(x, mid, 9 * d, 0, 2 * Math.PI);
    ctx.fill();
    ctx.strokeStyle = 'rgba(0,0,0,0.6)';
    ctx.lineWidth = d;
    ctx.stroke();
    ctx.fillStyle = '#333';
    ctx.beginPath();
    ctx.moveTo(x - 6 * d, mid);
    ctx.lineTo(x - 2 * d, mid - 4 * d);
    ctx.lineTo(x - 2 * d, mid + 4 * d);
    ctx.moveTo(x + 6 * d, mid);
    ctx.lineTo(x + 2 * d, mid - 4 * d);
    ctx.lineTo(x + 2 * d, mid + 4 * d);
    ctx.fill();
    ctx.restore();
  }

  resize() {
    const box = this.canvas.getBoundingClientRect();
    const w = Math.max(1, Math.round(box.width * this.dpr));
    const h = Math.max(1, Math.round(box.height * this.dpr));
    if (w === this.canvas.width && h === this.canvas.height && this.view) return;
    this.canvas.width = w;
    this.canvas.height = h;
    if (!this.view || this.fitted) this.fit();
    else this.setView(this.view);
  }

  canvasPoint(event) {
    const box = this.canvas.getBoundingClientRect();
    return [(event.clientX - box.left) * this.dpr, (event.clientY - box.top) * this.dpr];
  }

  listen() {
    this.resizeObserver = new ResizeObserver(() => this.resize());
    this.resizeObserver.observe(this.canvas);
    const c = this.canvas;
    c.addEventListener('wheel', (event) => this.onWheel(event), { passive: false });
    c.addEventListener('pointerdown', (event) => this.onPointerDown(event));
    c.addEventListener('pointermove', (event) => this.onPointerMove(event));
    for (const type of ['pointerup', 'pointercancel']) c.addEventListener(type, (event) => this.onPointerUp(event));
    c.addEventListener('dblclick', (event) => {
      const [px, py] = this.canvasPoint(event);
      if (this.fitted) this.actualSize(px, py);
      else this.fit();
    });
    c.addEventListener('keydown', (event) => this.onKey(event));
  }

  // Ctrl with the wheel is also what a touchpad pinch sends.
  onWheel(event) {
    if (!this.view) return;
    const [px, py] = this.canvasPoint(event);
    const unit = event.deltaMode === 1 ? 16 : event.deltaMode === 2 ? 400 : 1;
    if (event.ctrlKey || event.metaKey) {
      event.preventDefault();
      // A pinch arrives as many small steps: they add up in a running scale,
      // shown rounded to a whole one from 100% up.
      clearTimeout(this.wheelTimer);
      this.wheelTimer = setTimeout(() => { this.wheelScale = null; }, 300);
      this.wheelScale = (this.wheelScale ?? this.view.scale) * Math.exp(-event.deltaY * unit * 0.002);
      this.wheelScale = Math.min(kMaxScale, Math.max(minScale(this.width, this.height, ...this.viewSize()), this.wheelScale));
      this.zoomTo(this.wheelScale > 1 ? Math.round(this.wheelScale) : this.wheelScale, px, py);
      return;
    }
    const [w, h] = this.viewSize();
    const pannable = this.width * this.view.scale > w || this.height * this.view.scale > h;
    // A page that fits lets the wheel scroll the list past it.
    if (!pannable) return;
    event.preventDefault();
    const dx = event.shiftKey ? event.deltaY : event.deltaX;
    const dy = event.shiftKey ? 0 : event.deltaY;
    this.panBy(-dx * unit * this.dpr, -dy * unit * this.dpr);
  }

  onPointerDown(event) {
    this.canvas.focus({ preventScroll: true });
    this.canvas.setPointerCapture(event.pointerId);
    this.pointers.set(event.pointerId, this.canvasPoint(event));
    const [px] = this.canvasPoint(event);
    if (this.pointers.size === 2) {
      const [a, b] = [...this.pointers.values()];
      this.drag = { kind: 'pinch', distance: Math.hypot(a[0] - b[0], a[1] - b[1]), scale: this.view.scale };
    } else if (!this.showBefore && Math.abs(px - this.dividerX()) <= kDividerGrab * this.dpr) {
      this.drag = { kind: 'divider' };
    } else if (this.tools?.tool === 'split' || this.tools?.tool === 'lasso') {
      this.drag = { kind: 'stroke', points: [this.imagePoint(this.canvasPoint(event))] };
    } else {
      this.drag = { kind: 'pan', from: this.canvasPoint(event), view: this.view };
      this.canvas.classList.add('panning');
    }
  }

  onPointerMove(event) {
    const point = this.canvasPoint(event);
    if (!this.drag) {
      this.canvas.classList.toggle('on-divider', !this.showBefore && Math.abs(point[0] - this.dividerX()) <= kDividerGrab * this.dpr);
      return;
    }
    this.pointers.set(event.pointerId, point);
    if (this.drag.kind === 'divider') {
      this.wipe = Math.min(1, Math.max(0, point[0] / this.canvas.width));
      this.wipeSlider.value = String(Math.round(this.wipe * 100));
      this.requestDraw();
    } else if (this.drag.kind === 'pinch' && this.pointers.size === 2) {
      const [a, b] = [...this.pointers.values()];
      const distance = Math.hypot(a[0] - b[0], a[1] - b[1]);
      const scale = this.drag.scale * (distance / this.drag.distance);
      this.zoomTo(scale > 1 ? Math.round(scale) : scale, (a[0] + b[0]) / 2, (a[1] + b[1]) / 2);
    } else if (this.drag.kind === 'stroke') {
      this.drag.points.push(this.imagePoint(point));
      this.requestDraw();
    } else if (this.drag.kind === 'pan') {
      // From where the drag began: whole-pixel rounding must not add up.
      const { from, view } = this.drag;
      this.setView({ ...view, x: view.x + point[0] - from[0], y: view.y + point[1] - from[1] });
    }
  }

  imagePoint([px, py]) {
    const p = toImage(this.view, px, py);
    return { x: Math.floor(p.x), y: Math.floor(p.y) };
  }

  onPointerUp(event) {
    this.pointers.delete(event.pointerId);
    const drag = this.drag;
    if (drag?.kind === 'stroke' && event.type === 'pointerup') {
      this.drag = null;
      if (this.tools.tool === 'lasso') this.tools.lasso(drag.points);
      else this.tools.stroke(drag.points);
      this.requestDraw();
    } else if (drag?.kind === 'pan' && this.tools && this.tools.tool !== 'move' && event.type === 'pointerup') {
      const point = this.canvasPoint(event);
      // A click, not a drag: the tool acts on the region under it.
      if (Math.hypot(point[0] - drag.from[0], point[1] - drag.from[1]) < 4 * this.dpr) this.tools.click(this.imagePoint(point));
    }
    this.canvas.classList.remove('panning');
    this.drag = this.pointers.size ? { kind: 'pan', from: [...this.pointers.values()][0], view: this.view } : null;
  }

  onKey(event) {
    if (this.tools && (event.ctrlKey || event.metaKey) && event.key.toLowerCase() === 'z') {
      event.preventDefault();
      if (event.shiftKey) this.tools.redo();
      else this.tools.undo();
      return;
    }
    if (event.ctrlKey || event.metaKey || event.altKey) return;
    const step = (event.shiftKey ? 0.5 : 0.1) * Math.min(...this.viewSize());
    const actions = {
      '+': () => this.zoomStep(1), '=': () => this.zoomStep(1), '-': () => this.zoomStep(-1), '_': () => this.zoomStep(-1),
      0: () => this.fit(), 1: () => this.actualSize(),
      ArrowLeft: () => this.panBy(step, 0), ArrowRight: () => this.panBy(-step, 0),
      ArrowUp: () => this.panBy(0, step), ArrowDown: () => this.panBy(0, -step),
      b: () => this.toggleBefore(), B: () => this.toggleBefore(),
      l: () => this.lineArt.box.click(), L: () => this.lineArt.box.click(),
      d: () => this.tooDeep.box.click(), D: () => this.tooDeep.box.click(),
    };
    const action = actions[event.key];
    if (!action) return;
    event.preventDefault();
    action();
  }
}

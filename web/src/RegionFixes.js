// Fixes to Auto Flats' result made on the page: a region recoloured, one
// or many regions merged into another, one split by a stroke across an
// unclosed gap. Each fix touches only its regions' pixels, inside their
// bounding boxes, and can be undone and redone. The flats here are RGBA
// (what the viewer shows); `labels` is the region map, `colours` 4 bytes a
// region, `marks` the library's pixel marks (bit 1: line art).
import { boxOf, cutPieces } from './SplitPieces.js';

const kLine = 1;
// Beyond the region's box, what the melt is first handed: enough for lines
// as deep as this; it asks for more when they are deeper.
const kFirstMargin = 48;
// The rings the engine's search always reads (kPrebuiltRings).
const kSearchRings = 10;

function sameRgb(a, i, c) {
  return a[i] === c[0] && a[i + 1] === c[1] && a[i + 2] === c[2];
}

// Distinct, light colours for regions a split makes: the golden angle
// round the hue circle.
export function newRegionColour(label) {
  const h = (label * 137.508) % 360, s = 0.5, l = 0.72;
  const f = (n) => {
    const k = (n + h / 30) % 12;
    return Math.round(255 * (l - s * Math.min(l, 1 - l) * Math.max(-1, Math.min(k - 3, 9 - k, 1))));
  };
  return [f(0), f(8), f(4)];
}

export class RegionFixes {
  // `marks`, when given, marks the line art's pixels (bit 1): a split
  // separates parts along them as well as along the stroke. `remelt` runs
  // the library's melt over a part of the page (RemeltClient.js), at
  // `meltDepth`; without it a split gives its stroke to a piece beside it.
  // `smallest` is the smallest region the page was flatted with: a split
  // makes no region smaller.
  constructor({ labels, colours, regionCount, flats, width, height, marks = null, remelt = null, meltDepth = 0, smallest = 1 }) {
    Object.assign(this, { labels, flats, width, height, regionCount, marks, remelt, meltDepth, smallest });
    this.colours = [];
    for (let i = 0; i < regionCount; i++) this.colours.push([colours[4 * i] ?? 0, colours[4 * i + 1] ?? 0, colours[4 * i + 2] ?? 0]);
    this.boxes = null;
    this.done = [];
    this.undone = [];
  }

  // Every region's bounding box and area, found once, kept up to date by
  // the fixes.
  box(region) {
    if (!this.boxes) {
      const n = this.regionCount;
      const boxes = new Int32Array(n * 4);
      const areas = new Float64Array(n);
      for (let r = 0; r < n; r++) boxes.set([this.width, this.height, -1, -1], r * 4);
      const { labels, width } = this;
      for (let i = 0, y = 0; y < this.height; y++) {
        for (let x = 0; x < width; x++, i++) {
          const b = labels[i] * 4;
          if (labels[i] >= n) continue;
          areas[labels[i]]++;
          if (x < boxes[b]) boxes[b] = x;
          if (y < boxes[b + 1]) boxes[b + 1] = y;
          if (x > boxes[b + 2]) boxes[b + 2] = x;
          if (y > boxes[b + 3]) boxes[b + 3] = y;
        }
      }
      this.boxes = [];
      this.areas = Array.from(areas);
      for (let r = 0; r < n; r++) this.boxes.push(boxes[r * 4 + 2] < 0 ? null : { x0: boxes[r * 4], y0: boxes[r * 4 + 1], x1: boxes[r * 4 + 2], y1: boxes[r * 4 + 3] });
    }
    return this.boxes[region] ?? null;
  }

  regionAt(x, y) {
    if (x < 0 || y < 0 || x >= this.width || y >= this.height) return null;
    const label = this.labels[Math.floor(y) * this.width + Math.floor(x)];
    return label < this.regionCount ? label : null;
  }

  // Pixels of `region` in its box painted `to` where they show `from`
  // (with the lines kept, line pixels keep their own colour).
  paint(region, from, to) {
    const box = this.box(region);
    if (!box) return null;
    const { labels, flats, width } = this;
    for (let y = box.y0; y <= box.y1; y++) {
      for (let i = y * width + box.x0, end = y * width + box.x1; i <= end; i++) {
        if (labels[i] !== region || !sameRgb(flats, i * 4, from)) continue;
        flats[i * 4] = to[0];
        flats[i * 4 + 1] = to[1];
        flats[i * 4 + 2] = to[2];
      }
    }
    this.colours[region] = [...to];
    return box;
  }

  apply(fix) {
    const box = this.run(fix, 'do');
    if (!box) return null;
    this.done.push(fix);
    this.undone = [];
    return box;
  }

  undo() {
    const fix = this.done.pop();
    if (!fix) return null;
    this.undone.push(fix);
    return this.run(fix, 'undo');
  }

  redo() {
    const fix = this.undone.pop();
    if (!fix) return null;
    this.done.push(fix);
    return this.run(fix, 'do');
  }

  recolour(region, colour) {
    const from = this.colours[region];
    if (!from || sameRgb(colour, 0, from)) return null;
    return this.apply({ kind: 'recolour', region, from: [...from], to: [...colour] });
  }

  // `gone` joins `keep`: its pixels take keep's number and colour.
  merge(keep, gone) {
    if (keep === gone || !this.box(keep) || !this.box(gone)) return null;
    return this.apply(this.mergeFix(keep, gone));
  }

  mergeFix(keep, gone) {
    return { kind: 'merge', keep, gone, keepColour: [...this.colours[keep]], goneColour: [...this.colours[gone]], pixels: null };
  }

  // Every region of `gones` joins `keep`, as one fix.
  mergeAll(keep, gones) {
    const list = gones.filter((g) => g !== keep && this.box(g));
    if (!list.length || !this.box(keep)) return null;
    return this.apply({ kind: 'batch', fixes: list.map((g) => this.mergeFix(keep, g)) });
  }

  // A stroke (image points) drawn across `region` where a gap in its lines
  // was not closed. What the stroke cuts off the region (SplitPieces.js),
  // each piece at least as large as the smallest region, becomes a region
  // of its own; the rest keeps the number, and the specks the library
  // folded stay folded. The stroke becomes line art, and the lines the
  // change can reach are melted again by the library, as a whole page's
  // melt would give them. Answers the box redrawn (null when the stroke
  // separated nothing), the number of pieces and of slivers too small to
  // be regions.
  async split(region, points, radius = 1) {
    const nothing = { box: null, pieces: 0, slivers: 0 };
    const box = this.box(region);
    if (!box) return nothing;
    const cut = this.strokePixels(region, points, radius);
    if (!cut.size) return nothing;
    const { width, height } = this;
    const times = [performance.now()];
    const found = cutPieces({ labels: this.labels, marks: this.marks, width, height }, region, cut, this.smallest);
    if (!found.pieces.length) return { ...nothing, slivers: found.slivers };
    // Every pixel whose label or mark changes, and every line pixel that
    // took its label from one of them: those lie within the melt's reach.
    const reach = Math.max(this.meltDepth, kSearchRings) + 1;
    const near = boxOf(cut, width, { ...found.box });
    const changed = { x0: Math.max(box.x0, near.x0 - reach), y0: Math.max(box.y0, near.y0 - reach),
      x1: Math.min(box.x1, near.x1 + reach), y1: Math.min(box.y1, near.y1 + reach) };
    const firstLabel = this.regionCount;
    times.push(performance.now());
    const changes = this.remelt && this.marks && this.meltDepth > 0
      ? await this.meltedChanges(changed, cut, found.pieces, firstLabel)
      : this.splitChanges(changed, cut, found.pieces, firstLabel);
    times.push(performance.now());
    const drawn = this.apply({ kind: 'split', region, firstLabel, parts: found.pieces.length + 1, ...changes });
    times.push(performance.now());
    // Where the time went, for the benchmark: the pieces, the melt, the fix.
    const steps = times.slice(1).map((t, k) => Math.round(t - times[k]));
    return { box: drawn, pieces: found.pieces.length, slivers: found.slivers, steps };
  }

  // The split made in a copy of a part of the page around the change,
  // melted there, and compared with the page: the pixels that change, from
  // what to what.
  async meltedChanges(box, cut, pieces, firstLabel) {
    const { width, height } = this;
    let area = [Math.max(0, box.x0 - kFirstMargin), Math.max(0, box.y0 - kFirstMargin),
      Math.min(width - 1, box.x1 + kFirstMargin), Math.min(height - 1, box.y1 + kFirstMargin)];
    for (let tries = 0; tries < 8; tries++) {
      const [x0, y0, x1, y1] = area;
      const aw = x1 - x0 + 1;
      const labels = new Uint32Array(aw * (y1 - y0 + 1));
      const marks = new Uint8Array(labels.length);
      for (let y = y0; y <= y1; y++) {
        labels.set(this.labels.subarray(y * width + x0, y * width + x1 + 1), (y - y0) * aw);
        marks.set(this.marks.subarray(y * width + x0, y * width + x1 + 1), (y - y0) * aw);
      }
      const shift = y0 * aw + x0;
      const local = (i) => { const x = i % width; return (i - x) / width * aw + x - shift; };
      for (const i of cut) marks[local(i)] |= kLine;
      pieces.forEach((pixels, p) => {
        const label = firstLabel + p;
        for (let k = 0; k < pixels.length; k++) labels[local(pixels[k])] = label;
      });
      const answer = await this.remelt({ width, height, area, changed: [box.x0, box.y0, box.x1, box.y1], depth: this.meltDepth, labels, marks });
      if (answer.result === 4 && answer.touched[2] >= 0) {  // the part was too small: the library says how large
        area = answer.touched;
        continue;
      }
      if (answer.result !== 0) throw new Error(answer.message || `the melt failed (result ${answer.result})`);
      const [tx0, ty0, tx1, ty1] = answer.touched;
      const touched = { x0: Math.min(tx0, box.x0), y0: Math.min(ty0, box.y0), x1: Math.max(tx1, box.x1), y1: Math.max(ty1, box.y1) };
      const most = (touched.x1 - touched.x0 + 1) * (touched.y1 - touched.y0 + 1);
      const pixels = new Uint32Array(most), newLabels = new Uint32Array(most), newMarks = new Uint8Array(most);
      const [meltedLabels, meltedMarks, pageLabels, pageMarks] = [answer.labels, answer.marks, this.labels, this.marks];
      let n = 0;
      for (let y = touched.y0; y <= touched.y1; y++) {
        for (let i = y * width + touched.x0, l = (y - y0) * aw + touched.x0 - x0, end = y * width + touched.x1; i <= end; i++, l++) {
          if (meltedLabels[l] === pageLabels[i] && meltedMarks[l] === pageMarks[i]) continue;
          pixels[n] = i;
          newLabels[n] = meltedLabels[l];
          newMarks[n++] = meltedMarks[l];
        }
      }
      return this.recorded(pixels.slice(0, n), newLabels.slice(0, n), newMarks.slice(0, n), touched);
    }
    throw new Error('the melt kept asking for more of the page');
  }

  // What undo and redo replay: each changed pixel's label, mark and flats
  // colour before and after.
  recorded(pixels, newLabels, newMarks, box) {
    const before = new Uint8Array(pixels.length * 3);
    const oldLabels = new Uint32Array(pixels.length);
    const oldMarks = new Uint8Array(pixels.length);
    const { flats, labels, marks } = this;
    for (let k = 0; k < pixels.length; k++) {
      const i = pixels[k];
      before[k * 3] = flats[i * 4];
      before[k * 3 + 1] = flats[i * 4 + 1];
      before[k * 3 + 2] = flats[i * 4 + 2];
      oldLabels[k] = labels[i];
      oldMarks[k] = marks ? marks[i] : 0;
    }
    return { pixels, newLabels, newMarks, oldLabels, oldMarks, before, box };
  }

  // Without the library: the pieces take their numbers, and each stroke
  // pixel the number of a piece beside it.
  splitChanges(box, cut, pieces, firstLabel) {
    const { width } = this;
    const to = new Map();
    pieces.forEach((pixels, p) => { for (const i of pixels) to.set(i, firstLabel + p); });
    for (const i of cut) {
      const x = i % width;
      const beside = [x > 0 ? i - 1 : -1, x < width - 1 ? i + 1 : -1, i - width, i + width].find((n) => to.has(n) && !cut.has(n));
      if (beside !== undefined) to.set(i, to.get(beside));
    }
    const changed = Uint32Array.from(to.keys());
    const marks = Uint8Array.from(changed, (i) => (this.marks ? this.marks[i] : 0));
    return this.recorded(changed, Uint32Array.from(to.values()), marks, box);
  }

  // The region a stroke is drawn in: the one most of its pixels off the
  // line art lie in (a stroke begun on a line still splits what it
  // crosses), else the one under its start.
  strokeRegion(points) {
    const count = new Map();
    this.alongStroke(points, (x, y) => {
      const region = this.regionAt(x, y);
      if (region !== null && !(this.marks?.[Math.floor(y) * this.width + Math.floor(x)] & kLine)) count.set(region, (count.get(region) ?? 0) + 1);
    });
    if (!count.size) return this.regionAt(points[0].x, points[0].y);
    return [...count].reduce((a, b) => (b[1] > a[1] ? b : a))[0];
  }

  alongStroke(points, visit) {
    for (let p = 0; p < points.length; p++) {
      const [a, b] = [points[Math.max(0, p - 1)], points[p]];
      const steps = Math.max(1, Math.ceil(Math.hypot(b.x - a.x, b.y - a.y)));
      for (let s = 0; s <= steps; s++) visit(a.x + ((b.x - a.x) * s) / steps, a.y + ((b.y - a.y) * s) / steps);
    }
  }

  strokePixels(region, points, radius) {
    const cut = new Set();
    const mark = (cx, cy) => {
      for (let y = Math.floor(cy - radius); y <= Math.ceil(cy + radius); y++)
        for (let x = Math.floor(cx - radius); x <= Math.ceil(cx + radius); x++)
          if (this.regionAt(x, y) === region && (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius + 0.5) cut.add(y * this.width + x);
    };
    this.alongStroke(points, mark);
    return cut;
  }

  run(fix, way) {
    if (fix.kind === 'recolour') return way === 'do' ? this.paint(fix.region, fix.from, fix.to) : this.paint(fix.region, fix.to, fix.from);
    if (fix.kind === 'merge') return this.runMerge(fix, way);
    if (fix.kind === 'batch') {
      const order = way === 'do' ? fix.fixes : [...fix.fixes].reverse();
      return order.map((f) => this.run(f, way)).reduce((a, b) => ({ x0: Math.min(a.x0, b.x0), y0: Math.min(a.y0, b.y0), x1: Math.max(a.x1, b.x1), y1: Math.max(a.y1, b.y1) }));
    }
    return this.runSplit(fix, way);
  }

  runMerge(fix, way) {
    const { labels, flats } = this;
    const [from, to, label, colour] = way === 'do' ? [fix.goneColour, fix.keepColour, fix.keep, fix.keepColour]
      : [fix.keepColour, fix.goneColour, fix.gone, fix.goneColour];
    if (way === 'do') {
      const box = this.box(fix.gone);
      const rows = (visit) => {
        for (let y = box.y0; y <= box.y1; y++)
          for (let i = y * this.width + box.x0, end = y * this.width + box.x1; i <= end; i++) if (labels[i] === fix.gone) visit(i);
      };
      let n = 0;
      rows(() => n++);
      const pixels = new Uint32Array(n);
      n = 0;
      rows((i) => { pixels[n++] = i; });
      fix.pixels = pixels;
      fix.goneBox = box;
      fix.keepBox = this.box(fix.keep);
    }
    for (const i of fix.pixels) {
      labels[i] = label;
      if (!sameRgb(flats, i * 4, from)) continue;
      flats[i * 4] = to[0];
      flats[i * 4 + 1] = to[1];
      flats[i * 4 + 2] = to[2];
    }
    const { goneBox, keepBox } = fix;
    const union = { x0: Math.min(goneBox.x0, keepBox.x0), y0: Math.min(goneBox.y0, keepBox.y0), x1: Math.max(goneBox.x1, keepBox.x1), y1: Math.max(goneBox.y1, keepBox.y1) };
    this.boxes[fix.keep] = way === 'do' ? union : keepBox;
    this.boxes[fix.gone] = way === 'do' ? null : goneBox;
    this.colours[fix.gone] = [...colour];
    const moved = way === 'do' ? fix.pixels.length : -fix.pixels.length;
    this.areas[fix.keep] += moved;
    this.areas[fix.gone] -= moved;
    // Only the gone region's pixels change colour: its box is all to redraw.
    return goneBox;
  }

  runSplit(fix, way) {
    const { labels, flats, marks, width, areas } = this;
    if (way === 'undo') {
      for (let k = 0; k < fix.pixels.length; k++) {
        const i = fix.pixels[k];
        labels[i] = fix.oldLabels[k];
        areas[fix.oldLabels[k]]++;
        areas[fix.newLabels[k]]--;
        if (marks) marks[i] = fix.oldMarks[k];
        flats[i * 4] = fix.before[k * 3];
        flats[i * 4 + 1] = fix.before[k * 3 + 1];
        flats[i * 4 + 2] = fix.before[k * 3 + 2];
      }
      this.regionCount = fix.firstLabel;
      for (const list of [this.colours, this.boxes, areas]) list.length = fix.firstLabel;
      return fix.box;
    }
    for (let p = 1; p < fix.parts; p++) {
      const label = fix.firstLabel + p - 1;
      this.colours[label] = newRegionColour(label);
      this.boxes[label] = null;
      areas[label] = 0;
    }
    this.regionCount = fix.firstLabel + fix.parts - 1;
    const bounds = new Map();
    let last = -1, b = null;
    for (let k = 0; k < fix.pixels.length; k++) {
      const i = fix.pixels[k], label = fix.newLabels[k], was = fix.oldLabels[k];
      labels[i] = label;
      areas[was]--;
      areas[label]++;
      if (marks) marks[i] = fix.newMarks[k];
      // Kept lines keep their own colour.
      const old = this.colours[was];
      if (old && sameRgb(fix.before, k * 3, old)) {
        const to = this.colours[label];
        flats[i * 4] = to[0];
        flats[i * 4 + 1] = to[1];
        flats[i * 4 + 2] = to[2];
      }
      const x = i % width, y = (i - x) / width;
      if (label !== last) {
        last = label;
        b = bounds.get(label);
        if (!b) bounds.set(label, (b = { x0: x, y0: y, x1: x, y1: y }));
      }
      if (x < b.x0) b.x0 = x;
      if (x > b.x1) b.x1 = x;
      if (y < b.y0) b.y0 = y;
      if (y > b.y1) b.y1 = y;
    }
    for (const [label, b] of bounds) {
      const old = this.boxes[label];
      this.boxes[label] = old ? { x0: Math.min(old.x0, b.x0), y0: Math.min(old.y0, b.y0), x1: Math.max(old.x1, b.x1), y1: Math.max(old.y1, b.y1) } : b;
    }
    return fix.box;
  }
}

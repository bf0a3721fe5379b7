// What a stroke cuts off a region, found near the stroke only. The region
// less its line art and the stroke is filled from every pixel beside the
// stroke at once, a row's run at a time, the fills taking turns and
// joining where they meet; as soon as a single fill is still growing,
// every other one has been closed off by the stroke and the lines: those
// are the pieces, the one still growing is the rest of the region. The
// work is that of the pieces, not of the region, which may be most of the
// page.
//
// The parts of the region the stroke does not reach are not pieces: they
// are the specks the smallest-region setting folded into it, kept folded.
// A speck lying inside a piece goes with that piece.
const kLine = 1;
// Labels stay below 2^24, so a fill can mark what it took in the labels
// themselves and give them back afterwards: no page-sized scratch array.
const kTaken = 0x80000000;
const kSpeck = 0x40000000;
const kCut = 0x20000000;
const kFill = 0x1FFFFFFF;
const kLarge = kFill;  // a part of the region too large to be a speck
const kTurn = 256;

function append(to, from) {
  for (const v of from) to.push(v);
}

function neighbours(i, width, size, visit) {
  const x = i % width;
  if (x > 0) visit(i - 1);
  if (x < width - 1) visit(i + 1);
  if (i >= width) visit(i - width);
  if (i + width < size) visit(i + width);
}

class CFills {
  constructor(page, region, cut) {
    Object.assign(this, { page, region, cut });
    this.size = page.width * page.height;
    // Per fill: the pixels still to start a run from (from heads[g] on),
    // the runs it took (start, length, ...), the fill it joined, and the
    // pixels its group holds.
    this.queues = [];
    this.heads = [];
    this.runs = [];
    this.parent = [];
    this.sizes = [];
    for (const i of cut) page.labels[i] = kCut;
  }

  open(i) {
    const { labels, marks } = this.page;
    return labels[i] === this.region && !(marks && marks[i] & kLine);
  }

  root(g) {
    while (this.parent[g] !== g) {
      this.parent[g] = this.parent[this.parent[g]];
      g = this.parent[g];
    }
    return g;
  }

  alive(g) {
    return this.heads[g] < this.queues[g].length;
  }

  // The pixels beside the stroke, one fill for each group of them that
  // touch.
  seed() {
    const { width } = this.page;
    const seeds = new Set();
    for (const i of this.cut) neighbours(i, width, this.size, (q) => { if (this.open(q)) seeds.add(q); });
    const placed = new Set();
    for (const s of seeds) {
      if (placed.has(s)) continue;
      const queue = [s];
      placed.add(s);
      for (let h = 0; h < queue.length; h++) {
        neighbours(queue[h], width, this.size, (q) => {
          if (!seeds.has(q) || placed.has(q)) return;
          placed.add(q);
          queue.push(q);
        });
      }
      this.parent.push(this.queues.length);
      this.queues.push(queue);
      this.heads.push(0);
      this.runs.push([]);
      this.sizes.push(0);
    }
  }

  // The smaller queue goes on at the end of the larger.
  join(a, b) {
    let ra = this.root(a), rb = this.root(b);
    if (ra === rb) return ra;
    if (this.queues[ra].length - this.heads[ra] < this.queues[rb].length - this.heads[rb]) [ra, rb] = [rb, ra];
    const from = this.queues[rb], to = this.queues[ra];
    for (let h = this.heads[rb]; h < from.length; h++) to.push(from[h]);
    this.heads[rb] = from.length;
    this.parent[rb] = ra;
    this.sizes[ra] += this.sizes[rb];
    return ra;
  }

  // Another fill's pixel, if `v` is one: its group.
  other(g, v) {
    if (v < kTaken || v & kSpeck || (v & kFill) === g) return -1;
    const r = this.root(v & kFill);
    return r === g ? -1 : r;
  }

  // One turn of a fill: about kTurn pixels taken or looked at, in runs
  // along the rows, or until it joins another.
  turn(g) {
    const queue = this.queues[g];
    const met = new Set();
    for (let work = 0; work < kTurn && this.heads[g] < queue.length && !met.size;) {
      const p = queue[this.heads[g]++];
      const r = this.other(g, this.page.labels[p]);
      if (r >= 0) met.add(r);
      else if (this.open(p)) work += this.takeRun(g, p, queue, met);
    }
    for (const r of met) this.join(g, r);
  }

  // The open run through p taken by g; the runs beside it above and below
  // queued, other fills met noted.
  takeRun(g, p, queue, met) {
    const { labels, width } = this.page;
    const rowStart = p - (p % width), rowEnd = rowStart + width - 1;
    let x0 = p, x1 = p;
    while (x0 > rowStart && this.open(x0 - 1)) x0--;
    while (x1 < rowEnd && this.open(x1 + 1)) x1++;
    for (let i = x0; i <= x1; i++) labels[i] = kTaken | g;
    this.runs[g].push(x0, x1 - x0 + 1);
    this.sizes[g] += x1 - x0 + 1;
    const note = (i) => {
      const r = this.other(g, labels[i]);
      if (r >= 0) met.add(r);
    };
    if (x0 > rowStart) note(x0 - 1);
    if (x1 < rowEnd) note(x1 + 1);
    const { marks } = this.page;
    const { region } = this;
    for (const step of [-width, width]) {
      if (x0 + step < 0 || x0 + step >= this.size) continue;
      let inRun = false;
      for (let i = x0 + step; i <= x1 + step; i++) {
        if (labels[i] === region && !(marks && marks[i] & kLine)) {
          if (!inRun) queue.push(i);
          inRun = true;
        } else {
          inRun = false;
          note(i);
        }
      }
    }
    return 3 * (x1 - x0 + 1);
  }

  // Turns until at most one fill is growing.
  run() {
    for (let live = this.growingRoots(); live.length > 1; live = this.growingRoots()) {
      for (const g of live) if (this.parent[g] === g && this.alive(g)) this.turn(g);
    }
  }

  growingRoots() {
    return this.roots().filter((g) => this.alive(g));
  }

  roots() {
    return this.queues.map((_, g) => g).filter((g) => this.parent[g] === g);
  }

  // The fill still growing is the rest of the region only if it is the
  // largest part: it grows on until it outgrows every piece, or ends.
  settle() {
    const live = this.roots().find((g) => this.alive(g));
    if (live === undefined) return;
    const largest = Math.max(0, ...this.roots().filter((g) => !this.alive(g)).map((g) => this.sizes[g]));
    while (this.parent[live] === live && this.alive(live) && this.sizes[live] <= largest) this.turn(live);
  }

  // A piece's pixels in a typed array: a panel cut in two is millions of
  // them, which a growing list would copy again and again.
  pixelsOf(root) {
    const out = new Uint32Array(this.sizes[root]);
    let n = 0;
    for (let g = 0; g < this.queues.length; g++) {
      if (this.root(g) !== root) continue;
      const runs = this.runs[g];
      for (let k = 0; k < runs.length; k += 2) for (let i = runs[k], end = runs[k] + runs[k + 1]; i < end; i++) out[n++] = i;
    }
    return out;
  }

  // The box of a group's runs.
  boxOfRoot(root, box = null) {
    const { width } = this.page;
    let b = box;
    for (let g = 0; g < this.queues.length; g++) {
      if (this.root(g) !== root) continue;
      const runs = this.runs[g];
      for (let k = 0; k < runs.length; k += 2) {
        const x = runs[k] % width, y = (runs[k] - x) / width, x1 = x + runs[k + 1] - 1;
        if (!b) b = { x0: x, y0: y, x1, y1: y };
        else {
          if (x < b.x0) b.x0 = x;
          if (x1 > b.x1) b.x1 = x1;
          if (y < b.y0) b.y0 = y;
          if (y > b.y1) b.y1 = y;
        }
      }
    }
    return b;
  }

  restore() {
    const { labels } = this.page;
    for (const runs of this.runs) for (let k = 0; k < runs.length; k += 2) labels.fill(this.region, runs[k], runs[k] + runs[k + 1]);
    for (const i of this.cut) labels[i] = this.region;
  }
}

// Components of the region's own pixels inside `box` the fills did not
// reach and smaller than `smallest`: specks. Each goes where the part of
// the region nearest to it lies, across the region's own lines and other
// specks (hatching is specks in a net of lines): found by one search
// outwards from every part at once, a speck reached passing on its owner
// as a whole, as the library folds a speck into a speck into a region.
function specksInto(fills, pieces, box, smallest) {
  const { labels, marks, width } = fills.page;
  const { region, size } = fills;
  const large = (kTaken | kSpeck | kLarge) >>> 0;
  const pending = (kTaken | kSpeck | (kLarge - 1)) >>> 0;
  const specks = [];
  const scanned = [];
  const inBox = (q) => { const x = q % width, y = (q - x) / width; return x >= box.x0 && x <= box.x1 && y >= box.y0 && y <= box.y1; };
  for (let y = box.y0; y <= box.y1; y++) {
    for (let i = y * width + box.x0, end = y * width + box.x1; i <= end; i++) {
      if (labels[i] !== region || (marks && marks[i] & kLine)) continue;
      // Up to `smallest` pixels, or until it meets a part already known
      // to be large; a large part is then taken whole inside the box, so
      // that no piece of it passes for a speck.
      const part = [i];
      labels[i] = pending;
      let isLarge = false;
      const grow = (p, boxed) => {
        const x = p % width;
        for (const q of [x > 0 ? p - 1 : -1, x < width - 1 ? p + 1 : -1, p - width, p + width]) {
          if (q < 0 || q >= size) continue;
          if (labels[q] === large) isLarge = true;
          else if (labels[q] === region && !(marks && marks[q] & kLine) && (!boxed || inBox(q))) {
            labels[q] = pending;
            part.push(q);
          }
        }
      };
      let h = 0;
      for (; h < part.length && part.length < smallest && !isLarge; h++) grow(part[h], false);
      if (part.length >= smallest) isLarge = true;
      if (isLarge) for (; h < part.length; h++) grow(part[h], true);
      append(scanned, part);
      for (const q of part) labels[q] = isLarge ? large : kTaken | kSpeck | specks.length;
      if (isLarge) continue;
      specks.push(part);
    }
  }
  if (specks.length) {
    // A speck looks this far across lines for the part it belongs to;
    // past it, it stays with the rest of the region.
    const near = specks.reduce((b, speck) => boxOf(speck, width, b), null);
    const reach = 16;
    const area = { x0: Math.max(box.x0, near.x0 - reach), y0: Math.max(box.y0, near.y0 - reach), x1: Math.min(box.x1, near.x1 + reach), y1: Math.min(box.y1, near.y1 + reach) };
    assignSpecks(fills, pieces, area, specks);
  }
  for (const i of scanned) labels[i] = fills.region;
}

function assignSpecks(fills, pieces, box, specks) {
  const { labels, marks, width, height } = fills.page;
  const { region } = fills;
  const pieceOf = new Map(pieces.map((p, k) => [p.root, k]));
  const x0 = Math.max(0, box.x0 - 2), y0 = Math.max(0, box.y0 - 2), x1 = Math.min(width - 1, box.x1 + 2), y1 = Math.min(height - 1, box.y1 + 2);
  const aw = x1 - x0 + 1;
  const at = (i) => { const x = i % width, y = (i - x) / width; return x < x0 || x > x1 || y < y0 || y > y1 ? -1 : (y - y0) * aw + x - x0; };
  // The medium: the region's lines (not the stroke) and the specks.
  const speckAt = (v) => (v >= kTaken && v & kSpeck && (v & kFill) !== kLarge ? v & kFill : -1);
  const medium = (i) => speckAt(labels[i]) >= 0 || (labels[i] === region && marks && marks[i] & kLine);
  // Which part owns a pixel: a piece's index, -1 the rest of the region,
  // null none (another region, the stroke).
  const ownerOf = (v) => {
    if (v === region || (v >= kTaken && v & kSpeck)) return -1;
    if (v >= kTaken) return pieceOf.get(fills.root(v & kFill)) ?? -1;
    return null;
  };
  const owner = new Int32Array(aw * (y1 - y0 + 1)).fill(-2);
  let queue = [];
  for (let y = y0; y <= y1; y++) {
    for (let i = y * width + x0, end = y * width + x1; i <= end; i++) {
      if (!medium(i)) continue;
      let found = null;
      neighbours(i, width, fills.size, (q) => { if (found === null && !medium(q)) found = ownerOf(labels[q]); });
      if (found === null) continue;
      owner[at(i)] = found;
      queue.push(i);
    }
  }
  const settled = new Uint8Array(specks.length);
  const reach = (q, o, next) => {
    const l = at(q);
    if (l < 0 || owner[l] !== -2 || !medium(q)) return;
    owner[l] = o;
    next.push(q);
  };
  while (queue.length) {
    const next = [];
    for (const i of queue) {
      const o = owner[at(i)];
      const s = speckAt(labels[i]);
      if (s >= 0 && !settled[s]) {
        settled[s] = 1;
        if (o >= 0) pieces[o].specks.push(specks[s]);
        for (const q of specks[s]) reach(q, o, next);
      }
      neighbours(i, width, fills.size, (q) => reach(q, o, next));
    }
    queue = next;
  }
}

function withSpecks({ pixels, specks }) {
  if (!specks.length) return pixels;
  const all = new Uint32Array(pixels.length + specks.reduce((sum, speck) => sum + speck.length, 0));
  all.set(pixels);
  let n = pixels.length;
  for (const speck of specks) {
    all.set(speck, n);
    n += speck.length;
  }
  return all;
}

function boxOf(pixels, width, box = null) {
  let b = box;
  for (const i of pixels) {
    const x = i % width, y = (i - x) / width;
    if (!b) b = { x0: x, y0: y, x1: x, y1: y };
    else {
      if (x < b.x0) b.x0 = x;
      if (x > b.x1) b.x1 = x;
      if (y < b.y0) b.y0 = y;
      if (y > b.y1) b.y1 = y;
    }
  }
  return b;
}

// `page`: { labels, marks, width, height }; `cut`: the stroke's pixels of
// `region` (a Set of indexes). Answers the pieces of at least `smallest`
// pixels, largest first, as arrays of pixel indexes, and the slivers the
// stroke cut off that are smaller (left in the region, as the library
// would fold them).
export function cutPieces(page, region, cut, smallest = 1) {
  const fills = new CFills(page, region, cut);
  const result = { pieces: [], slivers: 0, box: null };
  try {
    fills.seed();
    fills.run();
    fills.settle();
    const finished = fills.roots().filter((g) => !fills.alive(g)).map((root) => ({ root, size: fills.sizes[root] }));
    // Every fill may end at once (a region the stroke cuts wholly): the
    // largest is the rest.
    if (!fills.growingRoots().length && finished.length) finished.splice(finished.indexOf(finished.reduce((a, b) => (b.size > a.size ? b : a))), 1);
    const pieces = [];
    for (const { root, size } of finished) {
      if (size < smallest) result.slivers++;
      else pieces.push({ root, pixels: fills.pixelsOf(root), specks: [] });
    }
    if (pieces.length) {
      const box = pieces.reduce((b, p) => fills.boxOfRoot(p.root, b), null);
      specksInto(fills, pieces, box, smallest);
      // The specks lie inside the pieces' box.
      result.box = box;
    }
    result.pieces = pieces.map(withSpecks).sort((a, b) => b.length - a.length);
  } finally {
    fills.restore();
  }
  return result;
}

export { boxOf };

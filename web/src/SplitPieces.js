// What a stroke cuts off a region, found near the stroke only. The region
// less its line art and the stroke is filled from every pixel beside the
// stroke at once, the fills taking turns and joining where they meet; as
// soon as a single fill is still growing, every other one has been closed
// off by the stroke and the lines: those are the pieces, the one still
// growing is the rest of the region. The work is that of the pieces, not
// of the region, which may be most of the page.
//
// The parts of the region the stroke does not reach are not pieces: they
// are the specks the smallest-region setting folded into it, kept folded.
// A speck lying inside a piece goes with that piece.
const kLine = 1;
// Labels stay below 2^24, so a fill can mark what it took in the labels
// themselves and give them back afterwards: no page-sized scratch array.
const kTaken = 0x80000000;
const kSpeck = 0x40000000;
const kTurn = 32;
// How far a speck looks through its outline for the region around it.
const kSpeckReach = 4096;

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
    this.queues = [];   // a fill's pixels, in the order taken; its queue from heads[f] on
    this.heads = [];
    this.parent = [];   // fills joined where they met
    this.groups = new Map();  // a joined group's root: { fills, size, growing }
    this.growing = 0;
  }

  open(i) {
    const { labels, marks } = this.page;
    return labels[i] === this.region && !(marks && marks[i] & kLine) && !this.cut.has(i);
  }

  root(f) {
    while (this.parent[f] !== f) {
      this.parent[f] = this.parent[this.parent[f]];
      f = this.parent[f];
    }
    return f;
  }

  seed(i) {
    if (!this.open(i)) return;
    const f = this.queues.length;
    this.page.labels[i] = kTaken | f;
    this.queues.push([i]);
    this.heads.push(0);
    this.parent.push(f);
    this.groups.set(f, { fills: [f], size: 1, next: 0 });
    this.growing++;
  }

  join(a, b) {
    let [ra, rb] = [this.root(a), this.root(b)];
    if (ra === rb) return;
    let [ga, gb] = [this.groups.get(ra), this.groups.get(rb)];
    if (ga.fills.length < gb.fills.length) [ra, rb, ga, gb] = [rb, ra, gb, ga];
    this.parent[rb] = ra;
    if (ga.fills.length && gb.fills.length) this.growing--;
    append(ga.fills, gb.fills);
    ga.size += gb.size;
    this.groups.delete(rb);
  }

  // One turn of a group: up to kTurn pixels, from its fills in turn.
  turn(root) {
    const group = this.groups.get(root);
    const { labels, width } = this.page;
    for (let n = 0; n < kTurn && group.fills.length && this.groups.get(root) === group;) {
      group.next %= group.fills.length;
      const f = group.fills[group.next];
      if (this.heads[f] === this.queues[f].length) {
        group.fills[group.next] = group.fills.at(-1);
        group.fills.pop();
        if (!group.fills.length) this.growing--;
        continue;
      }
      n++;
      const queue = this.queues[f];
      const p = queue[this.heads[f]++];
      const x = p % width;
      for (const q of [x > 0 ? p - 1 : -1, x < width - 1 ? p + 1 : -1, p - width, p + width]) {
        if (q < 0 || q >= this.size) continue;
        if (this.open(q)) {
          labels[q] = kTaken | f;
          queue.push(q);
          this.groups.get(this.root(f)).size++;
        } else if (labels[q] & kTaken && !(labels[q] & kSpeck)) {
          this.join(f, labels[q] & ~kTaken);
        }
      }
      group.next++;
    }
  }

  run() {
    while (this.growing > 1) {
      for (const root of [...this.groups.keys()]) {
        if (this.growing <= 1) break;
        if (this.groups.has(root) && this.groups.get(root).fills.length) this.turn(root);
      }
    }
  }

  // The fill still growing is the rest of the region only if it is the
  // largest part: it grows on until it outgrows every piece, or ends.
  settle() {
    const live = [...this.groups].find(([, g]) => g.fills.length);
    if (!live) return;
    const largest = Math.max(0, ...[...this.groups.values()].filter((g) => !g.fills.length).map((g) => g.size));
    while (live[1].fills.length && live[1].size <= largest) this.turn(live[0]);
  }

  pixelsOf(root) {
    const out = [];
    for (let f = 0; f < this.queues.length; f++) if (this.root(f) === root) append(out, this.queues[f]);
    return out;
  }

  restore() {
    const { labels } = this.page;
    for (const queue of this.queues) for (const i of queue) labels[i] = this.region;
  }
}

// Components of the region's own pixels inside `box` the fills did not
// reach and smaller than `smallest`: specks. Each joins the piece the
// nearest pixel across its outline belongs to, if that is a piece.
function specksInto(fills, pieces, box, smallest) {
  const { labels, width } = fills.page;
  const speckPixels = [];
  const pieceOf = new Map(pieces.map((p, k) => [p.root, k]));
  for (let y = box.y0; y <= box.y1; y++) {
    for (let i = y * width + box.x0, end = y * width + box.x1; i <= end; i++) {
      if (!fills.open(i)) continue;
      const speck = [i];
      labels[i] = kTaken | kSpeck;
      for (let h = 0; h < speck.length && speck.length < smallest; h++) {
        neighbours(speck[h], width, fills.size, (q) => {
          if (fills.open(q)) {
            labels[q] = kTaken | kSpeck;
            speck.push(q);
          }
        });
      }
      append(speckPixels, speck);
      if (speck.length >= smallest) continue;
      const owner = nearestAcross(fills, speck);
      if (owner !== null && pieceOf.has(owner)) append(pieces[pieceOf.get(owner)].pixels, speck);
    }
  }
  for (const i of speckPixels) labels[i] = fills.region;
}

// The fill group of the nearest pixel of the region outside the speck, or
// null for the rest of the region (or nothing near).
function nearestAcross(fills, speck) {
  const { labels, width } = fills.page;
  const seen = new Set(speck);
  const queue = [...speck];
  for (let h = 0; h < queue.length && queue.length < kSpeckReach; h++) {
    let found;
    neighbours(queue[h], width, fills.size, (q) => {
      if (found !== undefined || seen.has(q)) return;
      seen.add(q);
      if (labels[q] & kTaken && !(labels[q] & kSpeck)) found = fills.root(labels[q] & ~kTaken);
      else if (fills.open(q)) found = null;
      else queue.push(q);
    });
    if (found !== undefined) return found;
  }
  return null;
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
    for (const i of cut) neighbours(i, page.width, fills.size, (q) => fills.seed(q));
    fills.run();
    fills.settle();
    const finished = [...fills.groups].filter(([, g]) => !g.fills.length).map(([root, g]) => ({ root, size: g.size }));
    // Every fill may end at once (a region the stroke cuts wholly): the
    // largest is the rest.
    if (fills.growing === 0 && finished.length) finished.splice(finished.indexOf(finished.reduce((a, b) => (b.size > a.size ? b : a))), 1);
    const pieces = [];
    for (const { root, size } of finished) {
      if (size < smallest) result.slivers++;
      else pieces.push({ root, pixels: fills.pixelsOf(root) });
    }
    if (pieces.length) {
      const box = pieces.reduce((b, p) => boxOf(p.pixels, page.width, b), null);
      specksInto(fills, pieces, box, smallest);
    }
    result.pieces = pieces.map((p) => p.pixels).sort((a, b) => b.length - a.length);
    result.box = result.pieces.reduce((b, p) => boxOf(p, page.width, b), null);
  } finally {
    fills.restore();
  }
  return result;
}

export { boxOf };

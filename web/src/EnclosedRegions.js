// The regions lying wholly inside one region: a balloon's letter counters,
// the wedges a frame holds. The lines are melted into the regions, so the
// region map has no gaps: a region is inside `outer` when every region it
// touches is `outer` or another region inside it. One pass over outer's box.

// `fixes`: a RegionFixes (labels, width, height, box()). Answers the labels.
export function regionsInside(fixes, outer) {
  const box = fixes.box(outer);
  if (!box) return [];
  const { labels, width, height } = fixes;
  const candidates = new Set();
  for (let r = 0; r < fixes.regionCount; r++) {
    const b = r === outer ? null : fixes.box(r);
    if (b && b.x0 > box.x0 && b.y0 > box.y0 && b.x1 < box.x1 && b.y1 < box.y1) candidates.add(r);
  }
  if (!candidates.size) return [];
  // Who touches whom among the candidates, and which touch a region
  // neither outer nor a candidate.
  const touches = new Map();
  const outside = new Set();
  const meet = (a, b) => {
    if (b === a || b === outer) return;
    if (!candidates.has(b)) outside.add(a);
    else if (!touches.get(a)?.has(b)) {
      if (!touches.has(a)) touches.set(a, new Set());
      if (!touches.has(b)) touches.set(b, new Set());
      touches.get(a).add(b);
      touches.get(b).add(a);
    }
  };
  for (let y = box.y0; y <= box.y1; y++) {
    for (let x = box.x0, i = y * width + box.x0; x <= box.x1; x++, i++) {
      const a = labels[i];
      if (a === outer || !candidates.has(a)) continue;
      if (x + 1 < width) meet(a, labels[i + 1]);
      if (y + 1 < height) meet(a, labels[i + width]);
      if (x > 0) meet(a, labels[i - 1]);
      if (y > 0) meet(a, labels[i - width]);
    }
  }
  // A candidate touching the outside takes every candidate it touches out
  // with it.
  const queue = [...outside];
  for (let h = 0; h < queue.length; h++) {
    for (const b of touches.get(queue[h]) ?? []) {
      if (outside.has(b)) continue;
      outside.add(b);
      queue.push(b);
    }
  }
  return [...candidates].filter((r) => !outside.has(r));
}

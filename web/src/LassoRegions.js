// The regions a drawn loop encloses: every region whose pixels all lie
// inside the loop (the wedges between speed lines, a row of counters).
// The loop is closed from its last point back to its first; a pixel is
// inside when its centre is, by the even-odd rule.

// Inside-or-not for each pixel of `box`, row by row.
function loopMask(points, box) {
  const w = box.x1 - box.x0 + 1;
  const mask = new Uint8Array(w * (box.y1 - box.y0 + 1));
  for (let y = box.y0; y <= box.y1; y++) {
    const cy = y + 0.5;
    const crossings = [];
    for (let k = 0; k < points.length; k++) {
      const a = points[k], b = points[(k + 1) % points.length];
      if ((a.y <= cy) === (b.y <= cy)) continue;
      crossings.push(a.x + ((cy - a.y) * (b.x - a.x)) / (b.y - a.y));
    }
    crossings.sort((p, q) => p - q);
    for (let c = 0; c + 1 < crossings.length; c += 2) {
      const from = Math.max(box.x0, Math.ceil(crossings[c] - 0.5)), to = Math.min(box.x1, Math.floor(crossings[c + 1] - 0.5));
      if (to >= from) mask.fill(1, (y - box.y0) * w + from - box.x0, (y - box.y0) * w + to - box.x0 + 1);
    }
  }
  return mask;
}

// `fixes`: a RegionFixes. Answers the labels, `keep` left out.
export function regionsInLoop(fixes, points, keep) {
  if (points.length < 3) return [];
  const xs = points.map((p) => p.x), ys = points.map((p) => p.y);
  const box = { x0: Math.max(0, Math.floor(Math.min(...xs))), y0: Math.max(0, Math.floor(Math.min(...ys))),
    x1: Math.min(fixes.width - 1, Math.ceil(Math.max(...xs))), y1: Math.min(fixes.height - 1, Math.ceil(Math.max(...ys))) };
  if (box.x1 < box.x0 || box.y1 < box.y0) return [];
  const mask = loopMask(points, box);
  const w = box.x1 - box.x0 + 1;
  const { labels, width } = fixes;
  const found = [];
  for (let r = 0; r < fixes.regionCount; r++) {
    const b = r === keep ? null : fixes.box(r);
    if (!b || b.x0 < box.x0 || b.y0 < box.y0 || b.x1 > box.x1 || b.y1 > box.y1) continue;
    let inside = true;
    for (let y = b.y0; y <= b.y1 && inside; y++) {
      for (let x = b.x0; x <= b.x1; x++) {
        if (labels[y * width + x] === r && !mask[(y - box.y0) * w + x - box.x0]) {
          inside = false;
          break;
        }
      }
    }
    if (inside) found.push(r);
  }
  return found;
}

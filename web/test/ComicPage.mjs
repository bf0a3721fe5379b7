// A page drawn as a comic page is inked, for the fix tools: panels whose
// dividing line was left open (the two halves one region), a balloon whose
// tail was left open (one region with the panel), letters whose counters
// are regions of their own, and hatching whose cells are smaller than the
// smallest region, so the library folds them. Sizes are in pixels at 600
// dpi, whatever the page's size; with a gap of 20 (the default for A4)
// nothing drawn open is closed, and the smallest region is 100 pixels.
const kLine = 8;
export const kOpening = 60;

// Where each drawn feature lies, for the tests and the bench to aim at.
export function comicLayout(width, height) {
  const margin = Math.round(Math.min(width, height) * 0.04), gutter = 60;
  const cols = Math.max(1, Math.round(width / 2400)), rows = Math.max(1, Math.round(height / 2300));
  const pw = Math.floor((width - 2 * margin - (cols - 1) * gutter) / cols);
  const ph = Math.floor((height - 2 * margin - (rows - 1) * gutter) / rows);
  const panels = [];
  for (let r = 0; r < rows; r++) {
    for (let c = 0; c < cols; c++) {
      const x0 = margin + c * (pw + gutter), y0 = margin + r * (ph + gutter);
      const divider = { y: y0 + Math.round(ph * 0.62), gapX: x0 + Math.round(pw * 0.3) };
      const rx = Math.min(Math.round(pw * 0.3), 500), ry = Math.min(Math.round(ph * 0.12), 220);
      const balloon = { cx: x0 + Math.round(pw / 2), cy: y0 + Math.round(ph * 0.25), rx, ry };
      const hatch = { x0: x0 + Math.round(pw * 0.55), y0: divider.y + 80, x1: x0 + Math.round(pw * 0.55) + 300, y1: divider.y + 280 };
      panels.push({ x0, y0, x1: x0 + pw - 1, y1: y0 + ph - 1, divider, balloon, hatch });
    }
  }
  return panels;
}

// Letters: thin rings with counters of about 380 pixels, too much paper for
// their ink to be taken for a word's counters, so they stay regions for the
// merge tools; after them, small ones with counters of about 50 (folded).
function letters(balloon) {
  const out = [];
  for (let row = -1; row <= 1; row++) {
    for (let k = -4; k <= 4; k++) out.push({ x: balloon.cx + k * 70, y: balloon.cy + row * 70 - 20, outer: 12, inner: 11 });
  }
  for (let k = -4; k <= 4; k++) out.push({ x: balloon.cx + k * 40, y: balloon.cy + 110, outer: 8, inner: 4 });
  return out;
}

export function drawComicPage(width, height) {
  const data = new Uint8Array(width * height * 3).fill(255);
  const ink = (x0, y0, x1, y1) => {
    for (let y = Math.max(0, y0); y < Math.min(height, y1); y++) data.fill(0, (y * width + Math.max(0, x0)) * 3, (y * width + Math.min(width, x1)) * 3);
  };
  const ring = (cx, cy, outer, inner, skip = () => false) => {
    for (let y = Math.floor(cy - outer); y <= cy + outer; y++) {
      for (let x = Math.floor(cx - outer); x <= cx + outer; x++) {
        const d = Math.hypot(x - cx, y - cy);
        if (d <= outer && d > inner && !skip(x, y)) ink(x, y, x + 1, y + 1);
      }
    }
  };
  for (const p of comicLayout(width, height)) {
    ink(p.x0, p.y0, p.x1 + 1, p.y0 + kLine);
    ink(p.x0, p.y1 + 1 - kLine, p.x1 + 1, p.y1 + 1);
    ink(p.x0, p.y0, p.x0 + kLine, p.y1 + 1);
    ink(p.x1 + 1 - kLine, p.y0, p.x1 + 1, p.y1 + 1);
    const { divider: d, balloon: b, hatch: h } = p;
    ink(p.x0, d.y, d.gapX, d.y + kLine);
    ink(d.gapX + kOpening, d.y, p.x1 + 1, d.y + kLine);
    // The balloon's outline, 6 pixels, open at the bottom where its tail
    // would be.
    for (let y = b.cy - b.ry - 4; y <= b.cy + b.ry + 4; y++) {
      for (let x = b.cx - b.rx - 4; x <= b.cx + b.rx + 4; x++) {
        const e = Math.hypot((x - b.cx) / b.rx, (y - b.cy) / b.ry);
        const thick = 6 / Math.min(b.rx, b.ry);
        if (e <= 1 && e > 1 - thick && !(y > b.cy && Math.abs(x - b.cx) < kOpening / 2)) ink(x, y, x + 1, y + 1);
      }
    }
    for (const l of letters(b)) ring(l.x, l.y, l.outer, l.inner);
    for (let x = h.x0; x <= h.x1; x += 12) ink(x, h.y0, x + 3, h.y1 + 3);
    for (let y = h.y0; y <= h.y1; y += 12) ink(h.x0, y, h.x1 + 3, y + 3);
  }
  return { width, height, channels: 3, data };
}

// The stroke a flatter draws over the divider's opening, each end `short`
// pixels before the line's end, and over the balloon's.
export function dividerStroke(panel, short = 0) {
  const { y, gapX } = panel.divider;
  return [{ x: gapX - 1 + short, y: y + kLine / 2 }, { x: gapX + kOpening - short, y: y + kLine / 2 }];
}

export function balloonStroke(panel, short = 0) {
  const { cx, cy, ry } = panel.balloon;
  const y = cy + ry - 3;
  return [{ x: cx - kOpening / 2 - 2 + short, y }, { x: cx + kOpening / 2 + 1 - short, y }];
}

export { letters as balloonLetters };

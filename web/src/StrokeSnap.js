// A split stroke is meant to run from line to line; a hand seldom lands
// exactly on the ink. Each end that stops short of the line art is carried
// on to the nearest line pixel within a few pixels.
const kLine = 1;
export const kSnapReach = 6;

// The nearest line pixel within `reach` (Euclidean) ahead of an end that
// was heading along (hx, hy), or anywhere near it without a heading; null
// when there is none. Ink behind the end is where the stroke came from.
function nearestInk(marks, width, height, x, y, [hx, hy], reach) {
  let best = null;
  const heading = Math.hypot(hx, hy);
  for (let dy = -reach; dy <= reach; dy++) {
    for (let dx = -reach; dx <= reach; dx++) {
      const nx = x + dx, ny = y + dy, d = dx * dx + dy * dy;
      if (nx < 0 || ny < 0 || nx >= width || ny >= height || d > reach * reach) continue;
      if (!(marks[ny * width + nx] & kLine)) continue;
      // Within 60 degrees of the heading.
      if (heading > 0 && dx * hx + dy * hy < 0.5 * heading * Math.sqrt(d)) continue;
      if (!best || d < best.d) best = { x: nx, y: ny, d };
    }
  }
  return best;
}

// Where the stroke was heading at an end: from a point a few pixels back.
function headingAt(points, end) {
  const order = end === 0 ? points : [...points].reverse();
  const tip = order[0];
  const back = order.find((p) => Math.hypot(p.x - tip.x, p.y - tip.y) >= 3) ?? order.at(-1);
  return [tip.x - back.x, tip.y - back.y];
}

// Answers the stroke with its ends carried to the ink, and for each end
// how far it was carried: 0 on the ink already, null with no ink in reach.
export function snapStroke(points, { marks, width, height }, reach = kSnapReach) {
  if (!marks || !points.length) return { points, moved: [null, null] };
  const ends = [points[0], points.at(-1)].map((p, end) => {
    const x = Math.floor(p.x), y = Math.floor(p.y);
    if (x >= 0 && y >= 0 && x < width && y < height && marks[y * width + x] & kLine) return { moved: 0 };
    const ink = nearestInk(marks, width, height, x, y, headingAt(points, end), reach);
    return ink ? { point: { x: ink.x, y: ink.y }, moved: Math.round(Math.sqrt(ink.d)) } : { moved: null };
  });
  const out = [...points];
  if (ends[0].point) out.unshift(ends[0].point);
  if (ends[1].point) out.push(ends[1].point);
  return { points: out, moved: ends.map((e) => e.moved) };
}

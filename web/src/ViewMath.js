// Where the page's image lies on the viewer's canvas. A view is
// { scale, x, y }: image pixel (i, j) covers the canvas from
// (x + i * scale, y + j * scale). Canvas units are device pixels, so 100%
// puts one image pixel on one screen pixel.
export const kMaxScale = 8;

// Below 100% any scale will do; from 100% up only whole scales, so that
// every image pixel is the same number of screen pixels wide.
const kSteps = [1 / 8, 1 / 6, 1 / 4, 1 / 3, 1 / 2, 2 / 3, 1, 2, 3, 4, 5, 6, 8];

export function fitScale(width, height, viewWidth, viewHeight) {
  const fit = Math.min(viewWidth / width, viewHeight / height);
  return Math.min(kMaxScale, fit >= 1 ? Math.floor(fit) : fit);
}

export function minScale(width, height, viewWidth, viewHeight) {
  return Math.min(1, fitScale(width, height, viewWidth, viewHeight));
}

export function nextScale(scale, direction, lowest) {
  const steps = [...new Set([lowest, ...kSteps.filter((s) => s > lowest)])];
  const epsilon = 1e-9;
  const found = direction > 0 ? steps.find((s) => s > scale + epsilon) : steps.reverse().find((s) => s < scale - epsilon);
  return found ?? (direction > 0 ? kMaxScale : lowest);
}

export function fitView(width, height, viewWidth, viewHeight) {
  const scale = fitScale(width, height, viewWidth, viewHeight);
  return clampView({ scale, x: 0, y: 0 }, width, height, viewWidth, viewHeight);
}

// Zooms keeping the image point under (px, py) where it is.
export function zoomAt(view, scale, px, py) {
  const ratio = scale / view.scale;
  return { scale, x: px - (px - view.x) * ratio, y: py - (py - view.y) * ratio };
}

// An image smaller than the view sits in its middle; a larger one cannot be
// pushed off so far that empty canvas shows beside it. From 100% up the
// origin is whole, so pixel edges fall on screen pixel edges.
export function clampView(view, width, height, viewWidth, viewHeight) {
  const axis = (offset, size, viewSize) => {
    const drawn = size * view.scale;
    if (drawn <= viewSize) return (viewSize - drawn) / 2;
    return Math.min(0, Math.max(viewSize - drawn, offset));
  };
  let x = axis(view.x, width, viewWidth);
  let y = axis(view.y, height, viewHeight);
  if (view.scale >= 1) {
    x = Math.round(x);
    y = Math.round(y);
  }
  return { scale: view.scale, x, y };
}

export function toImage(view, px, py) {
  return { x: (px - view.x) / view.scale, y: (py - view.y) / view.scale };
}

// The part of the image that shows, as a source rectangle in image pixels
// and where it goes on the canvas: drawing only that keeps a frame's cost
// to the canvas's size, not the page's.
export function visiblePart(view, width, height, viewWidth, viewHeight) {
  const sx = Math.max(0, Math.floor(-view.x / view.scale));
  const sy = Math.max(0, Math.floor(-view.y / view.scale));
  const ex = Math.min(width, Math.ceil((viewWidth - view.x) / view.scale));
  const ey = Math.min(height, Math.ceil((viewHeight - view.y) / view.scale));
  if (ex <= sx || ey <= sy) return null;
  return {
    sx, sy, sw: ex - sx, sh: ey - sy,
    dx: view.x + sx * view.scale, dy: view.y + sy * view.scale, dw: (ex - sx) * view.scale, dh: (ey - sy) * view.scale,
  };
}

export function percent(scale) {
  return `${Math.round(scale * 100)}%`;
}

// Which filter the page runs and Auto Flats' choices, remembered as the
// depth and the white option are. Empty fields mean the library's default.
const kKey = 'vandrel.autoflat';
export const kMaxGap = 4096;

function whole(value, min, max) {
  if (value === null || value === undefined || String(value).trim() === '') return null;
  const n = Math.round(Number(value));
  if (!Number.isFinite(n) || n < min || n > max) return null;
  return n;
}

export const clampGap = (value) => whole(value, 1, kMaxGap);
export const clampMinRegion = (value) => whole(value, 0, 2 ** 31 - 1);
export const clampThreshold = (value) => whole(value, 1, 255);

export function autoSettingsKey({ gap, minRegion, spotBlacks, keepLines, palette = null, threshold = null }) {
  const colours = palette ? palette.colours.map((c) => c.join('.')).join(',') : '-';
  return `auto:${gap ?? '-'}:${minRegion ?? '-'}:${spotBlacks}:${keepLines ? 'K' : '-'}:${colours}:${threshold ?? '-'}`;
}

export function loadAutoSettings(storage = globalThis.localStorage) {
  const settings = { mode: 'flat', gap: null, minRegion: null, spotBlacks: 'regions', keepLines: false, palette: null, threshold: null };
  try {
    const saved = JSON.parse(storage.getItem(kKey) || '{}');
    settings.mode = saved.mode === 'auto' ? 'auto' : 'flat';
    settings.gap = clampGap(saved.gap);
    settings.minRegion = clampMinRegion(saved.minRegion);
    settings.spotBlacks = saved.spotBlacks === 'lines' ? 'lines' : 'regions';
    settings.keepLines = saved.keepLines === true;
    settings.threshold = clampThreshold(saved.threshold);
    const valid = (c) => Array.isArray(c) && c.length === 3 && c.every((v) => Number.isInteger(v) && v >= 0 && v <= 255);
    if (saved.palette && typeof saved.palette.name === 'string' && Array.isArray(saved.palette.colours) &&
        saved.palette.colours.length && saved.palette.colours.every(valid))
      settings.palette = { name: saved.palette.name, colours: saved.palette.colours };
  } catch {
    // The defaults.
  }
  return settings;
}

export function saveAutoSettings(settings, storage = globalThis.localStorage) {
  try {
    const { mode, gap, minRegion, spotBlacks, keepLines, palette, threshold } = settings;
    storage.setItem(kKey, JSON.stringify({ mode, gap, minRegion, spotBlacks, keepLines, palette, threshold }));
  } catch {
    // As with the other settings.
  }
}

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

export function autoSettingsKey({ gap, minRegion, spotBlacks, keepLines }) {
  return `auto:${gap ?? '-'}:${minRegion ?? '-'}:${spotBlacks}:${keepLines ? 'K' : '-'}`;
}

export function loadAutoSettings(storage = globalThis.localStorage) {
  const settings = { mode: 'flat', gap: null, minRegion: null, spotBlacks: 'regions', keepLines: false };
  try {
    const saved = JSON.parse(storage.getItem(kKey) || '{}');
    settings.mode = saved.mode === 'auto' ? 'auto' : 'flat';
    settings.gap = clampGap(saved.gap);
    settings.minRegion = clampMinRegion(saved.minRegion);
    settings.spotBlacks = saved.spotBlacks === 'lines' ? 'lines' : 'regions';
    settings.keepLines = saved.keepLines === true;
  } catch {
    // The defaults.
  }
  return settings;
}

export function saveAutoSettings(settings, storage = globalThis.localStorage) {
  try {
    const { mode, gap, minRegion, spotBlacks, keepLines } = settings;
    storage.setItem(kKey, JSON.stringify({ mode, gap, minRegion, spotBlacks, keepLines }));
  } catch {
    // As with the other settings.
  }
}

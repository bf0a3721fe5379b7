// The two settings, remembered in the browser as the dialog remembers them
// in its preferences file.
export const kMinDepth = 1;
export const kMaxDepth = 300;
export const kDefaultDepth = 256;
const kKey = 'vandrel.settings';

export function clampDepth(value) {
  if (value === null || value === undefined || String(value).trim() === '') return null;
  const n = Math.round(Number(value));
  if (!Number.isFinite(n)) return null;
  return Math.min(kMaxDepth, Math.max(kMinDepth, n));
}

export function loadSettings(storage = globalThis.localStorage) {
  const settings = { depth: kDefaultDepth, white: false };
  try {
    const saved = JSON.parse(storage.getItem(kKey) || '{}');
    settings.depth = clampDepth(saved.depth) ?? kDefaultDepth;
    settings.white = saved.white === true;
  } catch {
    // Unreadable or unavailable storage: the defaults.
  }
  return settings;
}

export function saveSettings(settings, storage = globalThis.localStorage) {
  try {
    storage.setItem(kKey, JSON.stringify({ depth: settings.depth, white: settings.white }));
  } catch {
    // Private windows may refuse storage; the page works on without it.
  }
}

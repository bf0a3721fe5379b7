// Which pages a press of Flat has work for, and the list's counts. A page
// remembers the settings it was flatted with; only a page never flatted,
// or flatted with other settings, is done again.
export function settingsKey({ depth, white }) {
  return `${depth}:${white ? 'W' : 'B'}`;
}

// `key` is the settings' key, or a function giving a page's own (a page
// with its own hints page flats differently from one without).
const keyOf = (key, page) => (typeof key === 'function' ? key(page) : key);

export function needsFlat(page, key) {
  if (page.state === 'refused' || page.state === 'checking') return false;
  return !(page.state === 'done' && page.doneKey === keyOf(key, page));
}

export function pagesToFlat(pages, key) {
  return pages.filter((page) => needsFlat(page, key));
}

export function withoutPage(pages, id) {
  return pages.filter((page) => page.id !== id);
}

export function plural(count, word) {
  return `${count} ${word}${count === 1 ? '' : 's'}`;
}

export function summary(pages, key) {
  const done = pages.filter((p) => p.state === 'done' && p.doneKey === keyOf(key, p)).length;
  const refused = pages.filter((p) => p.state === 'refused').length;
  const todo = pagesToFlat(pages, key).length;
  if (!pages.length) return 'No pages yet.';
  const parts = [];
  if (done) parts.push(`${plural(done, 'page')} flatted`);
  if (todo) parts.push(`${plural(todo, 'page')} to flat`);
  if (refused) parts.push(`${plural(refused, 'file')} refused`);
  return `${parts.join(', ')}.`;
}

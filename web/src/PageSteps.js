// Moving between the chapter's pages from the keyboard: PageDown or ] to
// the next, PageUp or [ to the one before, never while a field is typed in.
const kTyping = new Set(['INPUT', 'TEXTAREA', 'SELECT']);

export function stepKey(event) {
  if (event.ctrlKey || event.metaKey || event.altKey) return 0;
  const target = event.target;
  if (target && (kTyping.has(target.tagName) || target.isContentEditable)) return 0;
  if (event.key === 'PageDown' || event.key === ']') return 1;
  if (event.key === 'PageUp' || event.key === '[') return -1;
  return 0;
}

// The page `direction` steps from `page` (1 next, -1 before), or null at
// either end; from no page, the first or last.
export function pageNear(pages, page, direction) {
  const at = pages.indexOf(page);
  if (at < 0) return direction > 0 ? pages[0] ?? null : pages.at(-1) ?? null;
  return pages[at + direction] ?? null;
}

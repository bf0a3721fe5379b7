// A page's fixes kept with it: what undo and redo walk, and what brings a
// kept result back to its last fixed state. Each fix holds what it
// changed, so playing the done ones again over the result as flatted gives
// the pixels the flatter last saw.
export function historyOf(fixes, stamp) {
  return { done: [...fixes.done], undone: [...fixes.undone], stamp };
}

export function replayFixes(fixes, history) {
  const done = history?.done ?? [];
  if (done.length) fixes.box(0);
  for (const fix of done) fixes.run(fix, 'do');
  fixes.done = [...done];
  fixes.undone = [...(history?.undone ?? [])];
}

// Memory taken from the engine's heap for one call, all given back together
// however the call ends.
export function engineBlocks(engine) {
  const blocks = [];
  return {
    alloc(n) {
      const at = engine._vandrel_alloc(n);
      if (!at) throw new RangeError('not enough memory for this page');
      blocks.push(at);
      return at;
    },
    freeAll() {
      for (const at of blocks.reverse()) engine._vandrel_free(at);
      blocks.length = 0;
    },
  };
}

// The page's side of the pass host: the worker sets Module.onFlatProgress
// and Module.flatCancelled before each run.
mergeInto(LibraryManager.library, {
  vandrel_report_progress: function (rowsDone, rowCount) {
    if (Module['onFlatProgress']) Module['onFlatProgress'](rowsDone, rowCount);
  },
  vandrel_test_abort: function () {
    return Module['flatCancelled'] && Module['flatCancelled']() ? 1 : 0;
  },
});

// The page list's bookkeeping: which pages Flat redoes, removal, and what
// the status line says.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { needsFlat, pagesToFlat, settingsKey, summary, withoutPage } from '../src/WorkList.js';

const key = settingsKey({ depth: 10, white: false });
const page = (id, state, doneKey = null) => ({ id, state, doneKey });

test('only new pages and pages flatted with other settings are flatted again', () => {
  const pages = [page(1, 'ready'), page(2, 'done', key), page(3, 'done', settingsKey({ depth: 10, white: true })),
    page(4, 'refused'), page(5, 'cancelled'), page(6, 'failed'), page(7, 'checking')];
  assert.deepEqual(pagesToFlat(pages, key).map((p) => p.id), [1, 3, 5, 6]);
  assert.equal(needsFlat(pages[1], settingsKey({ depth: 11, white: false })), true);
  assert.notEqual(settingsKey({ depth: 10, white: false }), settingsKey({ depth: 10, white: true }));
});

test('removing a page leaves the others in their order', () => {
  const pages = [page(1, 'ready'), page(2, 'ready'), page(3, 'ready')];
  assert.deepEqual(withoutPage(pages, 2).map((p) => p.id), [1, 3]);
  assert.deepEqual(withoutPage(pages, 9).map((p) => p.id), [1, 2, 3]);
});

test('the status line counts what is flatted, what is left and what was refused', () => {
  assert.equal(summary([], key), 'No pages yet.');
  assert.equal(summary([page(1, 'done', key), page(2, 'ready'), page(3, 'refused'), page(4, 'refused')], key),
    '1 page flatted, 1 page to flat, 2 files refused.');
  assert.equal(summary([page(1, 'done', 'other')], key), '1 page to flat.');
});

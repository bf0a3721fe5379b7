// The remembered settings and the result names, without a browser.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { clampDepth, kDefaultDepth, loadSettings, saveSettings } from '../src/Settings.js';
import { resultName, uniqueNames } from '../src/Names.js';

function memoryStorage(initial = {}) {
  const items = { ...initial };
  return { getItem: (k) => items[k] ?? null, setItem: (k, v) => { items[k] = String(v); }, items };
}

test('depths are whole numbers from 1 to 300; an empty or unreadable field is no depth', () => {
  assert.deepEqual([0, 1, 12.4, 12.5, 300, 301, -5, '77', ' 9 '].map(clampDepth), [1, 1, 12, 13, 300, 300, 1, 77, 9]);
  for (const nothing of ['', '  ', 'abc', null, undefined, NaN]) assert.equal(clampDepth(nothing), null, String(nothing));
});

test('settings survive a save and load; anything stored wrongly falls back to the defaults', () => {
  const storage = memoryStorage();
  assert.deepEqual(loadSettings(storage), { depth: kDefaultDepth, white: false });
  saveSettings({ depth: 42, white: true }, storage);
  assert.deepEqual(loadSettings(storage), { depth: 42, white: true });
  for (const stored of ['{not json', '{"depth":"x","white":"yes"}', '{"depth":9999,"white":1}', 'null']) {
    const loaded = loadSettings(memoryStorage({ 'vandrel.settings': stored }));
    assert.equal(loaded.white, false, stored);
    assert.ok(loaded.depth === kDefaultDepth || loaded.depth === 300, stored);
  }
  const refusing = { getItem: () => { throw new Error('denied'); }, setItem: () => { throw new Error('denied'); } };
  assert.deepEqual(loadSettings(refusing), { depth: kDefaultDepth, white: false });
  saveSettings({ depth: 5, white: true }, refusing);  // no throw
});

test('results are named after their pages and never collide in the zip', () => {
  assert.equal(resultName('page 1.PNG'), 'page 1-flat.png');
  assert.equal(resultName('.png'), 'page-flat.png');
  assert.deepEqual(uniqueNames(['a-flat.png', 'A-flat.png', 'a-flat.png', 'b-flat.png']),
    ['a-flat.png', 'A-flat (2).png', 'a-flat (3).png', 'b-flat.png']);
  // Layered files and palettes collide as PNGs do, and a name without an
  // extension still ends.
  assert.deepEqual(uniqueNames(['a-flat.psd', 'a-flat.psd', 'p.gpl', 'p.gpl', 'x', 'x']),
    ['a-flat.psd', 'a-flat (2).psd', 'p.gpl', 'p (2).gpl', 'x', 'x (2)']);
});

// Palettes as `vandrel autoflat --palette` reads them.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { parsePalette } from '../src/PaletteText.js';
import { autoSettingsKey, loadAutoSettings } from '../src/AutoSettings.js';

test('GIMP palettes and #rrggbb lines give their colours once each, in order', () => {
  assert.deepEqual(parsePalette('GIMP Palette\nName: x\nColumns: 4\n#\n255 0 0\tred\n 0  128 9 green\n255 0 0\n\n'), [[255, 0, 0], [0, 128, 9]]);
  assert.deepEqual(parsePalette('#FF8800\r\n00aa11\n\n#ff8800\n'), [[255, 136, 0], [0, 170, 17]]);
});

test('bad lines, dark colours and empty palettes are refused with the line', () => {
  assert.throws(() => parsePalette('#12345\n'), /palette line 1: expected a colour as #rrggbb, found "#12345"/);
  assert.throws(() => parsePalette('GIMP Palette\n1 2\n'), /palette line 2: expected three numbers 0-255/);
  assert.throws(() => parsePalette('GIMP Palette\n1 2 256\n'), /palette line 2: expected three numbers/);
  assert.throws(() => parsePalette('#ffffff\n#080808\n'), /palette line 2: a colour this dark would be taken for line art/);
  assert.throws(() => parsePalette('GIMP Palette\n# nothing\n'), /the palette holds no colours/);
  assert.throws(() => parsePalette('#ffffff\0'), /not a text file/);
});

test('the palette is part of the settings a result depends on, and is remembered', () => {
  const base = { gap: null, minRegion: null, spotBlacks: 'regions', keepLines: false };
  assert.notEqual(autoSettingsKey(base), autoSettingsKey({ ...base, palette: { name: 'p', colours: [[1, 2, 3]] } }));
  const storage = { getItem: () => JSON.stringify({ mode: 'auto', palette: { name: 'p.gpl', colours: [[10, 20, 30]] } }) };
  assert.deepEqual(loadAutoSettings(storage).palette, { name: 'p.gpl', colours: [[10, 20, 30]] });
  const bad = { getItem: () => JSON.stringify({ palette: { name: 'p', colours: [[300, 0, 0]] } }) };
  assert.equal(loadAutoSettings(bad).palette, null);
});

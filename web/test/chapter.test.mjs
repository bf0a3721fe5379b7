// A chapter worked in the page, in headless Chromium: results and fixes kept
// over a reload and a browser restart, the kept work cleared, memory that
// stays flat over many pages, moving between pages by keys, and the
// canvas-first layout at desktop and tablet widths.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { openPage } from '../tools/PageDriver.mjs';
import { drawLineArt, drawPage, loadPixels, nativeAutoflat, nativeFlat, savePng } from './TestPages.mjs';

let dir;
let driver;

before(async () => {
  dir = mkdtempSync(join(tmpdir(), 'vandrel-chapter-'));
  driver = await openPage();
  await driver.page.setViewport({ width: 1440, height: 900 });
});

after(async () => {
  await driver?.close();
  if (dir) rmSync(dir, { recursive: true, force: true });
});

function samePixels(actualPath, expected, label) {
  const actual = loadPixels(actualPath);
  const e = typeof expected === 'string' ? loadPixels(expected) : expected;
  assert.deepEqual([actual.width, actual.height, actual.channels], [e.width, e.height, e.channels], label);
  let count = 0;
  for (let i = 0; i < e.data.length; i++) if (actual.data[i] !== e.data[i]) count++;
  assert.equal(count, 0, `${label}: ${count} samples differ`);
}

const onScreen = () => driver.page.evaluate(() => document.querySelector('#pages li.active')?.dataset.name ?? null);
const shown = () => driver.page.waitForFunction(() => document.querySelector('#stage .viewer')?.dataset.view, { timeout: 60_000 });

async function saved(index, fixes) {
  await driver.page.waitForFunction((i, n) => {
    const li = document.querySelectorAll('#pages li')[i];
    return li?.dataset.fixes === String(n) && li.dataset.savedVersion === String(n);
  }, { timeout: 30_000 }, index, fixes);
}

// The fixes as a user makes them, through the tools on the page on screen.
function fix(steps) {
  return driver.page.evaluate((list) => {
    const { tools } = document.querySelector('#stage .viewer').viewer;
    for (const [tool, x, y, colour] of list) {
      if (tools.tool !== tool) tools.choose(tool);
      if (colour) tools.picker.value = colour;
      tools.click({ x, y });
    }
  }, steps);
}

// The one kept result in the browser's database, changed by `change` (run
// in the page). A change answering false finds the record not yet as the
// test needs it and is tried again a moment later.
function changeKeptResult(change) {
  return driver.page.evaluate((source) => new Promise((done, fail) => {
    const apply = (0, eval)(`(${source})`);
    const attempt = () => {
      const request = indexedDB.open('vandrel-pages');
      request.onerror = () => fail(request.error);
      request.onsuccess = () => {
        const db = request.result;
        const store = db.transaction('results', 'readwrite').objectStore('results');
        const all = store.getAll();
        all.onsuccess = () => {
          const [record] = all.result;
          if (apply(record) === false) {
            db.close();
            setTimeout(attempt, 50);
            return;
          }
          store.put(record).onsuccess = () => { db.close(); done(); };
        };
      };
    };
    attempt();
  }), change.toString());
}

describe('work kept in the browser', () => {
  const cell = 37;
  let path, native, map;
  before(() => {
    path = savePng(join(dir, 'kept.png'), drawLineArt(300, 200, { seed: 51, cell, gap: 2 }));
    native = nativeAutoflat(path, join(dir, 'native-kept.png'), [], join(dir, 'native-kept-regions.png'));
    map = loadPixels(join(dir, 'native-kept-regions.png'));
  });

  test('an Auto Flats result and its fixes survive a reload and a browser restart, and undo still walks them back', async () => {
    await driver.clearPages();
    await driver.setAuto({});
    await driver.addFiles([path]);
    await driver.flat();
    await shown();
    const [a, b, c] = [[cell + 6, cell + 6], [2 * cell + 6, cell + 6], [3 * cell + 6, 2 * cell + 6]];
    assert.notEqual(map.data[a[1] * 300 + a[0]], map.data[b[1] * 300 + b[0]], 'the cells are one region');
    await fix([['colour', ...a, '#123456'], ['merge', ...b], ['merge', ...a], ['colour', ...c, '#abcdef']]);
    await saved(0, 3);
    const fixedFlats = loadPixels(await driver.downloadPage(0, 'kept-flats.png'));
    const fixedMap = loadPixels(await driver.download('#pages li a.download-map', 'kept-regions.png'));
    assert.notDeepEqual(Buffer.from(fixedFlats.data), Buffer.from(loadPixels(native).data), 'the fixes changed nothing');

    await driver.reload();
    await shown();
    assert.equal(await driver.page.$eval('#pages li', (li) => li.dataset.state), 'done');
    // The downloads are the fixed files; the screen shows the fixed flats.
    samePixels(await driver.downloadPage(0, 'kept-flats.png'), fixedFlats, 'flats after a reload');
    samePixels(await driver.download('#pages li a.download-map', 'kept-regions.png'), fixedMap, 'map after a reload');
    const regions = await driver.page.evaluate((points) => {
      const { fixes } = document.querySelector('#stage .viewer').viewer.tools;
      return points.map(([x, y]) => [fixes.regionAt(x, y), ...fixes.flats.slice((y * fixes.width + x) * 4, (y * fixes.width + x) * 4 + 3)]);
    }, [a, b, c]);
    assert.equal(regions[0][0], regions[1][0], 'the merge was lost');
    assert.deepEqual(regions[0].slice(1), [0x12, 0x34, 0x56], 'the merged region lost its colour');
    assert.deepEqual(regions[2].slice(1), [0xab, 0xcd, 0xef], 'the last recolour was lost');

    // A new browser on the same profile: the same work, and undo walks back
    // over the fixes made before the restart.
    const { profile, server } = driver;
    const port = server.address().port;
    driver.keepProfile = true;
    await driver.close();
    driver = await openPage({ profile, port });
    driver.keepProfile = false;
    await driver.page.setViewport({ width: 1440, height: 900 });
    await shown();
    samePixels(await driver.downloadPage(0, 'kept-flats.png'), fixedFlats, 'flats after a restart');
    await driver.page.focus('#stage canvas');
    for (let i = 0; i < 3; i++) {
      await driver.page.keyboard.down('Control');
      await driver.page.keyboard.press('z');
      await driver.page.keyboard.up('Control');
    }
    await saved(0, 6);
    samePixels(await driver.downloadPage(0, 'kept-flats.png'), native, 'every fix undone after a restart');
    samePixels(await driver.download('#pages li a.download-map', 'kept-regions.png'), map, 'the map with every fix undone');
  });

  test('a Vandrel Pro result comes back after a reload and downloads the command\'s pixels', async () => {
    await driver.clearPages();
    await driver.setMode('flat');
    await driver.setDepth(12);
    await driver.setWhite(false);
    const page = savePng(join(dir, 'pro.png'), drawPage(200, 150, { seed: 52 }));
    await driver.addFiles([page]);
    await driver.flat();
    await shown();
    await driver.reload();
    await shown();
    const runs = await driver.page.$eval('#pages li', (li) => [li.dataset.state, li.dataset.runs ?? '0']);
    assert.deepEqual(runs, ['done', '0'], 'the page was flatted again instead of kept');
    samePixels(await driver.downloadPage(0, 'pro-flat.png'), nativeFlat(page, join(dir, 'native-pro.png'), 12, false), 'kept Vandrel Pro result');
  });

  test('a damaged kept result is said so and made again, never shown wrong', async () => {
    await driver.clearPages();
    await driver.setAuto({});
    await driver.addFiles([path]);
    await driver.flat();
    await shown();
    await driver.page.waitForFunction(() => document.querySelector('#pages li').dataset.savedVersion === '0');
    // The kept labels replaced by another layer, whole but not theirs.
    await changeKeptResult((record) => { record.base.labels = record.base.marks; });
    await driver.reload();
    await driver.page.waitForFunction(() => document.querySelector('#pages li').dataset.state === 'ready', { timeout: 30_000 });
    assert.match(await driver.page.$eval('#pages li .message', (m) => m.textContent), /could not be shown \(a kept layer is damaged\)/);
    assert.equal(await driver.page.$('#stage .viewer'), null, 'a damaged result was shown');
    await driver.flat();
    await shown();
    samePixels(await driver.downloadPage(0, 'kept-flats.png'), native, 'flatted again');
  });

  test('fixes that cannot be read back are said so: the result shows as flatted, the kept downloads stay fixed', async () => {
    await driver.clearPages();
    await driver.setAuto({});
    await driver.addFiles([path]);
    await driver.flat();
    await shown();
    const [a, b] = [[cell + 6, cell + 6], [2 * cell + 6, cell + 6]];
    await fix([['merge', ...a], ['merge', ...b]]);
    await saved(0, 1);
    const fixedFlats = loadPixels(await driver.downloadPage(0, 'kept-flats.png'));
    // Once the fixed files are kept, the merge's kept pixels are made
    // unreadable.
    await changeKeptResult((record) => {
      if (record?.saved?.stamp !== 1) return false;
      Object.values(record.history.done[0]).find((v) => v?.keptArray).keptArray = 'NoSuchArray';
      return true;
    });
    await driver.reload();
    await shown();
    assert.match(await driver.page.$eval('#pages li .message', (m) => m.textContent), /fixes kept with it could not be read back/);
    const regions = await driver.page.evaluate((points) => {
      const { fixes } = document.querySelector('#stage .viewer').viewer.tools;
      return points.map(([x, y]) => fixes.regionAt(x, y));
    }, [a, b]);
    assert.notEqual(regions[0], regions[1], 'a fix that could not be read was played');
    samePixels(await driver.downloadPage(0, 'kept-flats.png'), fixedFlats, 'the kept fixed flats');
  });

  test('clearing the kept work empties the list and the storage, and a reload brings nothing back', async () => {
    await driver.clearPages();
    await driver.setAuto({});
    await driver.addFiles([path]);
    await driver.flat();
    await shown();
    await driver.page.waitForFunction(() => Number(document.querySelector('#storage-used').dataset.bytes) > 0, { timeout: 10_000 });
    const full = await driver.page.$eval('#storage-used', (s) => Number(s.dataset.bytes));
    await driver.page.click('#clear-storage');
    await driver.page.waitForFunction((bytes) => document.body.dataset.storageCleared && Number(document.querySelector('#storage-used').dataset.bytes) < bytes,
      { timeout: 10_000 }, full);
    assert.equal(await driver.page.$$eval('#pages li', (l) => l.length), 0);
    await driver.reload();
    assert.equal(await driver.page.$$eval('#pages li', (l) => l.length), 0, 'cleared work came back');
    assert.equal(await driver.page.$('#stage .viewer'), null);
  });
});

describe('a chapter', () => {
  const pages = [];
  before(() => {
    for (let i = 0; i < 6; i++) pages.push(savePng(join(dir, `p${i + 1}.png`), drawLineArt(1600, 2200, { seed: 60 + i, cell: 41, gap: 3 })));
  });

  test('memory stays flat over the chapter: only the page on screen keeps its full-size layers', async () => {
    await driver.clearPages();
    await driver.setAuto({});
    await driver.addFiles([pages[0]]);
    await driver.flat();
    await shown();
    await driver.addFiles(pages.slice(1));
    await driver.flat({ timeout: 300_000 });
    // Every page visited once, as a flatter would; what the first visits
    // start (the split's worker, the restore worker's code) is there by the
    // second page.
    await driver.page.focus('#stage canvas');
    let two = 0;
    for (let i = 1; i < pages.length; i++) {
      await driver.page.keyboard.press('PageDown');
      await driver.page.waitForFunction((n) => document.querySelector('#pages li.active')?.dataset.name === n && Boolean(document.querySelector('#stage .viewer')),
        { timeout: 60_000 }, `p${i + 1}.png`);
      if (i === 1) two = await driver.memoryUsed();
    }
    const all = await driver.memoryUsed();
    // One page's full-size layers: its line art, flats, ink and marks as
    // pictures, the flats and region map as arrays, the line-art marks.
    const onePage = 1600 * 2200 * (4 * 4 + 4 + 4 + 1);
    assert.deepEqual(driver.errors, [], 'the page threw');
    const grown = all - two;
    assert.ok(grown < onePage, `memory grew ${(grown / 2 ** 20).toFixed(0)} MB from the second page to the ${pages.length}th ` +
      `(one page's layers: ${(onePage / 2 ** 20).toFixed(0)} MB; ${(two / 2 ** 20).toFixed(0)} MB at the second)`);
  });

  test('PageDown, PageUp, ] and [ move between pages, not while a field is typed in', async () => {
    assert.ok((await driver.page.$$eval('#pages li', (l) => l.length)) >= 3, 'needs the chapter above');
    await driver.page.click('#pages li:nth-child(2) .page-name');
    assert.equal(await onScreen(), 'p2.png');
    await driver.page.keyboard.press(']');
    assert.equal(await onScreen(), 'p3.png');
    await driver.page.keyboard.press('PageUp');
    await driver.page.keyboard.press('[');
    assert.equal(await onScreen(), 'p1.png');
    await driver.page.keyboard.press('PageUp');
    assert.equal(await onScreen(), 'p1.png', 'moved before the first page');
    await driver.page.evaluate(() => { document.getElementById('settings-fold').open = true; });
    await driver.page.focus('#gap');
    await driver.page.keyboard.press('PageDown');
    assert.equal(await onScreen(), 'p1.png', 'a key typed in a field moved the page');
    await shown();
    // The page on screen after a reload is the one left on screen.
    await driver.page.focus('#stage canvas');
    await driver.page.keyboard.press('PageDown');
    await driver.reload();
    assert.equal(await onScreen(), 'p2.png');
    await shown();
  });
});

describe('the layout', () => {
  test('at 1440 x 900 the page on screen fills the window beside the panel, the settings folded once flatted', async () => {
    await driver.clearPages();
    await driver.setAuto({});
    await driver.addFiles([savePng(join(dir, 'wide.png'), drawLineArt(700, 990, { seed: 70 }))]);
    await driver.flat();
    await shown();
    const box = await driver.page.evaluate(() => {
      const canvas = document.querySelector('#stage canvas').getBoundingClientRect();
      const panel = document.querySelector('.panel').getBoundingClientRect();
      const tools = document.querySelector('.panel .fix-tools')?.getBoundingClientRect() ?? null;
      return { canvas: canvas.toJSON(), panel: panel.toJSON(), tools: tools?.toJSON(), folded: !document.getElementById('settings-fold').open, scroll: document.documentElement.scrollHeight };
    });
    assert.ok(box.canvas.top < 100, `the page starts ${box.canvas.top} px down`);
    assert.ok(box.canvas.bottom > 850 && box.canvas.width > 1440 - box.panel.width - 40, JSON.stringify(box));
    assert.ok(box.panel.left >= box.canvas.right && box.panel.width < 450, JSON.stringify(box));
    assert.ok(box.tools && box.tools.left >= box.panel.left, 'the fix tools are not in the panel');
    assert.ok(box.folded, 'the settings stay open after the page is flatted');
    assert.ok(box.scroll <= 900, 'the window scrolls');
  });

  test('at 768 px the page on screen still starts at the top, nothing runs off the side, dark mode follows the system', async () => {
    try {
      await driver.page.setViewport({ width: 768, height: 1024 });
      await driver.page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'dark' }]);
      await driver.page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
      const box = await driver.page.evaluate(() => ({
        canvas: document.querySelector('#stage canvas').getBoundingClientRect().toJSON(),
        width: document.documentElement.scrollWidth,
        background: getComputedStyle(document.querySelector('.panel')).backgroundColor,
      }));
      assert.ok(box.canvas.top < 100 && box.canvas.height > 400, JSON.stringify(box));
      assert.ok(box.width <= 768 && box.canvas.right <= 768, JSON.stringify(box));
      const [r, g, b] = box.background.match(/\d+/g).map(Number);
      assert.ok(r + g + b < 150, `the panel is ${box.background} in dark mode`);
    } finally {
      await driver.page.emulateMediaFeatures([]);
      await driver.page.setViewport({ width: 1440, height: 900 });
    }
  });
});

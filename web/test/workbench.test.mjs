// The page as a place to work in, in headless Chromium: the viewer (zoom,
// pan, the divider, before/after, overlays), the list (redo only what
// changed, remove, clear, refused at once, drops anywhere, kept over a
// reload), and the look (hints, dark mode, tablet width).
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { decode } from 'fast-png';
import { unzipSync } from 'fflate';
import { openPage } from '../tools/PageDriver.mjs';
import { drawPage, loadPixels, nativeFlat, savePng } from './TestPages.mjs';

let dir;
let driver;

before(async () => {
  dir = mkdtempSync(join(tmpdir(), 'vandrel-workbench-'));
  driver = await openPage();
  await driver.page.setViewport({ width: 1280, height: 900 });
});

after(async () => {
  await driver?.close();
  if (dir) rmSync(dir, { recursive: true, force: true });
});

const viewOf = () => driver.page.$eval(`#stage .viewer`, (v) => JSON.parse(v.dataset.view));
const canvasSelector = () => `#stage canvas`;

// Canvas pixels as drawn (RGBA), a rectangle of them.
function canvasPixels(index, x, y, w, h) {
  return driver.page.$eval(canvasSelector(index), (c, r) => Array.from(c.getContext('2d').getImageData(r.x, r.y, r.w, r.h).data),
    { x, y, w, h });
}

async function screenshotOf(selector) {
  const png = decode(await (await driver.page.$(selector)).screenshot());
  return { width: png.width, height: png.height, channels: png.channels, data: png.data };
}

const isBlack = (d, i) => d[i] <= 8 && d[i + 1] <= 8 && d[i + 2] <= 8;
const isMarked = (d, i) => d[i] === 255 && d[i + 1] === 0 && d[i + 2] === 200;
function countWhere(image, x0, x1, predicate) {
  let n = 0;
  for (let y = 0; y < image.height; y++)
    for (let x = x0; x < x1; x++) if (predicate(image.data, (y * image.width + x) * image.channels)) n++;
  return n;
}

async function flatOne(path, depth = 256, white = false) {
  await driver.clearPages();
  await driver.setDepth(depth);
  await driver.setWhite(white);
  await driver.addFiles([path]);
  await driver.flat();
  await driver.page.waitForFunction(() => document.querySelector('#stage .viewer')?.dataset.view);
  // The first frame follows the layout.
  await driver.page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
}

const frame = () => driver.page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));

describe('the viewer', () => {
  let page;
  before(() => {
    page = savePng(join(dir, 'viewed.png'), drawPage(640, 420, { seed: 21 }));
  });

  test('zooms from fit to 800% by keys, whole steps from 100% up, and shows pixels without smoothing', async () => {
    await flatOne(page);
    const fitted = await viewOf();
    assert.ok(fitted.scale <= 2, JSON.stringify(fitted));
    await driver.page.focus(canvasSelector());
    await driver.page.keyboard.press('1');
    assert.equal((await viewOf()).scale, 1);
    const scales = [];
    for (let i = 0; i < 8; i++) {
      await driver.page.keyboard.press('+');
      scales.push((await viewOf()).scale);
    }
    assert.ok(scales.every(Number.isInteger) && scales.at(-1) === 8, scales.join());
    await driver.page.keyboard.press('-');
    assert.equal((await viewOf()).scale, 6);
    await driver.page.keyboard.press('0');
    assert.deepEqual(await viewOf(), fitted);

    // At 400%, every canvas pixel is the native result's pixel under it.
    await driver.page.keyboard.press('1');
    for (let i = 0; i < 3; i++) await driver.page.keyboard.press('+');
    await driver.page.keyboard.press('b');  // after only would hide the left half: show it whole instead
    await driver.page.keyboard.press('b');
    await driver.page.$eval('#stage .wipe input', (s) => { s.value = '0'; s.dispatchEvent(new Event('input')); });
    await frame();
    const view = await viewOf();
    assert.equal(view.scale, 4);
    const native = loadPixels(nativeFlat(page, join(dir, 'native-viewed.png'), 256, false));
    const [cx, cy, w, h] = [200, 150, 64, 48];
    const drawn = await canvasPixels(0, cx, cy, w, h);
    let wrong = 0;
    for (let y = 0; y < h; y++) {
      for (let x = 0; x < w; x++) {
        const ix = Math.floor((cx + x - view.x) / 4), iy = Math.floor((cy + y - view.y) / 4);
        const n = (iy * native.width + ix) * 3, d = (y * w + x) * 4;
        if (drawn[d] !== native.data[n] || drawn[d + 1] !== native.data[n + 1] || drawn[d + 2] !== native.data[n + 2]) wrong++;
      }
    }
    assert.equal(wrong, 0, `${wrong} canvas pixels differ from the native result at 400%`);
  });

  test('pans by dragging, by the wheel and by arrows, and zooms about the pointer with Ctrl+wheel', async () => {
    await flatOne(page);
    await driver.page.focus(canvasSelector());
    await driver.page.keyboard.press('1');
    await driver.page.keyboard.press('+');
    const box = await (await driver.page.$(canvasSelector())).boundingBox();
    const start = await viewOf();
    // Away from the divider, which a drag would move instead.
    const [px, py] = [Math.round(box.x + box.width * 0.2), Math.round(box.y + box.height * 0.5)];
    await driver.page.mouse.move(px, py);
    await driver.page.mouse.down();
    await driver.page.mouse.move(px + 37, py + 23, { steps: 4 });
    await driver.page.mouse.up();
    const dragged = await viewOf();
    assert.deepEqual([dragged.x - start.x, dragged.y - start.y], [37, 23]);

    await driver.page.mouse.wheel({ deltaY: 40 });
    await frame();
    assert.equal((await viewOf()).y, dragged.y - 40);
    await driver.page.keyboard.press('ArrowRight');
    assert.ok((await viewOf()).x < dragged.x);

    await driver.page.mouse.move(px, py);
    const before = await viewOf();
    const imageX = (px - box.x - before.x) / before.scale;
    await driver.page.keyboard.down('Control');
    await driver.page.mouse.wheel({ deltaY: -400 });
    await driver.page.keyboard.up('Control');
    await frame();
    const zoomed = await viewOf();
    assert.ok(zoomed.scale > before.scale && Number.isInteger(zoomed.scale), JSON.stringify(zoomed));
    assert.ok(Math.abs((px - box.x - zoomed.x) / zoomed.scale - imageX) < 1, 'the pixel under the pointer moved');
  });

  test('the divider lies on the image, before on its left and after on its right, and moves when dragged; B shows before', async () => {
    await flatOne(page);
    const shot = await screenshotOf(canvasSelector());
    const mid = Math.round(shot.width / 2);
    const fitted = await viewOf();
    const left = [Math.ceil(fitted.x) + 2, mid - 12], right = [mid + 12, Math.floor(fitted.x + 640 * fitted.scale) - 2];
    assert.ok(countWhere(shot, ...left, isBlack) > 100, 'no line art left of the divider');
    assert.equal(countWhere(shot, ...right, isBlack), 0, 'line art right of the divider');
    // The divider: a white line down the image's middle.
    const rowMid = Math.round(shot.height / 2) + 40;
    const at = (rowMid * shot.width + mid) * shot.channels;
    assert.deepEqual([...shot.data.subarray(at, at + 3)], [255, 255, 255]);

    const box = await (await driver.page.$(canvasSelector())).boundingBox();
    await driver.page.mouse.move(box.x + box.width / 2, box.y + box.height / 2 + 40);
    await driver.page.mouse.down();
    await driver.page.mouse.move(box.x + box.width * 0.8, box.y + box.height / 2 + 40, { steps: 5 });
    await driver.page.mouse.up();
    assert.equal(await driver.page.$eval('#stage .wipe input', (s) => s.value), '80');
    assert.deepEqual(await viewOf(), fitted, 'dragging the divider panned the page');

    await driver.page.keyboard.press('b');
    await frame();
    const before = await screenshotOf(canvasSelector());
    assert.ok(countWhere(before, mid + 12, right[1], isBlack) > 100, 'B did not show the page before');
    await driver.page.keyboard.press('b');
    await frame();
    assert.equal(countWhere(await screenshotOf(canvasSelector()), Math.round(shot.width * 0.8) + 12, right[1], isBlack), 0);
  });

  test('L lays the line art over the flats and D marks the pixels too deep to reach', async () => {
    const deep = savePng(join(dir, 'deep.png'), drawPage(300, 200, { seed: 22, blackBlock: true }));
    await flatOne(deep, 10, false);
    assert.match((await driver.states())[0].message, /line-art pixels? too deep to reach/);
    await driver.page.$eval('#stage .wipe input', (s) => { s.value = '0'; s.dispatchEvent(new Event('input')); });
    await frame();
    const view = await viewOf();
    const inside = [Math.ceil(view.x) + 2, Math.floor(view.x + 300 * view.scale) - 2];
    const flats = await screenshotOf(canvasSelector());
    const blackInFlats = countWhere(flats, ...inside, isBlack);  // the block's middle stays black
    assert.equal(countWhere(flats, ...inside, isMarked), 0);
    await driver.page.focus(canvasSelector());
    await driver.page.keyboard.press('l');
    await frame();
    assert.ok(countWhere(await screenshotOf(canvasSelector()), ...inside, isBlack) > blackInFlats + 500, 'no line art laid over');
    await driver.page.keyboard.press('l');
    await driver.page.keyboard.press('d');
    await frame();
    assert.ok(countWhere(await screenshotOf(canvasSelector()), ...inside, isMarked) > 500, 'no too-deep marks');
  });
});

describe('the list', () => {
  const paths = {};
  before(() => {
    for (const [name, seed] of [['a.png', 31], ['b.png', 32], ['c.png', 33]]) paths[name] = savePng(join(dir, name), drawPage(90, 70, { seed }));
    paths['photo.png'] = join(dir, 'photo.png');
    writeFileSync(paths['photo.png'], Buffer.from([0xff, 0xd8, 0xff, 0xe0, 0, 16, 0x4a, 0x46, 0x49, 0x46, 0, 1]));
  });
  const runs = () => driver.page.$$eval('#pages li', (items) => items.map((li) => Number(li.dataset.runs || 0)));
  // Buttons in a screenshot of a page's actions: runs of border grey along
  // the top row, one per button.
  async function buttonsPictured(index) {
    const shot = await screenshotOf(`#pages li:nth-child(${index + 1}) .page-actions`);
    let buttons = 0, run = 0;
    for (let x = 0; x <= shot.width; x++) {
      const at = x * shot.channels;
      const border = x < shot.width && [0, 1, 2].every((c) => Math.abs(shot.data[at + c] - 0x77) < 40);
      if (border) run++;
      else {
        if (run > 10) buttons++;
        run = 0;
      }
    }
    return buttons;
  }

  test('Flat redoes only new pages and pages whose settings changed; Download exists only for finished pages', async () => {
    await driver.clearPages();
    await driver.setDepth(20);
    await driver.setWhite(false);
    await driver.addFiles([paths['a.png'], paths['photo.png']]);
    // Refused at once, before any Flat, and never given a download link.
    await driver.page.waitForSelector('#pages li[data-state="refused"]');
    assert.match((await driver.states())[1].message, /a JPEG file, not a PNG/);
    assert.equal(await driver.page.$$eval('a.download', (l) => l.length), 0);
    const shownDownloads = () => driver.page.$$eval('#pages li', (items) => items.map((li) =>
      [...li.querySelectorAll('a, button')].filter((b) => b.getClientRects().length && /download/i.test(b.textContent)).length));
    assert.deepEqual(await shownDownloads(), [0, 0]);

    await driver.flat();
    assert.deepEqual(await runs(), [1, 0]);
    assert.deepEqual(await shownDownloads(), [1, 0]);
    // What the screenshot shows: the buttons' top borders along the actions.
    assert.deepEqual([await buttonsPictured(0), await buttonsPictured(1)], [2, 1], 'Download and Remove on the done page, Remove alone on the refused one');
    await driver.addFiles([paths['b.png']]);
    assert.deepEqual(await shownDownloads(), [1, 0, 0]);
    await driver.flat();
    assert.deepEqual(await runs(), [1, 0, 1]);
    assert.equal(await driver.page.$eval('#flat', (b) => b.disabled), true, 'Flat offered with nothing to do');
    await driver.setWhite(true);
    await driver.flat();
    assert.deepEqual(await runs(), [2, 0, 2]);
    const zip = unzipSync(readFileSync(await driver.download('#download-all', 'vandrel-flats.zip')));
    for (const name of ['a.png', 'b.png']) {
      writeFileSync(join(dir, `zip-${name}`), zip[name.replace('.png', '-flat.png')]);
      const web = loadPixels(join(dir, `zip-${name}`));
      const native = loadPixels(nativeFlat(paths[name], join(dir, `native-list-${name}`), 20, true));
      assert.deepEqual(Buffer.from(web.data), Buffer.from(native.data), name);
    }
  });

  test('a page can be removed, even while it is being flatted, and the list cleared', async () => {
    const big = savePng(join(dir, 'big.png'), drawPage(1500, 3000, { seed: 34, blackBlock: true }));
    await driver.clearPages();
    await driver.setDepth(300);
    await driver.addFiles([big, paths['a.png'], paths['c.png']]);
    await driver.page.click('#flat');
    await driver.page.waitForSelector('#pages li[data-state="flatting"]');
    await driver.page.click('#pages li:nth-child(1) button.remove');
    await driver.waitIdle();
    assert.deepEqual((await driver.states()).map((s) => [s.name, s.state]), [['a.png', 'done'], ['c.png', 'done']]);
    await driver.page.click('#pages li:nth-child(1) button.remove');
    const zip = unzipSync(readFileSync(await driver.download('#download-all', 'vandrel-flats.zip')));
    assert.deepEqual(Object.keys(zip), ['c-flat.png']);
    await driver.page.click('#clear');
    assert.equal(await driver.page.$$eval('#pages li', (l) => l.length), 0);
    assert.equal(await driver.page.$eval('#flat', (b) => b.disabled), true);
  });

  test('new pages scroll into view', async () => {
    await driver.clearPages();
    await driver.page.setViewport({ width: 1280, height: 500 });
    try {
      for (const name of ['a.png', 'b.png', 'c.png']) await driver.addFiles([paths[name]]);
      await driver.flat();
      const extra = savePng(join(dir, 'late.png'), drawPage(50, 40, { seed: 35 }));
      await driver.addFiles([extra]);
      await driver.page.waitForFunction(() => {
        const box = document.querySelector('#pages li:last-child').getBoundingClientRect();
        return box.top >= 0 && box.bottom <= innerHeight;
      }, { timeout: 5000 });
    } finally {
      await driver.page.setViewport({ width: 1280, height: 900 });
    }
  });

  test('a file dropped anywhere on the page is added, and the browser does not open it', async () => {
    await driver.clearPages();
    const bytes = [...readFileSync(paths['c.png'])];
    const prevented = await driver.page.evaluate((data) => {
      const transfer = new DataTransfer();
      transfer.items.add(new File([new Uint8Array(data)], 'dropped.png', { type: 'image/png' }));
      const target = document.querySelector('.layers-note');  // far from the box that invites drops
      for (const type of ['dragenter', 'dragover']) target.dispatchEvent(new DragEvent(type, { dataTransfer: transfer, bubbles: true, cancelable: true }));
      const drop = new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true });
      target.dispatchEvent(drop);
      return drop.defaultPrevented;
    }, bytes);
    assert.equal(prevented, true);
    await driver.page.waitForSelector('#pages li[data-name="dropped.png"][data-state="ready"]');
  });

  test('the list survives a reload and its pages flat as before', async () => {
    await driver.clearPages();
    await driver.setDepth(7);
    await driver.setWhite(false);
    await driver.addFiles([paths['b.png'], paths['photo.png'], paths['a.png']]);
    await driver.page.waitForFunction(() => !document.querySelector('#pages li[data-state="checking"], #pages li:not([data-kept="true"])'));
    await driver.reload();
    await driver.page.waitForFunction(() => document.querySelectorAll('#pages li').length === 3);
    assert.deepEqual((await driver.states()).map((s) => [s.name, s.state]), [['b.png', 'ready'], ['photo.png', 'refused'], ['a.png', 'ready']]);
    await driver.flat();
    const web = loadPixels(await driver.downloadPage(2, 'a-flat.png'));
    assert.deepEqual(Buffer.from(web.data), Buffer.from(loadPixels(nativeFlat(paths['a.png'], join(dir, 'native-reload.png'), 7, false)).data));
    await driver.clearPages();
    await driver.reload();
    assert.equal(await driver.page.$$eval('#pages li', (l) => l.length), 0, 'a cleared list came back');
  });
});

describe('words and look', () => {
  test('each setting has a one-line explanation, and the layers note is there', async () => {
    const hints = await driver.page.$$eval('.settings input:not([type=file]), #flat', (controls) =>
      controls.map((c) => document.getElementById(c.getAttribute('aria-describedby') || '')?.textContent.trim() || ''));
    assert.ok(hints.length >= 4 && hints.every((h) => h.length > 20), JSON.stringify(hints));
    assert.match(await driver.page.$eval('.layers-note summary', (s) => s.textContent), /How flats fit in your layers/);
  });

  test('dark mode follows the system setting', async () => {
    const background = async () => {
      const shot = decode(await driver.page.screenshot({ clip: { x: 2, y: 2, width: 4, height: 4 } }));
      return shot.data[0] + shot.data[1] + shot.data[2];
    };
    try {
      await driver.page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'dark' }]);
      assert.ok(await background() < 150, 'not dark');
      await driver.page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'light' }]);
      assert.ok(await background() > 600, 'not light');
    } finally {
      await driver.page.emulateMediaFeatures([]);
    }
  });

  test('at tablet width nothing runs off the side and the viewer fits', async () => {
    await flatOne(savePng(join(dir, 'tablet.png'), drawPage(900, 600, { seed: 36 })));
    try {
      await driver.page.setViewport({ width: 768, height: 1024 });
      await frame();
      const widths = await driver.page.evaluate(() => [document.documentElement.scrollWidth, document.querySelector('#stage canvas').getBoundingClientRect().right]);
      assert.ok(widths[0] <= 768 && widths[1] <= 768, widths.join());
      assert.ok((await viewOf()).scale < 1);
    } finally {
      await driver.page.setViewport({ width: 1280, height: 900 });
    }
  });
});

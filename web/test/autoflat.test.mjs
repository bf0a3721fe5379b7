// Auto Flats in the page against `vandrel autoflat`: the flats, the region
// map and its palette for each of the tool's choices, a hints page, the
// command-line wrapper, and fixes made in place (recolour, merge, split,
// undo and redo) checked pixel by pixel.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { unzipSync } from 'fflate';
import { openPage } from '../tools/PageDriver.mjs';
import { blackBombPng, drawLineArt, loadPixels, nativeAutoflat, savePng } from './TestPages.mjs';
import { RegionFixes } from '../src/RegionFixes.js';
import { inkOf, rgbaOf } from '../src/ViewLayers.js';

let dir;
let driver;

before(async () => {
  dir = mkdtempSync(join(tmpdir(), 'vandrel-autoflat-web-'));
  driver = await openPage();
  await driver.page.setViewport({ width: 1280, height: 900 });
});

after(async () => {
  await driver?.close();
  if (dir) rmSync(dir, { recursive: true, force: true });
});

function samePixels(actualPath, expected, label) {
  const actual = loadPixels(actualPath);
  const e = typeof expected === 'string' ? loadPixels(expected) : expected;
  assert.deepEqual([actual.width, actual.height, actual.channels, actual.depth], [e.width, e.height, e.channels, e.depth], label);
  let count = 0, first = -1;
  for (let i = 0; i < e.data.length; i++) if (actual.data[i] !== e.data[i]) { if (first < 0) first = i; count++; }
  assert.equal(count, 0, `${label}: ${count} samples differ, the first at ${first}`);
}

// Where the viewer's canvas shows a colour within `range` (a low and high
// bound for each of red, green and blue), in image pixels, two frames on.
function pointsInColour(range) {
  return driver.page.evaluate(async (range) => {
    await new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
    const viewer = document.querySelector('#stage .viewer').viewer;
    const { width, height } = viewer.canvas;
    const { data } = viewer.canvas.getContext('2d').getImageData(0, 0, width, height);
    const points = [];
    for (let i = 0; i < data.length; i += 4) {
      if (!range.every(([low, high], c) => data[i + c] >= low && data[i + c] <= high)) continue;
      const p = viewer.view, x = (i / 4) % width, y = Math.floor(i / 4 / width);
      points.push([(x - p.x) / p.scale, (y - p.y) / p.scale]);
    }
    return { points, scale: viewer.view.scale };
  }, range);
}
const kBlueMark = [[0, 39], [151, 229], [216, 255]];
const kMagentaMark = [[201, 255], [0, 89], [151, 255]];

const kOptionSets = [
  [{}, []],
  [{ gap: 5, minRegion: 4 }, ['--gap', '5', '--min-region', '4']],
  [{ spotBlacks: 'lines', keepLines: true }, ['--spot-blacks', 'lines', '--keep-lines']],
];

describe('Auto Flats downloads are what vandrel autoflat writes', () => {
  const pages = {};
  before(() => {
    pages['lines.png'] = savePng(join(dir, 'lines.png'), drawLineArt(300, 200, { seed: 41 }));
    pages['alpha.png'] = savePng(join(dir, 'alpha.png'), drawLineArt(180, 150, { seed: 42, channels: 4 }));
    pages['hinted.png'] = savePng(join(dir, 'hinted.png'), drawLineArt(220, 160, { seed: 43, hints: true }));
  });

  for (const [options, flags] of kOptionSets) {
    test(`flats, region map and palette with ${flags.join(' ') || 'the defaults'}`, async () => {
      await driver.clearPages();
      await driver.setAuto(options);
      const names = Object.keys(pages);
      await driver.addFiles(names.map((n) => pages[n]));
      await driver.flat();
      for (const s of await driver.states()) {
        assert.equal(s.state, 'done', `${s.name}: ${s.message}`);
        // The result is shown first, its files made after it.
        assert.ok(s.times.built <= s.times.files, `${s.name}: the files came before the viewer`);
      }
      const links = await driver.page.$$eval('#pages li a.download, #pages li a.download-map, #pages li a.download-palette',
        (list) => list.map((a) => Boolean(a.getAttribute('href')) && a.getAttribute('aria-disabled') !== 'true'));
      assert.deepEqual(links, links.map(() => true), 'every download link is live once the files have come');
      const zip = unzipSync(readFileSync(await driver.download('#download-all', 'vandrel-flats.zip')));
      for (const name of names) {
        const stem = name.replace('.png', '');
        const label = `${name} ${flags.join(' ')}`;
        const native = nativeAutoflat(pages[name], join(dir, `native-${stem}.png`), flags, join(dir, `${stem}-regions.png`));
        for (const [file, expected] of [[`${stem}-flats.png`, native], [`${stem}-regions.png`, join(dir, `${stem}-regions.png`)]]) {
          writeFileSync(join(dir, `web-${file}`), zip[file]);
          samePixels(join(dir, `web-${file}`), expected, `${label}: ${file}`);
        }
        assert.equal(Buffer.from(zip[`${stem}-regions.gpl`]).toString(), readFileSync(join(dir, `${stem}-regions.gpl`), 'utf8'), `${label}: palette`);
      }
    });
  }

  // Made in a worker of their own while the library runs; alpha is where
  // the ink layer's darkness lies, and all a canvas gives back exactly.
  test('the viewer shows the line art as it is and as ink, made beside the flat worker', async () => {
    await driver.clearPages();
    await driver.setAuto({});
    await driver.addFiles([pages['alpha.png'], pages['lines.png']]);
    await driver.flat();
    for (const [index, name] of ['alpha.png', 'lines.png'].entries()) {
      const page = loadPixels(pages[name]);
      const count = page.width * page.height;
      // One page on screen at a time: the second comes back from storage.
      await driver.page.click(`#pages li:nth-child(${index + 1}) .page-name`);
      // A kept page's ink follows its first frame.
      await driver.page.waitForFunction((n) => document.querySelector('#pages li.active')?.dataset.name === n &&
        Boolean(document.querySelector('#stage .viewer')?.viewer.layers?.lineArt), {}, name);
      const shown = await driver.page.evaluate(() => {
        const { layers, width, height } = document.querySelector('#stage .viewer').viewer;
        const read = (bitmap) => {
          const canvas = new OffscreenCanvas(width, height);
          const context = canvas.getContext('2d');
          context.drawImage(bitmap, 0, 0);
          return Array.from(context.getImageData(0, 0, width, height).data);
        };
        return { before: read(layers.before), ink: read(layers.lineArt) };
      });
      const before = rgbaOf(page.data, page.channels, count);
      const opaque = Array.from(before).every((v, i) => i % 4 !== 3 || v === 255);
      if (opaque) assert.deepEqual(shown.before, Array.from(before), `${name}: the line art`);
      else assert.deepEqual(shown.before.filter((v, i) => i % 4 === 3), Array.from(before).filter((v, i) => i % 4 === 3), `${name}: the line art's alpha`);
      const ink = inkOf(page.data, page.channels, count);
      assert.deepEqual(shown.ink.filter((v, i) => i % 4 === 3), Array.from(ink).filter((v, i) => i % 4 === 3), `${name}: the ink`);
    }
    for (const state of await driver.states()) assert.equal(state.times.lineArtAside, 1, `${state.name}: made by the flat worker itself`);
  });

  test('a hints page colours the regions as --hints does, and changing it redoes the page', async () => {
    const hints = savePng(join(dir, 'hints.png'), (() => {
      const page = { width: 300, height: 200, channels: 3, data: new Uint8Array(300 * 200 * 3).fill(255) };
      for (const [x, y, rgb] of [[20, 20, [230, 60, 40]], [100, 60, [40, 90, 220]]]) page.data.set(rgb, (y * 300 + x) * 3);
      return page;
    })());
    await driver.clearPages();
    await driver.setAuto({});
    await driver.addFiles([pages['lines.png']]);
    await driver.flat();
    await driver.setHints(0, hints);
    assert.equal(await driver.page.$eval('#flat', (b) => b.disabled), false, 'a new hints page left nothing to do');
    await driver.flat();
    const [state] = await driver.states();
    assert.equal(state.state, 'done', state.message);
    samePixels(await driver.downloadPage(0, 'lines-flats.png'),
      nativeAutoflat(pages['lines.png'], join(dir, 'native-hints.png'), ['--hints', hints]), 'with hints');
  });

  test('earlier flats keep their colours on a revised page as --like does; another size is refused', async () => {
    const old = nativeAutoflat(pages['lines.png'], join(dir, 'old-flats.png'));
    // The page revised: a line drawn down the middle of a cell, a strip of
    // a line between two cells erased.
    const art = drawLineArt(300, 200, { seed: 41 });
    for (let y = 0; y < 200; y++) for (const x of [120, 121]) art.data.set([0, 0, 0], (y * 300 + x) * 3);
    for (let x = 160; x < 180; x++) for (const y of [74, 75]) art.data.set([255, 255, 255], (y * 300 + x) * 3);
    const revised = savePng(join(dir, 'revised.png'), art);
    const chooseEarlier = async (path) => {
      const input = await driver.page.$('#pages li:nth-child(1) input.earlier-flats');
      await input.uploadFile(path);
      await driver.page.waitForFunction(() => document.querySelector('#pages li:nth-child(1) input.earlier-flats')
        .labels[0].textContent.startsWith('Colours of:'));
    };
    await driver.clearPages();
    await driver.setAuto({});
    await driver.addFiles([revised]);
    await driver.flat();
    await chooseEarlier(old);
    assert.equal(await driver.page.$eval('#flat', (b) => b.disabled), false, 'earlier flats left nothing to do');
    await driver.flat();
    let [state] = await driver.states();
    assert.equal(state.state, 'done', state.message);
    const native = nativeAutoflat(revised, join(dir, 'native-like.png'), ['--like', old]);
    samePixels(await driver.downloadPage(0, 'revised-flats.png'), native, 'with earlier flats');
    const plain = loadPixels(nativeAutoflat(revised, join(dir, 'native-revised.png')));
    assert.notDeepEqual(loadPixels(native).data, plain.data, 'the earlier flats changed nothing');

    await chooseEarlier(savePng(join(dir, 'small-flats.png'), drawLineArt(100, 80, { seed: 2 })));
    await driver.flat();
    [state] = await driver.states();
    assert.equal(state.state, 'refused');
    assert.match(state.message, /the earlier flats small-flats.png are 100 x 80 pixels, the page 300 x 200/);
  });

  test('a palette gives the regions its colours as --palette does; a bad one is refused and not used', async () => {
    const palette = join(dir, 'inks.gpl');
    writeFileSync(palette, 'GIMP Palette\nName: inks\n#\n230 200 150 skin\n120 160 220\n200 90 90\n90 170 110\n240 220 120\n');
    const bad = join(dir, 'bad.gpl');
    writeFileSync(bad, 'GIMP Palette\n1 2 3\n');
    await driver.clearPages();
    await driver.setAuto({});
    assert.match(await driver.setPalette(bad), /The palette bad.gpl is not used: palette line 2: a colour this dark/);
    assert.match(await driver.setPalette(palette), /Palette inks.gpl: 5 colours/);
    await driver.addFiles([pages['lines.png']]);
    await driver.flat();
    samePixels(await driver.downloadPage(0, 'lines-flats.png'),
      nativeAutoflat(pages['lines.png'], join(dir, 'native-palette.png'), ['--palette', palette]), 'with a palette');
    await driver.openSettings();
    await driver.page.click('#palette-clear');
    assert.equal(await driver.page.$eval('#flat', (b) => b.disabled), false, 'dropping the palette left nothing to do');
  });

  test('a line darkness set on the page flats as --threshold does, redoes the page, and is kept for the next visit', async () => {
    // Circles of pale pencil grey (darkness 105): lines at 100, paper at the default 128.
    const pale = drawLineArt(300, 200, { seed: 45 });
    for (let i = 0; i < pale.data.length; i++) if (pale.data[i] === 20) pale.data[i] = 150;
    const path = savePng(join(dir, 'pale.png'), pale);
    const byDefault = loadPixels(nativeAutoflat(path, join(dir, 'native-pale-default.png')));
    const native = nativeAutoflat(path, join(dir, 'native-pale.png'), ['--threshold', '100'], join(dir, 'native-pale-regions.png'));
    assert.notDeepEqual(loadPixels(native).data, byDefault.data, 'the threshold makes no difference on this page');
    await driver.clearPages();
    await driver.setAuto({});
    await driver.addFiles([path]);
    await driver.flat();
    samePixels(await driver.downloadPage(0, 'pale-flats.png'), byDefault, 'the default threshold');
    await driver.setAuto({ threshold: 100 });
    assert.equal(await driver.page.$eval('#flat', (b) => b.disabled), false, 'a new threshold left nothing to do');
    await driver.flat();
    samePixels(await driver.downloadPage(0, 'pale-flats.png'), native, 'threshold 100');
    samePixels(await driver.download('#pages li a.download-map', 'pale-regions.png'), join(dir, 'native-pale-regions.png'), 'threshold 100 map');
    assert.equal(await driver.page.$eval('#flat', (b) => b.disabled), true, 'a finished page would be flatted again');
    await driver.reload();
    assert.equal(await driver.page.$eval('#threshold', (f) => f.value), '100');
    assert.match(await driver.page.$eval('#threshold-hint', (p) => p.textContent), /line art/);
    await driver.setAuto({});

    const out = join(dir, 'pale-wrapped.png');
    execFileSync('node', [new URL('../tools/web-flat.mjs', import.meta.url).pathname, '--auto', path, out, '--threshold', '100'], { encoding: 'utf8' });
    samePixels(out, native, 'web-flat.sh --threshold 100');
  });

  test('scripts/web-flat.sh --auto saves the files a user would download', () => {
    const out = join(dir, 'wrapped.png');
    const printed = execFileSync('node', [new URL('../tools/web-flat.mjs', import.meta.url).pathname, '--auto', pages['hinted.png'], out,
      '--gap', '4', '--regions', join(dir, 'wrapped-regions.png')], { encoding: 'utf8' });
    assert.deepEqual(printed.trim().split('\n'), [out, join(dir, 'wrapped-regions.png'), join(dir, 'wrapped-regions.gpl')]);
    mkdirSync(join(dir, 'n'), { recursive: true });
    const native = nativeAutoflat(pages['hinted.png'], join(dir, 'native-wrapped.png'), ['--gap', '4'], join(dir, 'n', 'wrapped-regions.png'));
    samePixels(out, native, 'wrapped flats');
    samePixels(join(dir, 'wrapped-regions.png'), join(dir, 'n', 'wrapped-regions.png'), 'wrapped map');
  });
});

test('a page that flatting takes but Auto Flats cannot hold is refused at once, from its header', async () => {
  const large = join(dir, 'large.png');
  writeFileSync(large, blackBombPng(15000));
  await driver.clearPages();
  await driver.setAuto({});
  await driver.addFiles([large]);
  await driver.waitIdle(10_000);
  assert.equal((await driver.states())[0].state, 'ready');
  const started = Date.now();
  await driver.flat({ timeout: 10_000 });
  const [state] = await driver.states();
  assert.equal(state.state, 'refused', state.message);
  assert.match(state.message, /not enough memory for this page: auto flats of its 644 MB of pixels takes at least \d+ MB, and the page's engine has at most 2048 MB/);
  assert.ok(Date.now() - started < 5000, `took ${Date.now() - started} ms`);
});

describe('fixes made in place', () => {
  const cell = 37;
  let path, native, map;

  before(async () => {
    path = savePng(join(dir, 'fix.png'), drawLineArt(300, 200, { seed: 44, cell, gap: 8 }));
    native = loadPixels(nativeAutoflat(path, join(dir, 'native-fix.png'), [], join(dir, 'fix-regions.png')));
    map = loadPixels(join(dir, 'fix-regions.png'));
  });

  const labelAt = (x, y) => map.data[y * map.width + x];
  // A cell whose left line is open (drawn with a gap) and whose two sides
  // are one region in the native map.
  const openGap = () => {
    const lineArt = loadPixels(path);
    for (let cx = 1; cx * cell < 300 - cell; cx++) {
      for (let cy = 0; (cy + 1) * cell < 200; cy++) {
        const y = cy * cell + Math.floor(cell / 2) + 1;
        const open = lineArt.data[(y * 300 + cx * cell) * 3] > 8;
        if (open && labelAt(cx * cell - 4, y) === labelAt(cx * cell + 5, y)) return { x: cx * cell, y };
      }
    }
    assert.fail('the drawn page has no gap left open');
  };
  const expectedWith = (change) => {
    const data = Uint8Array.from(native.data);
    for (let i = 0; i < map.width * map.height; i++) {
      const colour = change(map.data[i], data.subarray(i * 3, i * 3 + 3));
      if (colour) data.set(colour, i * 3);
    }
    return { ...native, data };
  };

  async function open() {
    await driver.clearPages();
    await driver.setAuto({});
    await driver.addFiles([path]);
    await driver.flat();
    await driver.page.waitForFunction(() => document.querySelector('#stage .viewer')?.dataset.view);
    await driver.page.$eval('#stage .wipe input', (s) => { s.value = '0'; s.dispatchEvent(new Event('input')); });
    await driver.page.$eval('#stage canvas', (c) => c.scrollIntoView({ block: 'end' }));
  }

  async function screenPoint(x, y) {
    const view = await driver.page.$eval('#stage .viewer', (v) => JSON.parse(v.dataset.view));
    const box = await (await driver.page.$('#stage canvas')).boundingBox();
    return [box.x + view.x + (x + 0.5) * view.scale, box.y + view.y + (y + 0.5) * view.scale];
  }

  async function clickPixel(x, y) {
    const [px, py] = await screenPoint(x, y);
    await driver.page.mouse.click(px, py);
  }

  async function saved(fixes) {
    await driver.page.waitForFunction((n) => {
      const li = document.querySelector('#pages li');
      return li.dataset.fixes === String(n) && li.dataset.savedVersion === String(n);
    }, { timeout: 20_000 }, fixes);
  }

  const tool = (name) => driver.page.click(`#fix-area .fix-tools button[data-tool="${name}"]`);
  const keys = async (...combo) => {
    await driver.page.focus('#stage canvas');
    for (const k of combo.slice(0, -1)) await driver.page.keyboard.down(k);
    await driver.page.keyboard.press(combo.at(-1));
    for (const k of combo.slice(0, -1).reverse()) await driver.page.keyboard.up(k);
  };

  test('a region clicked with the Colour tool takes the picker\'s colour; Ctrl+Z and Ctrl+Shift+Z undo and redo it', async () => {
    await open();
    const [x, y] = [cell + 6, cell + 6];
    const region = labelAt(x, y);
    const old = Array.from(native.data.subarray((y * native.width + x) * 3, (y * native.width + x) * 3 + 3));
    await tool('colour');
    await driver.page.$eval('#fix-area input[type=color]', (c) => { c.value = '#123456'; c.dispatchEvent(new Event('input')); });
    await clickPixel(x, y);
    // Until the fix is saved the links hand out nothing, never the old flats.
    assert.deepEqual(await driver.page.$$eval('#pages li a[class*=download]', (links) => links.map((a) => a.hasAttribute('href'))), [false, false, false]);
    await saved(1);
    const recoloured = expectedWith((label, rgb) => (label === region && rgb.every((v, i) => v === old[i]) ? [0x12, 0x34, 0x56] : null));
    samePixels(await driver.downloadPage(0, 'fix-flats.png'), recoloured, 'recoloured');
    await keys('Control', 'z');
    await saved(2);
    samePixels(await driver.downloadPage(0, 'fix-flats.png'), native, 'undone');
    await keys('Control', 'Shift', 'z');
    await saved(3);
    samePixels(await driver.downloadPage(0, 'fix-flats.png'), recoloured, 'redone');
    const fixMs = Number(await driver.page.$eval('#stage .viewer', (v) => v.dataset.fixMs));
    assert.ok(fixMs >= 0, 'the fix time is not recorded');
  });

  test('Pick then Colour copies one region\'s colour to another; Merge joins two regions in the map too', async () => {
    await open();
    const [a, b] = [[cell + 6, cell + 6], [2 * cell + 6, cell + 6]];
    const [ra, rb] = [labelAt(...a), labelAt(...b)];
    assert.notEqual(ra, rb);
    const colourA = Array.from(native.data.subarray((a[1] * native.width + a[0]) * 3, (a[1] * native.width + a[0]) * 3 + 3));
    const colourB = Array.from(native.data.subarray((b[1] * native.width + b[0]) * 3, (b[1] * native.width + b[0]) * 3 + 3));
    await tool('merge');
    await clickPixel(...a);
    await clickPixel(...b);
    await saved(1);
    // The first region clicked goes into the second, which keeps its colour.
    samePixels(await driver.downloadPage(0, 'fix-flats.png'), expectedWith((label) => (label === ra ? colourB : null)), 'merged flats');
    assert.match(await driver.page.$eval('#fix-area .fix-note', (n) => n.textContent), new RegExp(`Region ${ra} merged into region ${rb}\\.`));
    const mergedMap = { ...map, data: map.data.map((l) => (l === ra ? rb : l)) };
    samePixels(await driver.download('#pages li a.download-map', 'fix-regions.png'), mergedMap, 'merged map');

    await keys('Control', 'z');
    await saved(2);
    const [c] = [[cell + 6, 2 * cell + 6]];
    const rc = labelAt(...c);
    await tool('pick');
    await clickPixel(...a);
    assert.equal(await driver.page.$eval('#fix-area input[type=color]', (p) => p.value),
      `#${colourA.map((v) => v.toString(16).padStart(2, '0')).join('')}`);
    await clickPixel(...c);  // Pick hands over to Colour
    await saved(3);
    samePixels(await driver.downloadPage(0, 'fix-flats.png'), expectedWith((label) => (label === rc ? colourA : null)), 'picked colour');
  });

  test('a stroke over a gap the lines left open splits the region in two, and undo joins it again', async () => {
    await open();
    const found = openGap();
    const region = labelAt(found.x - 4, found.y);
    await tool('split');
    const [x0, y0] = await screenPoint(found.x, found.y - 4);
    const [, y1] = await screenPoint(found.x, found.y + 11);  // the gap is 8 rows from found.y
    await driver.page.mouse.move(x0, y0);
    await driver.page.mouse.down();
    await driver.page.mouse.move(x0, y1, { steps: 8 });
    await driver.page.mouse.up();
    await saved(1);
    const split = loadPixels(await driver.download('#pages li a.download-map', 'fix-regions.png'));
    const [left, right] = [split.data[found.y * 300 + found.x - 4], split.data[found.y * 300 + found.x + 5]];
    assert.notEqual(left, right, await driver.page.$eval('#fix-area .fix-note', (n) => n.textContent));
    assert.ok([left, right].includes(region));
    const flats = loadPixels(await driver.downloadPage(0, 'fix-flats.png'));
    const at = (x, y) => Array.from(flats.data.subarray((y * 300 + x) * 3, (y * 300 + x) * 3 + 3)).join();
    assert.notEqual(at(found.x - 4, found.y), at(found.x + 5, found.y));
    await keys('Control', 'z');
    await saved(2);
    samePixels(await driver.downloadPage(0, 'fix-flats.png'), native, 'split undone');
  });

  test('a split melts its lines as vandrel autoflat does with the stroke drawn into the line art', async () => {
    await open();
    const lineArt = loadPixels(path);
    const found = openGap();
    // Down the line's two columns, across the whole gap.
    const points = [{ x: found.x, y: found.y - 4 }, { x: found.x, y: found.y + 11 }, { x: found.x + 1, y: found.y + 11 }, { x: found.x + 1, y: found.y - 4 }];
    await driver.page.evaluate((p) => document.querySelector('#stage .viewer').viewer.tools.stroke(p), points);
    await saved(1);
    const web = loadPixels(await driver.download('#pages li a.download-map', 'fix-regions.png'));

    // The reference: the stroke's pixels drawn black, the page flatted by the command.
    const stroke = new RegionFixes({ labels: Uint32Array.from(map.data), colours: [], regionCount: Math.max(...map.data) + 1, flats: null, width: 300, height: 200 })
      .strokePixels(labelAt(found.x - 4, found.y), points, 1);
    const drawn = { ...lineArt, data: Uint8Array.from(lineArt.data) };
    for (const i of stroke) drawn.data.fill(0, i * 3, i * 3 + 3);
    const drawnPath = savePng(join(dir, 'fix-drawn.png'), drawn);
    nativeAutoflat(drawnPath, join(dir, 'native-drawn.png'), [], join(dir, 'drawn-regions.png'));
    const reference = loadPixels(join(dir, 'drawn-regions.png'));
    // Region numbers differ; which pixels share a region must not.
    const toReference = new Map(), toWeb = new Map();
    let differ = 0;
    for (let i = 0; i < 300 * 200; i++) {
      const a = web.data[i], b = reference.data[i];
      if (!toReference.has(a)) toReference.set(a, b);
      if (!toWeb.has(b)) toWeb.set(b, a);
      if (toReference.get(a) !== b || toWeb.get(b) !== a) differ++;
    }
    assert.equal(differ, 0, `${differ} pixels are not in the region the whole page's melt gives them`);
    assert.equal(toWeb.size, toReference.size);
    assert.notEqual(web.data[found.y * 300 + found.x - 4], web.data[found.y * 300 + found.x + 5], 'the region was not split');
    const splitMs = Number(await driver.page.$eval('#fix-area .fix-tools', (n) => n.dataset.splitMs ?? -1));
    assert.ok(splitMs >= 0, 'the split time is not recorded');
  });

  test('D shows the closed gaps in blue, beside the small regions in magenta', async () => {
    const page = { width: 120, height: 90, channels: 3, data: new Uint8Array(120 * 90 * 3).fill(255) };
    const ink = (x0, y0, x1, y1, v) => { for (let y = y0; y < y1; y++) page.data.fill(v, (y * 120 + x0) * 3, (y * 120 + x1) * 3); };
    ink(20, 20, 100, 23, 0); ink(20, 67, 100, 70, 0); ink(20, 20, 23, 70, 0); ink(97, 20, 100, 70, 0);
    ink(57, 20, 63, 23, 255);  // the top side open over 6 pixels, closed by a gap of 8
    const gapPath = savePng(join(dir, 'one-gap.png'), page);
    await driver.clearPages();
    await driver.setAuto({ gap: 8 });
    await driver.addFiles([gapPath]);
    await driver.flat();
    await driver.page.waitForFunction(() => document.querySelector('#stage .viewer')?.dataset.view);
    const label = await driver.page.$eval('#stage .viewer-tools label[for^=toodeep]', (l) => l.textContent);
    assert.match(label, /closed gaps/);
    const blue = async () => (await pointsInColour(kBlueMark)).points;
    assert.equal((await blue()).length, 0, 'blue before D');
    await driver.page.focus('#stage canvas');
    await driver.page.keyboard.press('d');
    const marks = await blue();
    assert.ok(marks.length > 0, 'no closed gap shown');
    for (const [x, y] of marks) assert.ok(x > 55 && x < 65 && y > 14 && y < 30, `a mark away from the gap at ${x}, ${y}`);
  });

  test('on a page large enough for reduced copies, the marks that follow the first frame show at fit-to-window', async () => {
    const [width, height] = [2400, 1800];
    const page = { width, height, channels: 3, data: new Uint8Array(width * height * 3).fill(255) };
    const ink = (x0, y0, x1, y1) => { for (let y = y0; y < y1; y++) page.data.fill(0, (y * width + x0) * 3, (y * width + x1) * 3); };
    for (let x = 0; x < width; x += 300) ink(x, 0, x + 3, height);
    for (let y = 0; y < height; y += 300) ink(0, y, width, y + 3);
    // Squares of 12 x 12 pixels inside: regions of their own, and small.
    const squares = [[640, 440], [1250, 980], [1900, 1360]];
    for (const [x, y] of squares) { ink(x, y, x + 16, y + 2); ink(x, y + 14, x + 16, y + 16); ink(x, y, x + 2, y + 16); ink(x + 14, y, x + 16, y + 16); }
    const path = savePng(join(dir, 'large-specks.png'), page);
    await driver.clearPages();
    await driver.setAuto({});
    await driver.addFiles([path]);
    await driver.flat();
    await driver.page.waitForFunction(() => {
      const viewer = document.querySelector('#stage .viewer')?.viewer;
      return viewer?.reduced && viewer.reduced.every((level) => level.layers.tooDeep);
    }, { timeout: 30_000 });
    const label = await driver.page.$eval('#stage .viewer-tools label[for^=toodeep]', (l) => l.textContent);
    assert.match(label, /Small regions \(3\)/);
    const times = JSON.parse(await driver.page.$eval('#pages li', (li) => li.dataset.times));
    assert.ok(times.marks >= 0, 'the marks were not made after the result');
    const magenta = () => pointsInColour(kMagentaMark);
    const before = await magenta();
    assert.ok(before.scale < 0.6, `the view is at ${before.scale}, not reduced`);
    await driver.page.focus('#stage canvas');
    await driver.page.keyboard.press('d');
    const shown = await magenta();
    const near = (x, y) => squares.some(([sx, sy]) => x > sx - 4 && x < sx + 20 && y > sy - 4 && y < sy + 20);
    const added = shown.points.filter(([x, y]) => near(x, y)).length - before.points.filter(([x, y]) => near(x, y)).length;
    assert.ok(added >= squares.length, `only ${added} marked pixels over the squares`);
  });
});

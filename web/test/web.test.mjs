// The page in headless Chromium against `vandrel flat`: the same pixels at
// every depth and remainder, the chunks the native tool keeps, cancel,
// refused files among good ones, and the zip.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { unzipSync } from 'fflate';
import { openPage } from '../tools/PageDriver.mjs';
import { crc32 } from '../src/PngChunks.js';
import { blackBombPng, chunksOf, drawPage, filteredPng, kVandrel, loadPixels, nativeFlat, savePng, withChunks } from './TestPages.mjs';

let dir;
let driver;

before(async () => {
  assert.ok(existsSync(kVandrel), `${kVandrel} is missing: build the linux preset first`);
  dir = mkdtempSync(join(tmpdir(), 'vandrel-web-test-'));
  driver = await openPage();
});

after(async () => {
  await driver?.close();
  if (dir) rmSync(dir, { recursive: true, force: true });
});

function samePixels(actualPath, expectedPath, label) {
  const actual = loadPixels(actualPath);
  const expected = loadPixels(expectedPath);
  assert.deepEqual([actual.width, actual.height, actual.channels, actual.depth],
    [expected.width, expected.height, expected.channels, expected.depth], label);
  const a = actual.data, e = expected.data;
  let first = -1, count = 0;
  for (let i = 0; i < e.length; i++) if (a[i] !== e[i]) { if (first < 0) first = i; count++; }
  assert.equal(count, 0, `${label}: ${count} bytes differ, the first at pixel ${Math.floor(first / expected.channels)}`);
}

describe('flatted pages match vandrel flat', () => {
  const pages = {};

  before(() => {
    pages['rgb.png'] = savePng(join(dir, 'rgb.png'), drawPage(230, 170, { seed: 1 }));
    pages['rgba.png'] = savePng(join(dir, 'rgba.png'), drawPage(190, 150, { channels: 4, seed: 2 }));
    pages['one-black.png'] = savePng(join(dir, 'one-black.png'), { width: 1, height: 1, channels: 3, data: new Uint8Array(3) });
    pages['one-colour.png'] = savePng(join(dir, 'one-colour.png'), { width: 1, height: 1, channels: 4, data: new Uint8Array([200, 10, 10, 7]) });
    pages['strip.png'] = savePng(join(dir, 'strip.png'), drawPage(5000, 3, { seed: 3 }));
    pages['black-areas.png'] = savePng(join(dir, 'black-areas.png'), drawPage(420, 330, { seed: 4, blackBlock: true }));
    // Interlaced files reach the engine deinterlaced, as libpng hands them over.
    pages['interlaced.png'] = savePng(join(dir, 'interlaced.png'), drawPage(77, 61, { seed: 5 }), { interlace: 'Adam7' });
    // Every row filter, in whole images and in Adam7 passes.
    pages['filtered.png'] = join(dir, 'filtered.png');
    writeFileSync(pages['filtered.png'], filteredPng(drawPage(230, 170, { seed: 14 }), { filter: (row) => (row * 3) % 5 }));
    pages['filtered-interlaced.png'] = join(dir, 'filtered-interlaced.png');
    writeFileSync(pages['filtered-interlaced.png'], filteredPng(drawPage(101, 77, { channels: 4, seed: 15 }),
      { filter: (row, pass) => (row + pass) % 5, interlaced: true }));
  });

  for (const depth of [1, 10, 256, 300]) {
    for (const white of [false, true]) {
      test(`depth ${depth}, ${white ? 'painting too deep pixels white' : 'leaving them black'}, downloaded as one zip`, async () => {
        await driver.clearPages();
        await driver.setDepth(depth);
        await driver.setWhite(white);
        const names = Object.keys(pages);
        await driver.addFiles(names.map((n) => pages[n]));
        await driver.flat();
        for (const state of await driver.states()) assert.equal(state.state, 'done', `${state.name}: ${state.message}`);

        const zip = unzipSync(readFileSync(await driver.download('#download-all', 'vandrel-flats.zip')));
        assert.deepEqual(Object.keys(zip).sort(), names.map((n) => n.replace('.png', '-flat.png')).sort());
        for (const name of names) {
          const label = `${name} at depth ${depth}${white ? ' --white' : ''}`;
          const web = join(dir, `web-${name}`);
          writeFileSync(web, zip[name.replace('.png', '-flat.png')]);
          samePixels(web, nativeFlat(pages[name], join(dir, `native-${name}`), depth, white), label);
        }
      });
    }
  }

  test('a page downloaded on its own is the same as in the zip, and the settings survive a reload', async () => {
    await driver.reload();
    await driver.clearPages();
    assert.equal(await driver.page.$eval('#depth', (f) => f.value), '300');  // left by the last case
    assert.equal(await driver.page.$eval('#depth-slider', (f) => f.value), '300');
    assert.equal(await driver.page.$eval('#white', (b) => b.checked), true);
    await driver.addFiles([pages['rgba.png']]);
    await driver.flat();
    const single = await driver.downloadPage(0, 'rgba-flat.png');
    samePixels(single, nativeFlat(pages['rgba.png'], join(dir, 'native-single.png'), 300, true), 'single download');
  });
});

test('the chunks vandrel flat keeps are kept: resolution, gamma, chromaticities, the RGB colour key', async () => {
  const path = savePng(join(dir, 'chunks.png'), drawPage(40, 30, { seed: 6 }));
  withChunks(path, [
    ['gAMA', [0, 0, 0xb1, 0x8f]],
    ['cHRM', [0, 0, 0x7a, 0x26, 0, 0, 0x80, 0x84, 0, 0, 0xfa, 0, 0, 0, 0x80, 0xe8, 0, 0, 0x75, 0x30, 0, 0, 0xea, 0x60, 0, 0, 0x3a, 0x98, 0, 0, 0x17, 0x70]],
    ['pHYs', [0, 0, 0x2e, 0x23, 0, 0, 0x2e, 0x23, 1]],
    ['tRNS', [0, 9, 0, 8, 0, 7]],
    ['tEXt', [...Buffer.from('Comment\0dropped by both')]],
  ], crc32);
  await driver.clearPages();
  await driver.setDepth(256);
  await driver.addFiles([path]);
  await driver.flat();
  const web = await driver.downloadPage(0, 'chunks-flat.png');
  const native = nativeFlat(path, join(dir, 'native-chunks.png'), 256, true);
  samePixels(web, native, 'chunks page');
  const ancillary = (file) => chunksOf(file).filter(([type]) => !['IHDR', 'IDAT', 'IEND'].includes(type))
    .map(([type, data]) => `${type}:${Buffer.from(data).toString('hex')}`).sort();
  assert.deepEqual(ancillary(web), ancillary(native));
  assert.equal(ancillary(web).length, 4);
});

// Chunks libpng passes over would make the result a broken file for other
// readers: the page leaves out what vandrel flat leaves out, and says so.
test('colour chunks libpng rejects are left out as vandrel flat leaves them out, with a notice', async () => {
  const gamma = ['gAMA', [0, 0, 0xb1, 0x8f]];
  const chrm = ['cHRM', [0, 0, 0x7a, 0x26, 0, 0, 0x80, 0x84, 0, 0, 0xfa, 0, 0, 0, 0x80, 0xe8, 0, 0, 0x75, 0x30, 0, 0, 0xea, 0x60, 0, 0, 0x3a, 0x98, 0, 0, 0x17, 0x70]];
  const cases = {
    'gamma-zero.png': [['gAMA', [0, 0, 0, 0]], chrm],
    'intent-nine.png': [['sRGB', [9]], gamma],
    'garbage-chrm.png': [['cHRM', Array.from({ length: 32 }, (_, i) => 200 + i)], gamma],
    'short-iccp.png': [['iCCP', [0x70, 0, 0, 1, 2]], gamma],
  };
  const paths = Object.entries(cases).map(([name, chunks], i) =>
    withChunks(savePng(join(dir, name), drawPage(30, 20, { seed: 20 + i })), chunks, crc32));
  await driver.clearPages();
  await driver.setDepth(256);
  await driver.addFiles(paths);
  await driver.flat();
  const states = await driver.states();
  const ancillary = (file) => chunksOf(file).filter(([type]) => !['IHDR', 'IDAT', 'IEND'].includes(type))
    .map(([type, data]) => `${type}:${Buffer.from(data).toString('hex')}`).sort();
  for (const [i, name] of Object.keys(cases).entries()) {
    assert.equal(states[i].state, 'done', `${name}: ${states[i].message}`);
    assert.match(states[i].message, /Note: the \w{4} chunk is left out/, name);
    const web = await driver.downloadPage(i, name.replace('.png', '-flat.png'));
    const native = nativeFlat(paths[i], join(dir, `native-${name}`), 256, false);
    assert.deepEqual(ancillary(web), ancillary(native), name);
    samePixels(web, native, name);
  }
});

test('a PNG with a critical chunk no reader here knows is refused, as vandrel flat refuses it', async () => {
  const path = withChunks(savePng(join(dir, 'critical.png'), drawPage(20, 10, { seed: 30 })), [['VNDR', [1, 2, 3]]], crc32);
  await driver.clearPages();
  await driver.addFiles([path]);
  await driver.flat();
  const [state] = await driver.states();
  assert.equal(state.state, 'refused', state.message);
  assert.match(state.message, /critical VNDR chunk/);
  assert.throws(() => nativeFlat(path, join(dir, 'native-critical.png'), 256, false));
});

test('cancel while a huge page is still being decoded is heeded at once', async () => {
  // As large as the engine's heap takes for flatting, so that it is decoded.
  const bomb = join(dir, 'bomb.png');
  writeFileSync(bomb, blackBombPng(18000));
  await driver.clearPages();
  await driver.addFiles([bomb]);
  await driver.page.click('#flat');
  await new Promise((resolve) => setTimeout(resolve, 1500));  // well into the decode
  const [before] = await driver.states();
  assert.equal(before.state, 'flatting', before.message);
  const started = Date.now();
  await driver.page.click('#cancel');
  await driver.waitIdle(60_000);
  const took = (Date.now() - started) / 1000;
  const [after] = await driver.states();
  assert.equal(after.state, 'cancelled', after.message);
  assert.ok(took < 1.5, `cancel took ${took} s`);
});

test('a page too large for the engine is refused as it arrives, from its header', async () => {
  const bomb = join(dir, 'too-large.png');
  writeFileSync(bomb, blackBombPng(30000));  // 2.6 MB declaring 30000 x 30000
  const good = savePng(join(dir, 'small.png'), drawPage(30, 20, { seed: 9 }));
  await driver.clearPages();
  const started = Date.now();
  await driver.addFiles([bomb, good]);
  await driver.waitIdle(10_000);
  const [large] = await driver.states();
  assert.equal(large.state, 'refused', large.message);
  assert.match(large.message, /not enough memory for this page: flatting its 2575 MB of pixels takes at least 5150 MB/);
  assert.ok(Date.now() - started < 5000, `took ${Date.now() - started} ms`);
  await driver.flat();
  const states = await driver.states();
  assert.deepEqual(states.map((s) => s.state), ['refused', 'done']);
});

test('refused files get a clear message and the others are flatted', async () => {
  const good = savePng(join(dir, 'good.png'), drawPage(60, 40, { seed: 7 }));
  const jpeg = join(dir, 'photo.png');  // a JPEG whatever its name says
  writeFileSync(jpeg, Buffer.from([0xff, 0xd8, 0xff, 0xe0, 0, 16, 0x4a, 0x46, 0x49, 0x46, 0, 1, 1, 0, 0, 1, 0, 1, 0, 0, 0xff, 0xd9]));
  const deep = savePng(join(dir, 'deep.png'), { width: 4, height: 4, channels: 3, depth: 16, data: new Uint16Array(48) });
  const whole = readFileSync(savePng(join(dir, 'whole.png'), drawPage(60, 40, { seed: 8 })));
  const cut = join(dir, 'cut.png');
  writeFileSync(cut, whole.subarray(0, whole.length - 40));
  const flipped = join(dir, 'flipped.png');
  const bad = Buffer.from(whole);
  bad[bad.length - 30] ^= 0x55;  // inside the last IDAT: its CRC no longer holds
  writeFileSync(flipped, bad);
  const grey = savePng(join(dir, 'grey.png'), { width: 3, height: 3, channels: 1, data: new Uint8Array(9) });
  const animated = withChunks(savePng(join(dir, 'animated.png'), drawPage(20, 10, { seed: 13 })),
    [['acTL', [0, 0, 0, 2, 0, 0, 0, 0]]], crc32);

  await driver.clearPages();
  await driver.addFiles([jpeg, deep, good, cut, flipped, grey, animated]);
  await driver.flat();
  const states = Object.fromEntries((await driver.states()).map((s) => [s.name, s]));
  assert.equal(states['good.png'].state, 'done');
  const expect = {
    'photo.png': /a JPEG file, not a PNG \(only 8-bit RGB and RGBA PNG images can be flatted\)/,
    'deep.png': /16-bit samples are not supported/,
    'cut.png': /truncated or damaged PNG file/,
    'flipped.png': /truncated or damaged PNG file \(CRC error in the IDAT chunk\)/,
    'grey.png': /grayscale images are not supported/,
    'animated.png': /an animated PNG \(2 frames\); only still PNG images can be flatted/,
  };
  for (const [name, message] of Object.entries(expect)) {
    assert.equal(states[name].state, 'refused', name);
    assert.match(states[name].message, message, name);
    // The native tool refuses the same files.
    assert.throws(() => nativeFlat(join(dir, name), join(dir, `native-refused-${name}`), 256, false), undefined, name);
  }
  samePixels(await driver.downloadPage(2, 'good-flat.png'), nativeFlat(good, join(dir, 'native-good.png'), 256, false), 'good page');
  assert.deepEqual(driver.errors, []);
});

test('image data as vandrel flat takes it: what follows the image passed over, damaged data refused', async () => {
  const save = (name, bytes) => {
    writeFileSync(join(dir, name), bytes);
    return join(dir, name);
  };
  // A page that inflates to many blocks from few bytes, so the stream's end
  // and the bytes after it arrive with much of the image still to come.
  const page = drawPage(1200, 900, { seed: 16, blackBlock: true });
  const taken = {
    'junk-after-stream.png': { alterStream: (stream) => Buffer.concat([stream, Buffer.from([1, 2, 3, 4])]) },
    'junk-idat.png': { split: (stream) => [stream, Buffer.from([5, 6, 7])] },
    'more-rows.png': { alterRows: (rows) => Buffer.concat([rows, rows.subarray(0, 9000)]) },
  };
  const rowBytes = 1200 * 3 + 1;
  const refused = {
    'bad-filter.png': [{ alterRows: (rows) => { rows[rowBytes * 800] = 7; return rows; } }, /\(unknown filter type 7 on row 801\)/],
    'bad-check.png': [{ alterStream: (stream) => { stream[stream.length - 2] ^= 1; return stream; } }, /\(the image data cannot be inflated: /],
    'short.png': [{ alterRows: (rows) => rows.subarray(0, rowBytes * 600) }, /\(the image data ends before the last row\)/],
  };
  const paths = {};
  for (const [name, how] of Object.entries(taken)) paths[name] = save(name, filteredPng(page, { filter: (row) => row % 5, ...how }));
  for (const [name, [how]] of Object.entries(refused)) paths[name] = save(name, filteredPng(page, how));
  const names = Object.keys(paths);
  await driver.clearPages();
  await driver.setDepth(10);
  await driver.setWhite(false);
  await driver.addFiles(names.map((n) => paths[n]));
  await driver.flat();
  const states = Object.fromEntries((await driver.states()).map((s) => [s.name, s]));
  for (const [name, [, message]] of Object.entries(refused)) {
    assert.equal(states[name].state, 'refused', name);
    assert.match(states[name].message, /truncated or damaged PNG file \(/, name);
    assert.match(states[name].message, message, name);
    assert.throws(() => nativeFlat(paths[name], join(dir, `native-${name}`), 10, false), undefined, name);
  }
  for (const name of Object.keys(taken)) {
    assert.equal(states[name].state, 'done', `${name}: ${states[name].message}`);
    samePixels(await driver.downloadPage(names.indexOf(name), name.replace('.png', '-flat.png')),
      nativeFlat(paths[name], join(dir, `native-${name}`), 10, false), name);
  }
});

test('cancel stops the pass at the next strip, drops the queue, and the next flat works', async () => {
  const big = savePng(join(dir, 'big.png'), drawPage(1500, 4200, { seed: 9, blackBlock: true }));
  const small = savePng(join(dir, 'small.png'), drawPage(50, 40, { seed: 10 }));
  await driver.clearPages();
  await driver.setDepth(300);
  await driver.addFiles([big, small]);
  await driver.page.click('#flat');
  await driver.page.waitForFunction(() => document.querySelector('#pages li progress').value > 0, { polling: 5 });
  await driver.page.click('#cancel');
  await driver.waitIdle();
  const [first, second] = await driver.states();
  assert.equal(first.state, 'cancelled', first.message);
  assert.equal(second.state, 'cancelled', second.message);
  const [done, total] = await driver.page.$eval('#pages li progress', (p) => [p.value, p.max]);
  assert.ok(done < total, `the pass ran to the end (${done} of ${total} rows)`);
  assert.equal(await driver.page.$$eval('#pages li a.download', (links) => links.length), 0);

  await driver.flat();
  for (const state of await driver.states()) assert.equal(state.state, 'done', state.message);
  samePixels(await driver.downloadPage(1, 'small-flat.png'), nativeFlat(small, join(dir, 'native-small.png'), 300, true), 'after cancel');
});

// A worker waits, its engine warmed on a small page of its own, before any
// Flat and after every batch: the warm-up must reach every stage of both
// filters (regions found, not a refusal), or it warms nothing.
test('a fresh worker with a warmed engine waits before and after every batch', async () => {
  const warmed = async () => {
    const url = new URL('worker.js', driver.url).href;
    for (let tries = 0; tries < 200; tries++) {
      const worker = driver.page.workers().find((w) => w.url() === url);
      // A worker the page is ending as it is asked may never answer: asked
      // again, not waited on for ever.
      const asked = worker ? worker.evaluate(() => self.warmUpRuns ?? null).catch(() => null) : null;
      const runs = asked && await Promise.race([asked, new Promise((done) => setTimeout(() => done(null), 1000))]);
      if (runs) return runs;
      await new Promise((done) => setTimeout(done, 50));
    }
    return null;
  };
  const check = (runs, when) => {
    assert.ok(runs, `no warmed worker ${when}`);
    assert.deepEqual(runs.map((r) => [r.filter, r.channels, r.result]),
      [['autoflat', 3, 0], ['flat', 3, 0], ['autoflat', 4, 0], ['flat', 4, 0]], when);
    for (const run of runs.filter((r) => r.filter === 'autoflat')) assert.ok(run.regions >= 10, `${when}: ${run.regions} regions`);
  };
  await driver.reload();
  check(await warmed(), 'after loading');
  await driver.clearPages();
  await driver.addFiles([savePng(join(dir, 'warm.png'), drawPage(60, 40, { seed: 12 }))]);
  await driver.flat();
  check(await warmed(), 'after a batch');
});

test('every control has a label and works from the keyboard', async () => {
  await driver.clearPages();
  await driver.reload();  // Tab starts from the top, not from Clear list
  const unnamed = await driver.page.$$eval('input, button, a.button, progress', (nodes) => nodes
    .filter((n) => !n.hidden && !(n.labels?.length || n.getAttribute('aria-label') || n.textContent.trim()))
    .map((n) => n.outerHTML));
  assert.deepEqual(unnamed, []);

  await driver.addFiles([savePng(join(dir, 'keys.png'), drawPage(40, 30, { seed: 11 }))]);
  await driver.page.focus('body');
  const order = [];
  for (let i = 0; i < 8; i++) {
    await driver.page.keyboard.press('Tab');
    order.push(await driver.page.evaluate(() => document.activeElement.id));
  }
  // The settings' heading folds them away.
  assert.deepEqual(order.slice(0, 7), ['files', 'settings-heading', 'mode-flat', 'depth', 'depth-slider', 'white', 'flat']);

  await driver.page.focus('#depth');
  await driver.page.keyboard.down('Control');
  await driver.page.keyboard.press('a');
  await driver.page.keyboard.up('Control');
  await driver.page.keyboard.type('12');
  await driver.page.keyboard.press('Tab');  // to the slider, which follows the field
  assert.equal(await driver.page.$eval('#depth-slider', (s) => s.value), '12');
  await driver.page.keyboard.press('ArrowLeft');
  assert.equal(await driver.page.$eval('#depth', (f) => f.value), '11');
  await driver.page.keyboard.press('Tab');
  const white = await driver.page.$eval('#white', (b) => b.checked);
  await driver.page.keyboard.press('Space');
  assert.equal(await driver.page.$eval('#white', (b) => b.checked), !white);
  await driver.page.keyboard.press('Tab');
  await driver.page.keyboard.press('Enter');
  await driver.waitIdle();
  const [state] = await driver.states();
  assert.equal(state.state, 'done', state.message);
  const saved = await driver.downloadPage(0, 'keys-flat.png');
  samePixels(saved, nativeFlat(join(dir, 'keys.png'), join(dir, 'native-keys.png'), 11, !white), 'keyboard settings');
  // The wipe between before and after is a labelled slider too.
  assert.equal(await driver.page.$eval('#stage .wipe input', (s) => s.labels.length), 1);
});

test('the page keeps working offline once loaded', async () => {
  await driver.clearPages();
  await driver.page.evaluate(() => navigator.serviceWorker.ready);
  await driver.page.setOfflineMode(true);
  try {
    await driver.reload();
    await driver.addFiles([savePng(join(dir, 'offline.png'), drawPage(30, 20, { seed: 12 }))]);
    await driver.flat();
    const [state] = await driver.states();
    assert.equal(state.state, 'done', state.message);
  } finally {
    await driver.page.setOfflineMode(false);
  }
});

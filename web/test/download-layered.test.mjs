// The page's layered download against `vandrel flat --layers` and
// `vandrel autoflat --layers`: the same .psd byte for byte, read back by
// ag-psd and by Debian's psd-tools; the same OpenRaster stack, its layers
// pixel for pixel, read back by fflate with fast-png and by Python's zip
// reader with PIL. Names, blend modes, visibility and resolution checked.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { deflateSync } from 'node:zlib';
import { join } from 'node:path';
import { unzipSync } from 'fflate';
import { decode } from 'fast-png';
import { initializeCanvas, readPsd } from 'ag-psd';
import { openPage } from '../tools/PageDriver.mjs';
import { crc32 } from '../src/PngChunks.js';
import { drawLineArt, drawPage, kVandrel, loadPixels, savePng, withChunks } from './TestPages.mjs';

// Node.js has no canvas: ag-psd is given plain pixel arrays instead, which
// is all the layers need.
initializeCanvas(() => { throw new Error('no canvas here'); },
  (width, height) => ({ width, height, data: new Uint8ClampedArray(width * height * 4) }));

const kReader = new URL('readers/read_layered.py', import.meta.url).pathname;
const kProfile = '/usr/share/color/icc/ghostscript/srgb.icc';

let dir;
let driver;

before(async () => {
  assert.ok(existsSync(kVandrel), `${kVandrel} is missing: build the linux preset first`);
  dir = mkdtempSync(join(tmpdir(), 'vandrel-layered-test-'));
  driver = await openPage();
});

after(async () => {
  await driver?.close();
  if (dir) rmSync(dir, { recursive: true, force: true });
});

function vandrel([command, ...args]) {
  execFileSync(kVandrel, [command, '-q', '--overwrite', ...args], { stdio: ['ignore', 'ignore', 'pipe'] });
}

// What Python's readers found, or null when they are not installed.
function pythonReads(path) {
  const run = spawnSync('/usr/bin/python3', [kReader, path], { encoding: 'utf8' });
  if (run.status === 77) return null;
  assert.equal(run.status, 0, `${kReader} ${path}: ${run.stderr}`);
  return JSON.parse(run.stdout);
}

// RGBA, as the readers hand layers over.
function rgbaOf({ width, height, channels, data }) {
  if (channels === 4) return Uint8Array.from(data);
  const out = new Uint8Array(width * height * 4).fill(255);
  for (let i = 0, o = 0; i < data.length; i += 3, o += 4) out.set(data.subarray(i, i + 3), o);
  return out;
}

function sameBytes(actual, expected, label) {
  assert.equal(actual.length, expected.length, `${label}: length`);
  let count = 0, first = -1;
  for (let i = 0; i < expected.length; i++) if (actual[i] !== expected[i]) { if (first < 0) first = i; count++; }
  assert.equal(count, 0, `${label}: ${count} bytes differ, the first at ${first}`);
}

// `layers`: the bottom first, each [name, blend, visible, picture].
function checkPsdWithAgPsd(path, layers) {
  const psd = readPsd(readFileSync(path), { useImageData: true, skipThumbnail: true });
  const read = psd.children ?? [];
  assert.deepEqual(read.map((l) => [l.name, l.blendMode, !l.hidden]), layers.map(([n, b, v]) => [n, b, v]), `${path}: the stack`);
  for (const [i, [name, , , picture]] of layers.entries())
    sameBytes(read[i].imageData.data, rgbaOf(picture), `${path}: ${name} as ag-psd reads it`);
  return psd;
}

async function webFile(format, pages, name) {
  await driver.page.select('#download-as', format);
  const path = await driver.downloadPage(0, name);
  await driver.page.select('#download-as', 'png');
  return path;
}

function checkOraAgainst(webPath, nativePath, layers) {
  const web = unzipSync(readFileSync(webPath));
  const native = unzipSync(readFileSync(nativePath));
  assert.deepEqual(Object.keys(web), Object.keys(native), 'the members, in order');
  assert.equal(new TextDecoder().decode(web.mimetype), 'image/openraster');
  assert.equal(new TextDecoder().decode(web['stack.xml']), new TextDecoder().decode(native['stack.xml']), 'stack.xml');
  for (const member of Object.keys(native).filter((m) => m.endsWith('.png'))) {
    const a = decode(web[member]), b = decode(native[member]);
    assert.deepEqual([a.width, a.height, a.channels], [b.width, b.height, b.channels], member);
    sameBytes(a.data, b.data, `${member} as fast-png reads it`);
  }
  // The bottom layer is data/layer0.png.
  for (const [i, [name, , , picture]] of layers.entries())
    sameBytes(rgbaOf(decode(web[`data/layer${i}.png`])), rgbaOf(picture), `${name} in the .ora`);
}

function checkWithPython(webPath, nativePath, layers) {
  const web = pythonReads(webPath);
  if (!web) return;
  assert.deepEqual(web, pythonReads(nativePath), `${webPath}: what ${web.reader} reads against the command's file`);
  assert.deepEqual(web.layers.map((l) => [l.name, l.blend, l.visible]), layers.map(([n, b, v]) => [n, b, v]),
    `${webPath}: the stack as ${web.reader} reads it`);
}

describe('layered downloads match the command', () => {
  let art, hints;

  before(() => {
    art = savePng(join(dir, 'page.png'), drawLineArt(150, 110, { seed: 61 }));
    // 300 dpi, and a profile when the system has one, both to be kept.
    const chunks = [['pHYs', [0, 0, 0x2e, 0x23, 0, 0, 0x2e, 0x23, 1]]];
    if (existsSync(kProfile)) {
      const deflated = deflateSync(readFileSync(kProfile));
      chunks.push(['iCCP', [...Buffer.from('sRGB\0\0'), ...deflated]]);
    }
    withChunks(art, chunks, crc32);
    const h = { width: 150, height: 110, channels: 3, data: new Uint8Array(150 * 110 * 3).fill(255) };
    for (const [x, y, rgb] of [[20, 20, [230, 60, 40]], [90, 60, [40, 90, 220]]]) h.data.set(rgb, (y * 150 + x) * 3);
    hints = savePng(join(dir, 'hints.png'), h);
  });

  test('Vandrel Pro as PSD: the command\'s bytes, line art on Multiply over the flats', async () => {
    await driver.clearPages();
    await driver.setMode('flat');
    await driver.setDepth(12);
    await driver.setWhite(false);
    await driver.addFiles([art]);
    await driver.flat();
    const web = await webFile('psd', [art], 'page-flat.psd');
    const native = join(dir, 'native-flat.psd');
    vandrel(['flat', '--depth', '12', '--no-white', '--layers', 'psd', '-o', native, art]);
    const flatPng = join(dir, 'native-flat.png');
    vandrel(['flat', '--depth', '12', '--no-white', '-o', flatPng, art]);
    sameBytes(readFileSync(web), readFileSync(native), 'the .psd');
    const layers = [['Flats', 'normal', true, loadPixels(flatPng)], ['Line art', 'multiply', true, loadPixels(art)]];
    checkPsdWithAgPsd(web, layers);
    checkWithPython(web, native, layers);
    const read = pythonReads(web);
    if (read) assert.deepEqual(read.dpi, [300, 300], 'the resolution');
  });

  for (const format of ['psd', 'ora']) {
    test(`Auto Flats with a hints page as ${format.toUpperCase()}: the hints hidden on top`, async () => {
      await driver.clearPages();
      await driver.setAuto({});
      await driver.addFiles([art]);
      await driver.setHints(0, hints);
      await driver.flat();
      const web = await webFile(format, [art], `page-flats.${format}`);
      const native = join(dir, `native-auto.${format}`);
      vandrel(['autoflat', '--hints', hints, '--layers', format, '-o', native, art]);
      const flatsPng = join(dir, 'native-auto.png');
      vandrel(['autoflat', '--hints', hints, '-o', flatsPng, art]);
      const layers = [['Flats', 'normal', true, loadPixels(flatsPng)], ['Line art', 'multiply', true, loadPixels(art)],
        ['Hints', 'normal', false, loadPixels(hints)]];
      if (format === 'psd') {
        sameBytes(readFileSync(web), readFileSync(native), 'the .psd');
        checkPsdWithAgPsd(web, layers);
      } else {
        checkOraAgainst(web, native, layers);
      }
      checkWithPython(web, native, layers);
    });
  }

  test('Download all packs the layered files when they are chosen', async () => {
    await driver.clearPages();
    await driver.setMode('flat');
    const other = savePng(join(dir, 'other.png'), drawPage(60, 40, { seed: 62, channels: 4 }));
    await driver.addFiles([art, other]);
    await driver.flat();
    await driver.page.select('#download-as', 'ora');
    const zip = unzipSync(readFileSync(await driver.download('#download-all', 'vandrel-flats.zip')));
    await driver.page.select('#download-as', 'png');
    assert.deepEqual(Object.keys(zip).sort(), ['other-flat.ora', 'page-flat.ora']);
    for (const [name, page] of [['other-flat.ora', other], ['page-flat.ora', art]]) {
      const ora = unzipSync(zip[name]);
      sameBytes(rgbaOf(decode(ora['data/layer1.png'])), rgbaOf(loadPixels(page)), `${name}: the line art`);
    }
  });
});

// The fix tools in Chromium on a page inked as a comic page is
// (ComicPage.mjs): a split stroke that stops short of the ink is snapped
// or refused, never a false split; a split adds the one region it cuts
// off and no folded speck comes back, the map being the one `vandrel
// autoflat` makes with the stroke drawn into the line art; merging every
// region inside a balloon, or every region a loop encloses, takes its
// letters' counters; a swatch gives its colour.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { openPage } from '../tools/PageDriver.mjs';
import { loadPixels, nativeAutoflat, savePng } from './TestPages.mjs';
import { balloonLetters, balloonStroke, comicLayout, dividerStroke, drawComicPage } from './ComicPage.mjs';

const [width, height] = [1800, 1600];
const kGap = ['--gap', '20'];
let dir, driver, path, native, map, panel;

before(async () => {
  dir = mkdtempSync(join(tmpdir(), 'vandrel-fixtools-'));
  path = savePng(join(dir, 'comic.png'), drawComicPage(width, height));
  native = loadPixels(nativeAutoflat(path, join(dir, 'native.png'), kGap, join(dir, 'native-regions.png')));
  map = loadPixels(join(dir, 'native-regions.png'));
  [panel] = comicLayout(width, height);
  driver = await openPage();
  await driver.page.setViewport({ width: 1280, height: 900 });
});

after(async () => {
  await driver?.close();
  if (dir) rmSync(dir, { recursive: true, force: true });
});

const labelAt = (m, x, y) => m.data[y * width + x];
const regionCount = (m) => new Set(m.data).size;

async function open() {
  await driver.clearPages();
  await driver.setAuto({ gap: 20 });
  await driver.addFiles([path]);
  await driver.flat();
  await driver.page.waitForFunction(() => document.querySelector('#stage .viewer')?.viewer?.tools?.fixes.boxes, { timeout: 60_000 });
}

const tools = (script, arg) => driver.page.evaluate(`(async (arg) => { const tools = document.querySelector('#stage .viewer').viewer.tools; ${script} })`
  + `(${JSON.stringify(arg ?? null)})`);
const note = () => tools('return tools.note.textContent;');

async function saved(fixes) {
  await driver.page.waitForFunction((n) => {
    const li = document.querySelector('#pages li');
    return li.dataset.fixes === String(n) && li.dataset.savedVersion === String(n);
  }, { timeout: 30_000 }, fixes);
}

async function downloads() {
  return {
    flats: loadPixels(await driver.downloadPage(0, 'comic-flats.png')),
    map: loadPixels(await driver.download('#pages li a.download-map', 'comic-regions.png')),
  };
}

function sameData(actual, expected, label) {
  let differ = 0;
  for (let i = 0; i < expected.data.length; i++) if (actual.data[i] !== expected.data[i]) differ++;
  assert.equal(differ, 0, `${label}: ${differ} samples differ`);
}

// Which pixels share a region must be the same, whatever the numbers.
function samePartition(a, b, label) {
  const ab = new Map(), ba = new Map();
  let differ = 0;
  for (let i = 0; i < a.data.length; i++) {
    if (!ab.has(a.data[i])) ab.set(a.data[i], b.data[i]);
    if (!ba.has(b.data[i])) ba.set(b.data[i], a.data[i]);
    if (ab.get(a.data[i]) !== b.data[i] || ba.get(b.data[i]) !== a.data[i]) differ++;
  }
  assert.equal(differ, 0, `${label}: ${differ} pixels are not in the region the command gives them`);
}

describe('split', () => {
  test('a stroke stopping short of the ink beyond the snap is refused; within it, it snaps and splits', async () => {
    await open();
    const stroke = (points) => tools('tools.choose("split"); await tools.stroke(arg); return tools.fixes.regionCount;', points);
    const before = await tools('return tools.fixes.regionCount;');
    assert.equal(await stroke(dividerStroke(panel, 12)), before);
    assert.match(await note(), /^The stroke separates nothing: region \d+ is unchanged\. An end of the stroke is more than 6 px from the ink/);
    assert.doesNotMatch(await note(), /split/);
    // A stroke short of one line only, over the balloon's opening.
    const [a, b] = balloonStroke(panel, 0);
    assert.equal(await stroke([a, { x: b.x - 12, y: b.y }]), before);
    assert.match(await note(), /separates nothing/);
    assert.equal(await driver.page.$eval('#pages li', (li) => li.dataset.fixes), '0', 'a refused stroke counted as a fix');

    assert.equal(await stroke(dividerStroke(panel, 3)), before + 1, 'a split added more than the region it cut off');
    assert.match(await note(), /^Region \d+ split: 1 new region\. The stroke's ends snapped to the ink \(\d+ and \d+ px\)\.$/);
    await saved(1);
    const split = await downloads();
    const above = labelAt(split.map, panel.x0 + 40, panel.y0 + 40), below = labelAt(split.map, panel.x0 + 40, panel.y1 - 40);
    assert.notEqual(above, below, 'the panel was not split');
    assert.equal(labelAt(split.map, panel.hatch.x0 + 7, panel.hatch.y0 + 7), below, 'a hatching speck left the piece around it');
    assert.equal(regionCount(split.map), regionCount(map) + 1);

    // The reference: the stroke's pixels the page made line art drawn
    // black, the page flatted by the command.
    const lines = await tools(`const fix = tools.fixes.done.at(-1);
      return Array.from(fix.pixels).filter((i, k) => fix.newMarks[k] & 1 && !(fix.oldMarks[k] & 1));`);
    assert.ok(lines.length > 60, `only ${lines.length} stroke pixels`);
    const drawn = loadPixels(path);
    for (const i of lines) drawn.data.fill(0, i * 3, i * 3 + 3);
    nativeAutoflat(savePng(join(dir, 'drawn.png'), drawn), join(dir, 'drawn-flats.png'), kGap, join(dir, 'drawn-regions.png'));
    samePartition(split.map, loadPixels(join(dir, 'drawn-regions.png')), 'split along the divider');

    await tools('tools.undo();');
    await saved(2);
    const undone = await downloads();
    sameData(undone.flats, native, 'flats after undo');
    sameData(undone.map, map, 'map after undo');
  });
});

describe('merge', () => {
  test('merging inside a region takes every letter counter into it, in its colour; undo gives them back', async () => {
    await open();
    const outer = labelAt(map, panel.balloon.cx, panel.balloon.cy - panel.balloon.ry + 30);
    const counters = new Set(balloonLetters(panel.balloon).filter((l) => l.outer > 10).map((l) => labelAt(map, l.x, l.y)));
    assert.equal(counters.size, 27, 'the letters are not regions of their own');
    assert.ok(!counters.has(outer));
    await tools('tools.choose("inside"); tools.click(arg);', { x: panel.balloon.cx, y: panel.balloon.cy - panel.balloon.ry + 30 });
    assert.match(await note(), new RegExp(`^${counters.size} regions inside region ${outer} merged into it\\.$`));
    await saved(1);
    const merged = await downloads();
    const outerColour = native.data.subarray((panel.y0 + 40) * width * 3 + (panel.x0 + 40) * 3, (panel.y0 + 40) * width * 3 + (panel.x0 + 40) * 3 + 3);
    const flats = Uint8Array.from(native.data), labels = Uint32Array.from(map.data);
    for (let i = 0; i < labels.length; i++) {
      if (!counters.has(labels[i])) continue;
      labels[i] = outer;
      flats.set(outerColour, i * 3);
    }
    sameData(merged.map, { data: labels }, 'map');
    sameData(merged.flats, { data: flats }, 'flats');
    await tools('tools.undo();');
    await saved(2);
    sameData((await downloads()).map, map, 'map after undo');
  });

  test('a loop drawn from inside the balloon round a row of letters merges their counters into it', async () => {
    await open();
    await driver.page.$eval('#stage .wipe input', (w) => { w.value = '0'; w.dispatchEvent(new Event('input')); });
    // Chosen first: pressing the button may scroll the page.
    await driver.page.click('#fix-area .fix-tools button[data-tool="lasso"]');
    await driver.page.$eval('#stage canvas', (c) => c.scrollIntoView({ block: 'end' }));
    const { cx, cy } = panel.balloon;
    const row = balloonLetters(panel.balloon).filter((l) => l.outer > 10 && l.y === cy - 90);
    const outer = labelAt(map, cx - 320, cy - 60);
    const view = await driver.page.$eval('#stage .viewer', (v) => JSON.parse(v.dataset.view));
    const canvas = await (await driver.page.$('#stage canvas')).boundingBox();
    const screen = ([x, y]) => [canvas.x + view.x + (x + 0.5) * view.scale, canvas.y + view.y + (y + 0.5) * view.scale];
    const corners = [[cx - 320, cy - 60], [cx - 320, cy - 125], [cx + 320, cy - 125], [cx + 320, cy - 60], [cx - 318, cy - 60]];
    await driver.page.mouse.move(...screen(corners[0]));
    await driver.page.mouse.down();
    for (const corner of corners.slice(1)) await driver.page.mouse.move(...screen(corner), { steps: 6 });
    await driver.page.mouse.up();
    assert.equal(await note(), `${row.length} regions the loop encloses merged into region ${outer}.`);
    await saved(1);
    const merged = await downloads();
    const taken = new Set(row.map((l) => labelAt(map, l.x, l.y)));
    const labels = Uint32Array.from(map.data, (l) => (taken.has(l) ? outer : l));
    sameData(merged.map, { data: labels }, 'map');
  });

  test('Merge joins the first region clicked into the second, which keeps its colour, as the status says', async () => {
    await open();
    const [a, b] = [{ x: 3, y: 3 }, { x: panel.x0 + 40, y: panel.y0 + 40 }];
    const [ra, rb] = [labelAt(map, a.x, a.y), labelAt(map, b.x, b.y)];
    await tools('tools.choose("merge"); tools.click(arg[0]); tools.click(arg[1]);', [a, b]);
    assert.equal(await note(), `Region ${ra} merged into region ${rb}.`);
    await saved(1);
    const merged = await downloads();
    assert.deepEqual(Array.from(merged.flats.data.subarray(0, 3)), Array.from(native.data.subarray((b.y * width + b.x) * 3, (b.y * width + b.x) * 3 + 3)));
    assert.equal(labelAt(merged.map, a.x, a.y), rb);
  });
});

test('a swatch sets the Colour tool; the colour given joins the recent ones', async () => {
  await open();
  await driver.page.waitForSelector('#fix-area .swatch-row[data-row=page] .swatch');
  const page = await driver.page.$$eval('#fix-area .swatch-row[data-row=page] .swatch', (list) => list.map((s) => s.dataset.colour));
  assert.ok(page.length >= 2, 'no page colours shown');
  const hex = (data, i) => `#${Array.from(data.subarray(i, i + 3)).map((v) => v.toString(16).padStart(2, '0')).join('')}`;
  const areas = new Map();
  for (let i = 0; i < width * height; i++) areas.set(hex(native.data, i * 3), (areas.get(hex(native.data, i * 3)) ?? 0) + 1);
  assert.equal(page[0], [...areas].reduce((a, b) => (b[1] > a[1] ? b : a))[0], 'the colour covering most of the page is not first');
  const at = { x: panel.x0 + 40, y: panel.y0 + 40 };
  const colour = page.find((c) => c !== hex(native.data, (at.y * width + at.x) * 3));
  await driver.page.click(`#fix-area .swatch-row[data-row=page] .swatch[data-colour="${colour}"]`);
  assert.equal(await driver.page.$eval('#fix-area input[type=color]', (c) => c.value), colour);
  assert.equal(await driver.page.$eval('#fix-area .fix-tools button[data-tool=colour]', (b) => b.getAttribute('aria-pressed')), 'true');
  await tools('tools.click(arg);', at);
  await saved(1);
  const { flats } = await downloads();
  assert.equal(hex(flats.data, (at.y * width + at.x) * 3), colour);
  const recent = await driver.page.$$eval('#fix-area .swatch-row[data-row=recent] .swatch', (list) => list.map((s) => s.dataset.colour));
  assert.equal(recent[0], colour);
});

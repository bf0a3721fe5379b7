// A chapter in the page, in headless Chromium: Auto Flats of an A4 page at
// 600 dpi beside `vandrel autoflat` in the same run, the time a reload
// takes to bring the page back in its last fixed state, and the browser's
// memory as the chapter grows, page by page.
// Usage: node tools/chapter-bench.mjs [--size WxH] [--pages N] [--reloads N]
import { spawnSync } from 'node:child_process';
import { copyFileSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { openPage } from './PageDriver.mjs';
import { drawLineArt, kVandrel, savePng } from '../test/TestPages.mjs';

const args = process.argv.slice(2);
const option = (name, fallback) => (args.includes(name) ? args[args.indexOf(name) + 1] : fallback);
const [width, height] = option('--size', '4960x7016').split('x').map(Number);
const pageCount = Math.max(1, Number(option('--pages', '25')));
const reloads = Math.max(1, Number(option('--reloads', '3')));
const dir = mkdtempSync(join(tmpdir(), 'vandrel-chapter-bench-'));
const mb = (bytes) => `${(bytes / 2 ** 20).toFixed(0)} MB`;

function nativeSeconds(input) {
  const started = process.hrtime.bigint();
  const run = spawnSync(kVandrel, ['autoflat', '-q', '--overwrite', '-o', join(dir, 'native.png'), input], { encoding: 'utf8' });
  if (run.status !== 0) throw new Error(`vandrel autoflat failed: ${run.stderr}`);
  return Number(process.hrtime.bigint() - started) / 1e9;
}

const waitShown = (driver) => driver.page.waitForFunction(() => document.querySelector('#stage .viewer')?.dataset.view, { timeout: 10 * 60_000 });

try {
  const input = savePng(join(dir, 'page.png'), drawLineArt(width, height, { seed: 7, cell: 90, gap: 6 }));
  console.log(`page: ${width} x ${height} (${((width * height) / 1e6).toFixed(1)} MP) line art; ${pageCount} pages`);
  const driver = await openPage();
  try {
    await driver.page.setViewport({ width: 1440, height: 900 });
    await driver.setAuto({});
    const native = nativeSeconds(input);
    await driver.addFiles([input]);
    await driver.flat({ timeout: 30 * 60_000 });
    await waitShown(driver);
    const [state] = await driver.states();
    if (state.state !== 'done') throw new Error(`the page was not flatted: ${state.message}`);
    const shown = state.times.shown / 1000;
    console.log(`Auto Flats: vandrel autoflat ${native.toFixed(2)} s (all processors, whole command); in the page ${shown.toFixed(2)} s from Flat to the result ` +
      `on screen (library ${(state.times.flat / 1000).toFixed(2)} s), ${(shown / native).toFixed(2)}x the native command`);

    // A few fixes, then the page reloaded: from the start of the navigation
    // to the fixed result's first frame on screen.
    await driver.page.waitForFunction(() => document.querySelector('#stage .viewer').viewer.tools.fixes.boxes, { timeout: 10 * 60_000 });
    await driver.page.evaluate(() => {
      const { tools } = document.querySelector('#stage .viewer').viewer;
      tools.choose('colour');
      tools.picker.value = '#336699';
      tools.click({ x: 135, y: 135 });
      tools.choose('merge');
      tools.click({ x: 225, y: 135 });
      tools.click({ x: 135, y: 135 });
    });
    await driver.page.waitForFunction(() => document.querySelector('#pages li').dataset.savedVersion === '2', { timeout: 10 * 60_000 });
    for (let i = 1; i <= reloads; i++) {
      await driver.reload();
      await driver.page.waitForFunction(() => document.querySelector('#pages li').dataset.shownAt, { timeout: 10 * 60_000 });
      const [at, restore, parts] = await driver.page.$eval('#pages li', (li) => [Number(li.dataset.shownAt), Number(li.dataset.restoreMs), JSON.parse(li.dataset.restoreTimes)]);
      const same = await driver.page.evaluate(() => {
        const { fixes } = document.querySelector('#stage .viewer').viewer.tools;
        return fixes.done.length === 2 && fixes.regionAt(135, 135) === fixes.regionAt(225, 135);
      });
      console.log(`reload ${i}: the fixed page on screen ${(at / 1000).toFixed(2)} s after the reload began (kept layers to the first frame ${(restore / 1000).toFixed(2)} s)` +
        `; ${Object.entries(parts).map(([k, v]) => `${k} ${(v / 1000).toFixed(2)}`).join(', ')} s${same ? '' : ' - FIXES MISSING'}`);
    }

    // The chapter: the same page again and again, flatted one at a time and
    // each looked at, as a flatter goes through a chapter.
    const memory = [[1, await driver.memoryUsed()]];
    for (let n = 2; n <= pageCount; n++) {
      const copy = join(dir, `page-${String(n).padStart(2, '0')}.png`);
      copyFileSync(input, copy);
      await driver.addFiles([copy]);
      await driver.flat({ timeout: 30 * 60_000 });
      await driver.page.click(`#pages li:nth-child(${n}) .page-name`);
      await driver.page.waitForFunction((i) => Boolean(document.querySelector(`#pages li:nth-child(${i}).active`) && document.querySelector('#stage .viewer')),
        { timeout: 10 * 60_000 }, n);
      if (n === 2 || n % 5 === 0 || n === pageCount) {
        memory.push([n, await driver.memoryUsed()]);
        console.log(`${n} pages in the list: the browser holds ${mb(memory.at(-1)[1])}`);
      }
    }
    console.log(`memory: ${memory.map(([n, bytes]) => `${n} pages ${mb(bytes)}`).join(', ')}; kept in the browser's storage: ` +
      `${await driver.page.$eval('#storage-used', (s) => s.textContent)}`);
  } finally {
    await driver.close();
  }
} finally {
  rmSync(dir, { recursive: true, force: true });
}

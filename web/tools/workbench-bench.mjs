// The workbench on a 36 MP page in headless Chromium: frame times while
// zooming and panning, the time a region fix takes to show, and Auto Flats
// in the browser beside `vandrel autoflat` in the same run.
// Usage: node tools/workbench-bench.mjs [--size WxH] [--frames N] [--rounds N]
import { spawnSync } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { openPage } from './PageDriver.mjs';
import { drawLineArt, kVandrel, savePng } from '../test/TestPages.mjs';

const args = process.argv.slice(2);
const option = (name, fallback) => (args.includes(name) ? args[args.indexOf(name) + 1] : fallback);
const [width, height] = option('--size', '7200x5000').split('x').map(Number);
const frames = Number(option('--frames', '120'));
const rounds = Math.max(1, Number(option('--rounds', '5')));
const dir = mkdtempSync(join(tmpdir(), 'vandrel-workbench-bench-'));

function nativeSeconds(input, processors) {
  const env = { ...process.env };
  if (processors) env.VANDREL_PROCESSORS = String(processors);
  const started = process.hrtime.bigint();
  const run = spawnSync(kVandrel, ['autoflat', '-q', '--overwrite', '-o', join(dir, 'native.png'), input], { env, encoding: 'utf8' });
  if (run.status !== 0) throw new Error(`vandrel autoflat failed: ${run.stderr}`);
  return Number(process.hrtime.bigint() - started) / 1e9;
}

const stats = (list) => {
  const sorted = [...list].sort((a, b) => a - b);
  const at = (q) => sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
  return `mean ${(list.reduce((a, b) => a + b, 0) / list.length).toFixed(1)} ms, median ${at(0.5).toFixed(1)}, p95 ${at(0.95).toFixed(1)}, max ${sorted.at(-1).toFixed(1)}`;
};

try {
  const input = savePng(join(dir, 'page.png'), drawLineArt(width, height, { seed: 7, cell: 90, gap: 6 }));
  console.log(`page: ${width} x ${height} (${((width * height) / 1e6).toFixed(1)} MP) line art`);
  const nativeOne = nativeSeconds(input, 1);
  console.log(`vandrel autoflat on one processor: ${nativeOne.toFixed(2)} s, whole command`);

  const driver = await openPage();
  try {
    await driver.page.setViewport({ width: 1280, height: 900 });
    await driver.setAuto({});
    // The machine's speed drifts by a quarter between runs: each round times
    // the native command and then the page, and the median round is the
    // figure to quote.
    const ratios = [];
    for (let round = 1; round <= rounds; round++) {
      const nativeAll = nativeSeconds(input);
      await driver.clearPages();
      await driver.addFiles([input]);
      const started = Date.now();
      await driver.flat({ timeout: 30 * 60_000 });
      const [state] = await driver.states();
      if (state.state !== 'done') throw new Error(`the page was not flatted: ${state.message}`);
      const browser = (Date.now() - started) / 1000;
      const t = state.times;
      const shown = t.shown / 1000;
      ratios.push(shown / nativeAll);
      console.log(`round ${round}: vandrel autoflat ${nativeAll.toFixed(2)} s (all processors, whole command); browser Auto Flats ${shown.toFixed(2)} s from Flat to the viewer ` +
        `(engine ready ${(t.engine / 1000).toFixed(2)}, decode ${(t.decode / 1000).toFixed(2)}, library ${(t.flat / 1000).toFixed(2)}, ` +
        `viewer layers ${(t.layers / 1000).toFixed(2)}, viewer ${(t.viewer / 1000).toFixed(2)} s), ${browser.toFixed(2)} s to the files ready to download (marks ${(t.marks / 1000).toFixed(2)}, ` +
        `PNG, map and palette ${(t.encode / 1000).toFixed(2)} s while the viewer opens); ${(shown / nativeAll).toFixed(2)}x / ${(browser / nativeAll).toFixed(2)}x the native command, ` +
        `${(shown / nativeOne).toFixed(2)}x on one processor`);
    }
    const sorted = [...ratios].sort((a, b) => a - b);
    console.log(`Auto Flats in the browser, to the viewer, against the native command: median ${sorted[Math.floor(sorted.length / 2)].toFixed(2)}x, ` +
      `from ${sorted[0].toFixed(2)}x to ${sorted.at(-1).toFixed(2)}x over ${rounds} round${rounds === 1 ? '' : 's'}`);

    await driver.page.$eval('#stage canvas', (c) => c.scrollIntoView({ block: 'end' }));
    // Let the reduced copies for the zoomed-out views be made first.
    await driver.page.waitForFunction(() => document.querySelector('#stage .viewer').viewer.reduced, { timeout: 60_000 });
    await driver.page.waitForFunction(() => document.querySelector('#stage .viewer').viewer.tools.fixes.boxes, { timeout: 60_000 });
    const run = (script) => driver.page.evaluate(script, frames);
    const measure = async (name, script) => {
      const { intervals, draws } = await run(script);
      console.log(`${name}: frame interval ${stats(intervals)}; drawing ${stats(draws)}`);
    };
    const common = `
      const viewer = document.querySelector('#stage .viewer').viewer;
      const frame = () => new Promise((r) => requestAnimationFrame(r));
      viewer.frameTimes.length = 0;
      const intervals = [];
      await frame();
      let last = performance.now();
      const tick = async () => { await frame(); const now = performance.now(); intervals.push(now - last); last = now; };`;
    await measure('zoom fit to 800% and back, one step a frame', new Function('frames', `return (async () => {${common}
      for (let i = 0; i < frames; i++) {
        viewer.zoomStep(Math.floor(i / 14) % 2 ? -1 : 1, viewer.canvas.width * 0.4, viewer.canvas.height * 0.6);
        await tick();
      }
      return { intervals, draws: [...viewer.frameTimes] };
    })()`));
    await measure('pan at 100%, 25 px a frame', new Function('frames', `return (async () => {${common}
      viewer.actualSize();
      for (let i = 0; i < frames; i++) {
        viewer.panBy(i % 80 < 40 ? -25 : 25, i % 60 < 30 ? -15 : 15);
        await tick();
      }
      return { intervals, draws: [...viewer.frameTimes] };
    })()`));
    await measure('pan at fit-to-window with the wipe moving', new Function('frames', `return (async () => {${common}
      viewer.fit();
      for (let i = 0; i < frames; i++) {
        viewer.wipe = (i % 50) / 50;
        viewer.requestDraw();
        await tick();
      }
      return { intervals, draws: [...viewer.frameTimes] };
    })()`));
    const fixes = await driver.page.evaluate(async () => {
      const viewer = document.querySelector('#stage .viewer').viewer;
      const frame = () => new Promise((r) => requestAnimationFrame(r));
      viewer.fit();
      viewer.tools.choose('colour');
      const times = [];
      const points = [[135, 135], [1000, 1045], [4000, 2000], [45, 4950], [7000, 4900]];
      for (const [i, [x, y]] of points.entries()) {
        viewer.tools.picker.value = i % 2 ? '#336699' : '#cc8844';
        const started = performance.now();
        viewer.tools.click({ x, y });
        await frame();
        await frame();
        times.push(performance.now() - started);
      }
      const merge = performance.now();
      viewer.tools.choose('merge');
      viewer.tools.click({ x: 135, y: 135 });
      viewer.tools.click({ x: 225, y: 135 });
      await frame();
      await frame();
      return { times, merge: performance.now() - merge, regions: viewer.tools.fixes.regionCount };
    });
    console.log(`region fix shown (recolour, to the second frame after the click): ${fixes.times.map((t) => t.toFixed(0)).join(', ')} ms; a merge ${fixes.merge.toFixed(0)} ms; ${fixes.regions} regions`);
    // Splits across cells, each stroke from one line to the next: the
    // library melts the lines again around the cell.
    const splits = await driver.page.evaluate(async () => {
      const viewer = document.querySelector('#stage .viewer').viewer;
      const tools = viewer.tools;
      tools.choose('split');
      const times = [];
      for (const [cx, cy] of [[1, 1], [20, 12], [45, 30], [78, 54], [0, 0], [79, 55]]) {
        const y = cy * 90 + 30;
        await tools.stroke([{ x: cx * 90 + 1, y }, { x: cx * 90 + 89, y }]);
        await new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
        await new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
        times.push(Number(tools.node.dataset.splitMs));
      }
      return { times, note: tools.note.textContent };
    });
    console.log(`region split shown (stroke to the second frame, lines melted again by the library): ${splits.times.map((t) => t.toFixed(0)).join(', ')} ms (${splits.note})`);
  } finally {
    await driver.close();
  }
} finally {
  rmSync(dir, { recursive: true, force: true });
}

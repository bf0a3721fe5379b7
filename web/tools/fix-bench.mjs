// The fix tools on an A4 page at 600 dpi in headless Chromium: the time
// from a split stroke or a merge click to the second frame showing it, and
// the regions each adds. Each panel of the drawn page (test/ComicPage.mjs)
// has a balloon left open at its tail and a dividing line left open; a
// stroke over each opening, ends 3 pixels short of the ink, splits them;
// then the balloon's letters merge into it, and one region into another.
// Usage: node tools/fix-bench.mjs [--size WxH]
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { openPage } from './PageDriver.mjs';
import { savePng } from '../test/TestPages.mjs';
import { balloonStroke, comicLayout, dividerStroke, drawComicPage } from '../test/ComicPage.mjs';

const args = process.argv.slice(2);
const option = (name, fallback) => (args.includes(name) ? args[args.indexOf(name) + 1] : fallback);
const [width, height] = option('--size', '4960x7016').split('x').map(Number);
const dir = mkdtempSync(join(tmpdir(), 'vandrel-fix-bench-'));

const median = (list) => [...list].sort((a, b) => a - b)[Math.floor(list.length / 2)];
const line = (name, list) => (!list.length ? `${name}: not offered` : `${name}: median ${median(list).toFixed(0)} ms, ${Math.min(...list).toFixed(0)}–${Math.max(...list).toFixed(0)} ms over ${list.length}`);

try {
  const input = savePng(join(dir, 'comic.png'), drawComicPage(width, height));
  const panels = comicLayout(width, height);
  console.log(`page: ${width} x ${height} (${((width * height) / 1e6).toFixed(1)} MP), ${panels.length} panels`);
  const driver = await openPage();
  try {
    await driver.page.setViewport({ width: 1280, height: 900 });
    await driver.setAuto({});
    await driver.addFiles([input]);
    await driver.flat({ timeout: 30 * 60_000 });
    const [state] = await driver.states();
    if (state.state !== 'done') throw new Error(`the page was not flatted: ${state.message}`);
    console.log(`flatted: ${state.message}`);
    await driver.page.waitForFunction(() => document.querySelector('#stage .viewer')?.viewer?.tools?.fixes.boxes, { timeout: 120_000 });
    const figures = await driver.page.evaluate(async (panels, strokes) => {
      const viewer = document.querySelector('#stage .viewer').viewer;
      const { tools } = viewer;
      const frames = () => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
      viewer.fit();
      const out = { balloon: [], divider: [], inside: [], merge: [], added: [], notes: [], steps: [] };
      // A flatter pauses between fixes: the fixed files are saved again
      // meanwhile, and not timed here.
      const li = document.querySelector('#pages li');
      const savedAll = async () => { while (li.dataset.savedVersion !== li.dataset.fixes) await new Promise((r) => setTimeout(r, 50)); };
      const split = async (points, into) => {
        await savedAll();
        tools.choose('split');
        const before = tools.fixes.regionCount;
        await tools.stroke(points);
        await frames();
        await frames();
        into.push(Number(tools.node.dataset.splitMs));
        out.steps.push(tools.node.dataset.splitSteps);
        out.added.push(tools.fixes.regionCount - before);
        out.notes.push(tools.note.textContent);
      };
      const click = async (tool, points, into) => {
        await savedAll();
        tools.choose(tool);
        const started = performance.now();
        for (const p of points) tools.click(p);
        await frames();
        into.push(performance.now() - started);
        out.notes.push(tools.note.textContent);
      };
      for (const [k, p] of panels.entries()) {
        await split(strokes[k].balloon, out.balloon);
        await split(strokes[k].divider, out.divider);
        if (tools.buttons.inside) await click('inside', [{ x: p.balloon.cx, y: p.balloon.cy - p.balloon.ry + 30 }], out.inside);
        await click('merge', [{ x: p.x0 + 40, y: p.y0 + 40 }, { x: p.x0 + 40, y: p.y1 - 40 }], out.merge);
      }
      return out;
    }, panels, panels.map((p) => ({ balloon: balloonStroke(p, 3), divider: dividerStroke(p, 3) })));
    console.log(line('split off a balloon open at its tail (stroke to the second frame)', figures.balloon));
    console.log(line('split a panel along its open dividing line', figures.divider));
    console.log(line('merge every region inside a balloon (its letters)', figures.inside));
    console.log(line('merge one region into another (two clicks to the second frame)', figures.merge));
    console.log(`regions a split added: ${figures.added.join(', ')}`);
    console.log(`split steps (the pieces, the melt, the fix; ms): ${figures.steps.join(' | ')}`);
    for (const note of [...new Set(figures.notes)].slice(0, 8)) console.log(`  status: ${note}`);
  } finally {
    await driver.close();
  }
} finally {
  rmSync(dir, { recursive: true, force: true });
}

// The page's speed and memory on a 36 MP page, beside the native tool's in
// the same run. Usage: node tools/bench.mjs [--size WxH] [--depth N] [--rgba] [--input FILE.png]
// (--input measures a given page instead of drawing one).
// Prints the figures; exits non-zero when the page's result differs from
// `vandrel flat`'s.
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { basename, join } from 'node:path';
import { resultName } from '../src/Names.js';
import { openPage } from './PageDriver.mjs';
import { drawPage, kVandrel, loadPixels, savePng } from '../test/TestPages.mjs';

const args = process.argv.slice(2);
const option = (name, fallback) => (args.includes(name) ? args[args.indexOf(name) + 1] : fallback);
const [width, height] = option('--size', '7200x5000').split('x').map(Number);
const depth = Number(option('--depth', '256'));
const channels = args.includes('--rgba') ? 4 : 3;
const dir = mkdtempSync(join(tmpdir(), 'vandrel-bench-'));

function nativeSeconds(input, output, processors) {
  const env = { ...process.env };
  if (processors) env.VANDREL_PROCESSORS = String(processors);
  // The tool reports the pass's own time on its progress output.
  const run = spawnSync(kVandrel, ['flat', '--overwrite', '--depth', String(depth), '-o', output, input],
    { env, encoding: 'utf8' });
  if (run.status !== 0) throw new Error(`vandrel flat failed: ${run.stderr}`);
  // "... flatted in T s (read R s, flat P s, write W s; ...)": the pass and the whole.
  const text = run.stdout + run.stderr;
  return { pass: Number(/\bflat ([\d.]+) s/.exec(text)?.[1] ?? NaN), whole: Number(/flatted in ([\d.]+) s/.exec(text)?.[1] ?? NaN) };
}

function rendererMiB(field) {
  let peak = 0;
  for (const pid of readdirSync('/proc').filter((p) => /^\d+$/.test(p))) {
    try {
      const cmd = readFileSync(`/proc/${pid}/cmdline`, 'latin1');
      const status = readFileSync(`/proc/${pid}/status`, 'latin1');
      if (!cmd.includes('--type=renderer') || !status.includes(`PPid:`)) continue;
      const hwm = Number(new RegExp(`${field}:\\s+(\\d+)`).exec(status)?.[1] ?? 0) / 1024;
      peak = Math.max(peak, hwm);
    } catch {
      // A process that ended meanwhile.
    }
  }
  return peak;
}

try {
  const input = option('--input', null) ?? savePng(join(dir, 'page.png'), drawPage(width, height, { channels, seed: 36 }));
  // The page runs the pass on one thread, and scans that give up at the
  // border depend on how the page is cut into bands: the one-thread result
  // is the one to compare, so it is made last.
  const native2 = nativeSeconds(input, join(dir, 'native.png'), 0);
  const native1 = nativeSeconds(input, join(dir, 'native.png'), 1);

  const driver = await openPage();
  await driver.setDepth(depth);
  await driver.addFiles([input]);
  await driver.page.evaluate(() => {
    window.benchGaps = { last: performance.now(), worst: 0 };
    setInterval(() => {
      const now = performance.now();
      window.benchGaps.worst = Math.max(window.benchGaps.worst, now - window.benchGaps.last);
      window.benchGaps.last = now;
    }, 10);
  });
  const samples = [];
  const sampler = setInterval(async () => {
    const message = await driver.page.$eval('#pages li .message', (m) => m.textContent).catch(() => '?');
    samples.push([rendererMiB('VmRSS'), message]);
  }, 250);
  await driver.flat({ timeout: 600_000 });
  await new Promise((r) => setTimeout(r, 1500));
  clearInterval(sampler);
  if (args.includes('--trace')) for (const [mib, message] of samples) console.log(mib.toFixed(0), message);
  const [state] = await driver.states();
  const worstGap = await driver.page.evaluate(() => window.benchGaps.worst);
  const peak = rendererMiB('VmHWM');
  const web = loadPixels(await driver.downloadPage(0, resultName(basename(input)))).data;
  await driver.close();
  const native = loadPixels(join(dir, 'native.png')).data;
  const same = web.length === native.length && web.every((b, i) => b === native[i]);
  const t = state.times;
  const page = loadPixels(input);
  console.log(`page: ${basename(input)}, ${page.width} x ${page.height} ${page.channels === 4 ? 'RGBA' : 'RGB'} ` +
    `(${(page.width * page.height / 1e6).toFixed(1)} MP), depth ${depth}`);
  console.log(`native vandrel flat: pass ${native1.pass.toFixed(2)} s on 1 thread, ${native2.pass.toFixed(2)} s on all threads; ` +
    `whole command ${native1.whole.toFixed(2)} s and ${native2.whole.toFixed(2)} s`);
  console.log(`page in headless Chromium: pass ${(t.flat / 1000).toFixed(2)} s; decode ${(t.decode / 1000).toFixed(2)} s, ` +
    `encode ${(t.encode / 1000).toFixed(2)} s; ${state.message.toLowerCase()} from Flat to result`);
  console.log(`page responsiveness: longest gap between 10 ms timer ticks during the flat ${worstGap.toFixed(0)} ms`);
  console.log(`renderer process peak resident size: ${peak.toFixed(0)} MiB`);
  console.log(`result ${same ? 'identical to' : 'DIFFERS from'} vandrel flat`);
  process.exitCode = same ? 0 : 1;
} finally {
  rmSync(dir, { recursive: true, force: true });
}

// The README's pictures of the page: the bundled example flatted, the
// divider across it, in a window of 1440 x 900 unless told otherwise.
// Usage: node screenshot.mjs OUT.png [--dark] [--width N] [--height N] [--zoom] [--auto] [--chapter N]
// (--auto: the example's line art alone through Auto Flats, one region
// recoloured in place; --chapter N: N copies of the page in the list,
// the first on screen).
import { copyFileSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { openPage } from './PageDriver.mjs';
import { loadPixels, savePng } from '../test/TestPages.mjs';

const args = process.argv.slice(2);
const example = new URL('../../examples/panel.png', import.meta.url).pathname;
const option = (name, fallback) => (args.includes(name) ? args[args.indexOf(name) + 1] : fallback);
const width = Number(option('--width', 1440));
const height = Number(option('--height', 900));
const chapter = Math.max(1, Number(option('--chapter', 1)));
const auto = args.includes('--auto');
const dir = mkdtempSync(join(tmpdir(), 'vandrel-screenshot-'));
let input = example;
if (auto) {
  const page = loadPixels(example);
  const { channels, data } = page;
  for (let i = 0; i < data.length; i += channels) if (Math.max(data[i], data[i + 1], data[i + 2]) > 8) data.fill(255, i, i + 3);
  input = savePng(join(dir, 'panel-lines.png'), { ...page, data: Uint8Array.from(data) });
}
const inputs = [input];
for (let n = 2; n <= chapter; n++) {
  inputs.push(join(dir, `panel-${n}.png`));
  copyFileSync(input, inputs.at(-1));
}
const driver = await openPage();
try {
  await driver.page.setViewport({ width, height });
  if (args.includes('--dark')) await driver.page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'dark' }]);
  await driver.clearPages();
  if (auto) await driver.setAuto({});
  else await driver.setMode('flat');
  await driver.addFiles(inputs);
  await driver.flat();
  await driver.page.waitForFunction(() => document.querySelector('#stage .viewer')?.dataset.view);
  await driver.page.focus('#stage canvas');
  if (args.includes('--zoom')) {
    await driver.page.keyboard.press('1');
    await driver.page.keyboard.press('+');
  }
  if (auto) {
    await driver.page.evaluate(() => {
      const { tools } = document.querySelector('#stage .viewer').viewer;
      tools.choose('colour');
      tools.picker.value = '#e07a5f';
      tools.click({ x: 380, y: 560 });
    });
  }
  // The fixed files saved, and the panel from its top.
  await driver.page.waitForFunction(() => !document.querySelector('#pages a.saving'), { timeout: 60_000 });
  await driver.page.$eval('.panel', (panel) => { panel.scrollTop = 0; });
  await driver.page.evaluate(() => new Promise((r) => setTimeout(() => requestAnimationFrame(() => requestAnimationFrame(r)), 300)));
  await driver.page.screenshot({ path: args[0] });
} finally {
  await driver.close();
  rmSync(dir, { recursive: true, force: true });
}

// The README's pictures of the page: the bundled example flatted, zoomed in
// on its lines with the divider across. Usage: node screenshot.mjs OUT.png [--dark] [--width N]
import { openPage } from './PageDriver.mjs';

const args = process.argv.slice(2);
const example = new URL('../../examples/panel.png', import.meta.url).pathname;
const width = Number(args.includes('--width') ? args[args.indexOf('--width') + 1] : 1100);
const driver = await openPage();
try {
  await driver.page.setViewport({ width, height: 900 });
  if (args.includes('--dark')) await driver.page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'dark' }]);
  await driver.clearPages();
  await driver.addFiles([example]);
  await driver.flat();
  await driver.page.waitForFunction(() => document.querySelector('#pages li .viewer')?.dataset.view);
  await driver.page.focus('#pages canvas');
  if (args.includes('--zoom')) {
    await driver.page.keyboard.press('1');
    await driver.page.keyboard.press('+');
  }
  await driver.page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
  await driver.page.screenshot({ path: args[0], fullPage: true });
} finally {
  await driver.close();
}

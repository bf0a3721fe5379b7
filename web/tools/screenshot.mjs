// The README's picture of the page: the bundled example flatted, the wipe
// half across. Usage: node screenshot.mjs OUT.png
import { openPage } from './PageDriver.mjs';

const example = new URL('../../examples/panel.png', import.meta.url).pathname;
const driver = await openPage();
try {
  await driver.page.setViewport({ width: 1100, height: 1000 });
  await driver.addFiles([example]);
  await driver.flat();
  await driver.page.waitForFunction(() => [...document.images].every((img) => img.complete && img.naturalWidth));
  await driver.page.screenshot({ path: process.argv[2], fullPage: true });
} finally {
  await driver.close();
}

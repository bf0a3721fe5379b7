// Flats one PNG through the page, headless, and saves the download.
// Usage: node web-flat.mjs IN.png OUT.png [--depth N] [--white]
import { copyFileSync, existsSync, renameSync, rmSync, statSync } from 'node:fs';
import { basename, resolve } from 'node:path';
import { openPage } from './PageDriver.mjs';
import { resultName } from '../src/Names.js';
import { kMaxDepth, kMinDepth } from '../src/Settings.js';

function usage(message) {
  console.error(`web-flat: ${message}\nUsage: scripts/web-flat.sh IN.png OUT.png [--depth N] [--white]`);
  process.exit(2);
}

const positional = [];
let depth = 256;
let white = false;
const args = process.argv.slice(2);
for (let i = 0; i < args.length; i++) {
  if (args[i] === '--white') white = true;
  else if (args[i] === '--depth') {
    const value = args[++i];
    if (!/^\d+$/.test(value ?? '') || Number(value) < kMinDepth || Number(value) > kMaxDepth)
      usage(`--depth takes a whole number from ${kMinDepth} to ${kMaxDepth}, as the page does`);
    depth = Number(value);
  } else if (args[i].startsWith('--')) usage(`unknown option ${args[i]}`);
  else positional.push(args[i]);
}
if (positional.length !== 2) usage('give one input and one output file');
const [input, output] = positional.map((p) => resolve(p));
if (!existsSync(input) || !statSync(input).isFile()) usage(`${positional[0]} is not a file`);
if (input === output) usage('the output is the input itself');

const driver = await openPage();
try {
  await driver.setDepth(depth);
  await driver.setWhite(white);
  await driver.addFiles([input]);
  await driver.flat({ timeout: 30 * 60_000 });
  const [state] = await driver.states();
  if (state.state !== 'done') {
    console.error(`web-flat: ${positional[0]}: ${state.message.replace(/^Not flatted: /, '')}`);
    process.exitCode = 1;
  } else {
    const saved = await driver.downloadPage(0, resultName(basename(input)));
    // Never a half-written output: copy beside it, then rename.
    const partial = `${output}.partial`;
    try {
      copyFileSync(saved, partial);
      renameSync(partial, output);
    } finally {
      rmSync(partial, { force: true });
    }
    console.log(output);
  }
} finally {
  await driver.close();
}

// Flats one PNG through the page, headless, and saves the download.
// Usage: node web-flat.mjs IN.png OUT.png [--depth N] [--white]
//        node web-flat.mjs --auto IN.png OUT.png [--gap N] [--min-region N] [--spot-blacks regions|lines]
//                          [--threshold N] [--keep-lines] [--hints HINTS.png] [--palette P.gpl] [--regions MAP.png]
import { copyFileSync, existsSync, renameSync, rmSync, statSync } from 'node:fs';
import { basename, resolve } from 'node:path';
import { openPage } from './PageDriver.mjs';
import { autoResultNames, resultName } from '../src/Names.js';
import { kMaxDepth, kMinDepth } from '../src/Settings.js';
import { kMaxGap } from '../src/AutoSettings.js';

const kUsage = 'Usage: scripts/web-flat.sh IN.png OUT.png [--depth N] [--white]\n' +
  '       scripts/web-flat.sh --auto IN.png OUT.png [--gap N] [--min-region N] [--spot-blacks regions|lines] [--threshold N] [--keep-lines] [--hints H.png] [--palette P.gpl] [--regions MAP.png]';

function usage(message) {
  console.error(`web-flat: ${message}\n${kUsage}`);
  process.exit(2);
}

function wholeNumber(name, value, min, max) {
  if (!/^\d+$/.test(value ?? '') || Number(value) < min || Number(value) > max) usage(`${name} takes a whole number from ${min} to ${max}, as the page does`);
  return Number(value);
}

const positional = [];
let depth = 256;
let white = false;
let autoMode = false;
const auto = { gap: null, minRegion: null, spotBlacks: 'regions', keepLines: false, threshold: null, hints: null, regions: null, palette: null };
const args = process.argv.slice(2);
for (let i = 0; i < args.length; i++) {
  const arg = args[i];
  if (arg === '--white') white = true;
  else if (arg === '--depth') depth = wholeNumber('--depth', args[++i], kMinDepth, kMaxDepth);
  else if (arg === '--auto') autoMode = true;
  else if (arg === '--gap') auto.gap = wholeNumber('--gap', args[++i], 1, kMaxGap);
  else if (arg === '--min-region') auto.minRegion = wholeNumber('--min-region', args[++i], 0, 2 ** 31 - 1);
  else if (arg === '--spot-blacks') {
    auto.spotBlacks = args[++i];
    if (!['regions', 'lines'].includes(auto.spotBlacks)) usage('--spot-blacks takes regions or lines');
  } else if (arg === '--keep-lines') auto.keepLines = true;
  else if (arg === '--hints') auto.hints = resolve(args[++i] ?? usage('--hints takes a file'));
  else if (arg === '--regions') auto.regions = resolve(args[++i] ?? usage('--regions takes a file'));
  else if (arg === '--palette') auto.palette = resolve(args[++i] ?? usage('--palette takes a file'));
  else if (arg === '--threshold') auto.threshold = wholeNumber('--threshold', args[++i], 1, 255);
  else if (arg.startsWith('--')) usage(`unknown option ${arg}`);
  else positional.push(arg);
}
if (positional.length !== 2) usage('give one input and one output file');
const [input, output] = positional.map((p) => resolve(p));
if (!existsSync(input) || !statSync(input).isFile()) usage(`${positional[0]} is not a file`);
if (input === output) usage('the output is the input itself');
if (!autoMode && Object.entries(auto).some(([k, v]) => v !== null && v !== false && !(k === 'spotBlacks' && v === 'regions')))
  usage('the Auto Flats options go with --auto');
if (auto.hints && (!existsSync(auto.hints) || !statSync(auto.hints).isFile())) usage(`${auto.hints} is not a file`);
const mapOut = auto.regions;
const paletteOut = mapOut?.replace(/\.png$/i, '') + '.gpl';
if (mapOut && [input, output, auto.hints].includes(mapOut)) usage('the region map would overwrite another file');

// Never a half-written output: every file is copied beside its place first,
// then all are renamed.
function saveAll(pairs) {
  const partials = pairs.map(([, to]) => `${to}.partial`);
  try {
    pairs.forEach(([from], i) => copyFileSync(from, partials[i]));
    pairs.forEach(([, to], i) => renameSync(partials[i], to));
  } finally {
    for (const p of partials) rmSync(p, { force: true });
  }
}

const driver = await openPage();
try {
  await driver.clearPages();
  if (autoMode) {
    await driver.setAuto(auto);
    if (auto.palette) {
      const said = await driver.setPalette(auto.palette);
      if (/is not used/.test(said)) {
        console.error(`web-flat: ${said}`);
        process.exit(1);
      }
    }
  }
  else {
    await driver.setMode('flat');
    await driver.setDepth(depth);
    await driver.setWhite(white);
  }
  await driver.addFiles([input]);
  if (auto.hints) await driver.setHints(0, auto.hints);
  await driver.flat({ timeout: 30 * 60_000 });
  const [state] = await driver.states();
  if (state.state !== 'done') {
    console.error(`web-flat: ${positional[0]}: ${state.message.replace(/^Not flatted: /, '')}`);
    process.exitCode = 1;
  } else if (autoMode) {
    const names = autoResultNames(basename(input));
    const pairs = [[await driver.downloadPage(0, names.flats), output]];
    if (mapOut) {
      pairs.push([await driver.download('#pages li:nth-child(1) a.download-map', names.map), mapOut]);
      pairs.push([await driver.download('#pages li:nth-child(1) a.download-palette', names.palette), paletteOut]);
    }
    saveAll(pairs);
    for (const [, to] of pairs) console.log(to);
  } else {
    saveAll([[await driver.downloadPage(0, resultName(basename(input))), output]]);
    console.log(output);
  }
} finally {
  await driver.close();
}

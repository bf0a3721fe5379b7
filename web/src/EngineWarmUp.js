// A small page through both filters before the user's first one.
//
// A browser compiles the module's functions quickly but plainly at first
// and optimises a function only once it has run a while; a loop already
// running keeps its plain code until it returns. Each stage of a flat is one
// long loop over the whole page, run once, so the first page of a session
// would run every stage plainly from start to end: two to three times
// slower. Run first on a small page that reaches every stage, the loops are
// optimised before a real page comes. The results are thrown away; the
// filters keep nothing from one call to the next.
import { engineBlocks } from './EngineBlocks.js';
import { kLayout, kOutputBytes, kSettingsBytes } from './AutoFlatJob.js';

const kSide = 320;

// Line art with what each stage looks for: closed and open rings (regions
// and gaps), a solid black block (a spot black), specks (small regions),
// grey anti-aliased edges and a hint colour.
export function warmUpPage(side, channels) {
  const data = new Uint8Array(side * side * channels).fill(255);
  const put = (x, y, rgb) => {
    if (x < 0 || y < 0 || x >= side || y >= side) return;
    data.set(rgb, (y * side + x) * channels);
  };
  const cell = 64;
  for (let cy = cell / 2; cy < side; cy += cell) {
    for (let cx = cell / 2; cx < side; cx += cell) {
      const open = ((cx + cy) / cell) % 3 === 0;
      for (let y = cy - 30; y <= cy + 30; y++) {
        for (let x = cx - 30; x <= cx + 30; x++) {
          const r = Math.hypot(x - cx, y - cy);
          if (open && x > cx + 20 && Math.abs(y - cy) < 3) continue;
          if (Math.abs(r - 26) < 1.5) put(x, y, [0, 0, 0]);
          else if (Math.abs(r - 26) < 2.2) put(x, y, [128, 128, 128]);
        }
      }
    }
  }
  for (let y = 10; y < 50; y++) for (let x = side - 60; x < side - 20; x++) put(x, y, [0, 0, 0]);
  for (let i = 0; i < 12; i++) put(40 + i * 7, side - 12, [0, 0, 0]);
  put(cell / 2, cell / 2, [200, 40, 40]);
  return data;
}

function warmUpAutoFlat(engine, channels) {
  const blocks = engineBlocks(engine);
  try {
    const count = kSide * kSide;
    const lineArt = blocks.alloc(count * channels);
    engine.HEAPU8.set(warmUpPage(kSide, channels), lineArt);
    const settings = blocks.alloc(kSettingsBytes);
    engine._vandrel_autoflat_defaults(settings);
    new DataView(engine.HEAPU8.buffer, settings, kSettingsBytes).setInt32(24, 1, true);
    const flats = blocks.alloc(count * channels);
    const labels = blocks.alloc(count * 4);
    const marks = blocks.alloc(count);
    const output = blocks.alloc(kOutputBytes);
    engine.HEAPU8.fill(0, output, output + kOutputBytes);
    const o = new DataView(engine.HEAPU8.buffer, output, kOutputBytes);
    o.setUint32(0, flats, true);
    o.setInt32(4, kLayout[channels], true);
    o.setUint32(8, labels, true);
    o.setUint32(284, marks, true);
    const result = engine._vandrel_autoflat(lineArt, kLayout[channels], 0, 0, kSide, kSide, settings, output, 0, 0);
    return { result, regions: new DataView(engine.HEAPU8.buffer, output, kOutputBytes).getInt32(20, true) };
  } finally {
    blocks.freeAll();
  }
}

function warmUpFlat(engine, channels) {
  const blocks = engineBlocks(engine);
  try {
    const bytes = kSide * kSide * channels;
    const input = blocks.alloc(bytes);
    const output = blocks.alloc(bytes);
    engine.HEAPU8.set(warmUpPage(kSide, channels), input);
    return engine._vandrel_flat(input, output, kSide, kSide, kLayout[channels], 300, 0, 0, 0);
  } finally {
    blocks.freeAll();
  }
}

// What each run answered, for the tests; a failure here only costs speed.
export function warmUp(engine) {
  const runs = [];
  for (const channels of [3, 4]) {
    try {
      runs.push({ filter: 'autoflat', channels, ...warmUpAutoFlat(engine, channels) });
      runs.push({ filter: 'flat', channels, result: warmUpFlat(engine, channels) });
    } catch (error) {
      runs.push({ channels, error: String(error.message || error) });
    }
  }
  return runs;
}

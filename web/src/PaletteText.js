// A palette for Auto Flats as `vandrel autoflat --palette` reads it: a GIMP
// palette (.gpl) or one #rrggbb a line; repeated colours count once, and
// colours dark enough to be taken for line art are refused.
const kLineArtLimit = 8;

function fail(line, why) {
  throw new Error(`palette line ${line}: ${why}`);
}

function hexColour(text, line) {
  const digits = text.startsWith('#') ? text.slice(1) : text;
  if (!/^[0-9a-fA-F]{6}$/.test(digits)) fail(line, `expected a colour as #rrggbb, found "${text}"`);
  return [0, 2, 4].map((i) => parseInt(digits.slice(i, i + 2), 16));
}

function gimpColour(text, line) {
  const match = /^[ \t]*(\d+)[ \t]+(\d+)[ \t]+(\d+)(?:[ \t]|$)/.exec(text);
  const values = match ? match.slice(1, 4).map(Number) : [];
  if (!match || values.some((v) => v > 255)) fail(line, `expected three numbers 0-255 (red green blue), found "${text}"`);
  return values;
}

export function parsePalette(text) {
  if (text.includes('\0')) throw new Error('the palette is not a text file');
  const lines = text.split('\n');
  const trimmed = (s) => s.replace(/^[ \t\r]+|[ \t\r]+$/g, '');
  const gimp = trimmed(lines[0]) === 'GIMP Palette';
  const colours = [];
  const seen = new Set();
  for (let i = gimp ? 1 : 0; i < lines.length; i++) {
    const line = trimmed(lines[i]);
    if (!line) continue;
    let colour;
    if (gimp) {
      if (line.startsWith('#') || line.startsWith('Name:') || line.startsWith('Columns:')) continue;
      colour = gimpColour(line, i + 1);
    } else colour = hexColour(line, i + 1);
    if (Math.max(...colour) <= kLineArtLimit) fail(i + 1, 'a colour this dark would be taken for line art and melted away');
    const key = colour.join();
    if (!seen.has(key)) {
      seen.add(key);
      colours.push(colour);
    }
  }
  if (!colours.length) throw new Error('the palette holds no colours');
  return colours;
}

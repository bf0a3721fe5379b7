// The chunks a result keeps, checked as libpng checks them for the native
// tool: one it finds broken is left out with a notice (the tool warns)
// rather than carried into a result other readers would call damaged. Some
// faults make libpng distrust the colour space as a whole: the colour
// chunks after such a fault are left out too, as the tool leaves them.

const kFixedOne = 100000;  // PNG's fixed point: 1.0
const kColourChunks = new Set(['gAMA', 'sRGB', 'cHRM', 'iCCP']);
// No profile comes near this; a chunk inflating past it is left out
// rather than allowed to fill the worker's memory.
const kMaxProfileBytes = 64 << 20;

function uint32s(data) {
  const view = new DataView(data.buffer, data.byteOffset, data.byteLength);
  return Array.from({ length: Math.floor(data.length / 4) }, (_, i) => view.getUint32(4 * i));
}

const fault = (reason, spoils = true) => ({ reason, spoils });

// White point and primaries that describe a colour space: each x and y in
// range, and primaries that mix to the white point with positive amounts.
function chromaticitiesFault(values) {
  if (values.some((v) => v > 0x7fffffff)) return fault('chromaticities beyond what PNG can hold', false);
  const [wx, wy, rx, ry, gx, gy, bx, by] = values;
  const inRange = [[rx, ry], [gx, gy], [bx, by], [wx, wy]].every(([x, y]) => x <= kFixedOne && y <= kFixedOne - x);
  if (!inRange || wy < 5 || ry === 0 || gy === 0 || by === 0) return fault('chromaticities out of range');
  const column = (x, y) => [x / y, 1, (kFixedOne - x - y) / y];
  const [r, g, b, white] = [column(rx, ry), column(gx, gy), column(bx, by), column(wx, wy)];
  const det = (p, q, t) => p[0] * (q[1] * t[2] - q[2] * t[1]) - q[0] * (p[1] * t[2] - p[2] * t[1]) + t[0] * (p[1] * q[2] - p[2] * q[1]);
  const d = det(r, g, b);
  const amounts = [det(white, g, b) / d, det(r, white, b) / d, det(r, g, white) / d];
  if (!(Math.abs(d) > 1e-9) || amounts.some((amount) => !(amount > 0 && Number.isFinite(amount))))
    return fault('chromaticities that describe no colour space');
  return null;
}

function chunkFault({ type, data }) {
  switch (type) {
    case 'gAMA': {
      if (data.length !== 4) return fault('a gamma chunk of the wrong length', false);
      const [gamma] = uint32s(data);
      return gamma < 16 || gamma > 625000000 ? fault(`a gamma of ${gamma / kFixedOne}, out of range`) : null;
    }
    case 'sRGB':
      if (data.length !== 1) return fault('an sRGB chunk of the wrong length', false);
      return data[0] > 3 ? fault(`rendering intent ${data[0]}, which sRGB does not have`) : null;
    case 'cHRM':
      return data.length === 32 ? chromaticitiesFault(uint32s(data)) : fault('a chromaticities chunk of the wrong length', false);
    case 'pHYs':
      return data.length === 9 ? null : fault('a resolution chunk of the wrong length', false);
    default:
      return null;
  }
}

async function inflated(bytes) {
  const reader = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate')).getReader();
  const parts = [];
  let total = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) break;
    total += value.length;
    if (total > kMaxProfileBytes) {
      reader.cancel().catch(() => {});
      return null;
    }
    parts.push(value);
  }
  const out = new Uint8Array(total);
  let at = 0;
  for (const part of parts) {
    out.set(part, at);
    at += part.length;
  }
  return out;
}

const text = (bytes, at) => String.fromCharCode(...bytes.subarray(at, at + 4));

// An ICC profile libpng takes for an RGB image: a name, deflate, and
// inside a profile header that says what it is and holds its tag table.
async function profileFault(data) {
  if (data.length < 14) return fault('too short to hold a profile', false);
  const end = data.indexOf(0);
  if (end < 1 || end > 79) return fault('a profile without a proper name');
  if (data[end + 1] !== 0) return fault(`profile compression method ${data[end + 1]}, which PNG does not have`);
  let profile;
  try {
    profile = await inflated(data.subarray(end + 2));
  } catch {
    return fault('a profile that cannot be inflated');
  }
  if (!profile) return fault('a profile larger than any profile needs');
  if (profile.length < 132) return fault('a profile too short to be one', false);
  const [declared] = uint32s(profile);
  if (declared < 132 || declared > profile.length) return fault(`a profile that says it holds ${declared} bytes, not ${profile.length}`);
  if (text(profile, 36) !== 'acsp') return fault('a profile without the ICC signature');
  if (text(profile, 16) !== 'RGB ') return fault(`a profile for ${text(profile, 16).trim() || 'another'} colour, not RGB`);
  if (!['XYZ ', 'Lab '].includes(text(profile, 20))) return fault('a profile with an unknown connection space');
  const [tags] = uint32s(profile.subarray(128, 132));
  if (132 + 12 * tags > declared) return fault('a profile whose tag table runs past its end');
  return null;
}

// `kept`: the chunks readPngChunks kept, in file order. Returns the chunks
// to write and the notices for those left out, one line each.
export async function settleColourChunks(kept) {
  const notices = [];
  const sound = [];
  let distrusted = null;  // the chunk after whose fault no colour chunk counts
  for (const chunk of kept) {
    if (distrusted && kColourChunks.has(chunk.type)) {
      notices.push(`the ${chunk.type} chunk is left out: it comes after the damaged ${distrusted} chunk`);
      continue;
    }
    const found = chunk.type === 'iCCP' ? await profileFault(chunk.data) : chunkFault(chunk);
    if (!found) {
      sound.push(chunk);
      continue;
    }
    notices.push(`the ${chunk.type} chunk is left out: ${found.reason}`);
    if (found.spoils) distrusted = chunk.type;
  }
  // The profile says what sRGB would.
  const hasProfile = sound.some((c) => c.type === 'iCCP');
  return { kept: sound.filter((c) => !(c.type === 'sRGB' && hasProfile)), notices };
}

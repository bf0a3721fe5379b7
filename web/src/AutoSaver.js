// Saves a fixed Auto Flats result again: the flats (without the viewer's
// alpha when the page had none), the region map and its palette. It waits
// for a pause in the fixing, so a run of clicks costs one save.
import { writePng } from './PngWrite.js';
import { gimpPaletteText, regionMapPng } from './RegionMapPng.js';

const kPause = 400;

export function flatsBytes(rgba, channels) {
  if (channels === 4) return new Uint8Array(rgba.buffer, rgba.byteOffset, rgba.length);
  const out = new Uint8Array((rgba.length / 4) * 3);
  for (let i = 0, o = 0; i < rgba.length; i += 4, o += 3) {
    out[o] = rgba[i];
    out[o + 1] = rgba[i + 1];
    out[o + 2] = rgba[i + 2];
  }
  return out;
}

export class AutoSaver {
  constructor({ fixes, channels, kept, names, onSaved }) {
    Object.assign(this, { fixes, channels, kept, names, onSaved });
    this.version = 0;
    this.savedVersion = 0;
    this.timer = 0;
  }

  changed() {
    this.version++;
    clearTimeout(this.timer);
    this.timer = setTimeout(() => this.save(this.version), kPause);
  }

  // Saves at once what is not saved yet (the page leaves the screen, or
  // came back with fixes its kept files lack), then stops.
  async flush() {
    clearTimeout(this.timer);
    if (this.savedVersion !== this.version) await this.save(this.version);
    this.close();
  }

  saveNow() {
    clearTimeout(this.timer);
    return this.save(this.version);
  }

  async save(version) {
    const { fixes, channels } = this;
    const flats = await writePng(flatsBytes(fixes.flats, channels), fixes.width, fixes.height, channels, this.kept);
    const physical = this.kept.find((c) => c.type === 'pHYs')?.data ?? null;
    const map = await regionMapPng(fixes.labels, fixes.width, fixes.height, fixes.regionCount, physical);
    const colours = new Uint8Array(fixes.regionCount * 4);
    fixes.colours.forEach((c, i) => colours.set(c, i * 4));
    const stem = this.names.map.replace(/\.png$/, '');
    const palette = new Blob([gimpPaletteText(stem, colours, fixes.regionCount)], { type: 'text/plain' });
    if (version !== this.version || this.closed) return;
    this.savedVersion = version;
    this.onSaved({ flats, map, palette }, version);
  }

  close() {
    this.closed = true;
    clearTimeout(this.timer);
  }
}

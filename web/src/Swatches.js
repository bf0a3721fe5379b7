// A strip of colours for the Colour tool beside its picker: the colours
// given most recently (kept for the next visit) and the page's own, the
// colours covering most of it first. A click on a swatch sets the picker.
const kRecentKey = 'vandrel-recent-colours';
const kRecent = 8;
const kPage = 16;

const hex = (rgb) => `#${rgb.map((v) => v.toString(16).padStart(2, '0')).join('')}`;

function loadRecent(storage) {
  try {
    const list = JSON.parse(storage?.getItem(kRecentKey) ?? '[]');
    return Array.isArray(list) ? list.filter((c) => /^#[0-9a-f]{6}$/.test(c)).slice(0, kRecent) : [];
  } catch {
    return [];
  }
}

// The page's colours by the area they cover, largest first. `areas` and
// `colours` are per region.
export function pageColours(colours, areas, count = kPage) {
  const byColour = new Map();
  colours.forEach((rgb, r) => {
    if (!areas?.[r]) return;
    const key = hex(rgb);
    byColour.set(key, (byColour.get(key) ?? 0) + areas[r]);
  });
  return [...byColour].sort((a, b) => b[1] - a[1]).slice(0, count).map(([c]) => c);
}

export class Swatches {
  // `choose(hexColour)` is called when a swatch is clicked.
  constructor({ choose, storage = globalThis.localStorage }) {
    this.choose = choose;
    this.storage = storage;
    this.recent = loadRecent(storage);
    this.node = document.createElement('div');
    this.node.className = 'swatches';
    this.node.setAttribute('role', 'group');
    this.node.setAttribute('aria-label', 'Colours');
    this.recentRow = this.row('Recent');
    this.pageRow = this.row('Page');
    this.show(this.recentRow, this.recent);
  }

  row(title) {
    const row = document.createElement('span');
    row.className = 'swatch-row';
    row.dataset.row = title.toLowerCase();
    row.append(Object.assign(document.createElement('span'), { className: 'swatch-title', textContent: title }));
    this.node.append(row);
    return row;
  }

  show(row, colours) {
    const buttons = colours.map((c) => {
      const b = Object.assign(document.createElement('button'), { type: 'button', className: 'swatch', title: c });
      b.style.background = c;
      b.dataset.colour = c;
      b.setAttribute('aria-label', `Colour ${c}`);
      b.addEventListener('click', () => this.choose(c));
      return b;
    });
    row.replaceChildren(row.firstChild, ...buttons);
    row.hidden = !colours.length;
  }

  // A colour just given to a region goes to the front of the recent ones.
  used(colour) {
    this.recent = [colour, ...this.recent.filter((c) => c !== colour)].slice(0, kRecent);
    try {
      this.storage?.setItem(kRecentKey, JSON.stringify(this.recent));
    } catch {
      // Storage full or refused: the strip still shows them this visit.
    }
    this.show(this.recentRow, this.recent);
  }

  showPage(colours) {
    this.show(this.pageRow, colours);
  }
}

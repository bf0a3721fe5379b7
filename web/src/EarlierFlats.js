// A page's earlier flats for Auto Flats, as `vandrel autoflat --like` takes
// them: a revised page flatted again with the flats downloaded before keeps
// their colours wherever the drawing did not change, a colourist's own
// colours included. The choice is the page's, as its hints page is.
export class EarlierFlatsChoice {
  // `onChange` hears of every new choice: the page's result no longer fits.
  constructor(pageId, onChange) {
    this.file = null;
    this.input = Object.assign(document.createElement('input'),
      { type: 'file', accept: '.png,image/png', className: 'visually-hidden earlier-flats', id: `earlier-${pageId}` });
    this.label = Object.assign(document.createElement('label'), {
      className: 'button small auto-only', htmlFor: this.input.id, textContent: 'Earlier flats…',
      title: 'Keep the colours of this page\'s earlier flats (a file of its size): every region takes the colour of '
        + 'the old region it overlaps most; where a region was split, the larger part keeps it',
    });
    this.input.addEventListener('change', () => {
      this.set(this.input.files[0] || null);
      onChange();
    });
  }

  // Also how a kept result brings its choice back after a reload.
  set(file) {
    this.file = file;
    this.label.textContent = file ? `Colours of: ${file.name}` : 'Earlier flats…';
  }

  get nodes() {
    return [this.label, this.input];
  }

  // What the page's result depends on: which file, not only whether one,
  // known by what outlives a reload.
  get key() {
    return this.file ? `${this.file.name}:${this.file.size}:${this.file.lastModified}` : '';
  }
}

// File names of the results: the page's name with "-flat", always .png,
// and unique within one zip.
export function resultName(inputName) {
  const stem = inputName.replace(/\.png$/i, '') || 'page';
  return `${stem}-flat.png`;
}

export function uniqueNames(names) {
  const used = new Set();
  return names.map((name) => {
    let candidate = name;
    for (let n = 2; used.has(candidate.toLowerCase()); n++) candidate = /\.\w+$/.test(name) ? name.replace(/(\.\w+)$/, ` (${n})$1`) : `${name} (${n})`;
    used.add(candidate.toLowerCase());
    return candidate;
  });
}

// Auto Flats' three files: the flats, the region map and its palette.
export function autoResultNames(inputName) {
  const stem = inputName.replace(/\.png$/i, '') || 'page';
  return { flats: `${stem}-flats.png`, map: `${stem}-regions.png`, palette: `${stem}-regions.gpl` };
}

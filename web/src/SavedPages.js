// The list's files kept in the browser's own database, so that a reload
// (a tablet dropping the tab, say) does not lose the pages. Results are
// not kept: they are made again from the files. Every failure here only
// means the list is not kept; the page works on without it.
const kDatabase = 'vandrel-pages';
const kStore = 'files';

let opened = null;
let added = 0;
let lastAdded = 0;

// What was forgotten, written at once: the database's own delete may not
// have finished when the tab is reloaded or closed, and a page the user
// removed must not come back. `before`: every file kept earlier is gone.
const kForgotten = 'vandrel-pages-forgotten';

function forgotten() {
  try {
    const marks = JSON.parse(localStorage.getItem(kForgotten) ?? 'null');
    if (marks && Number.isFinite(marks.before) && Array.isArray(marks.keys)) return marks;
  } catch {
    // Unreadable marks forget nothing.
  }
  return { before: 0, keys: [] };
}

function markForgotten(change) {
  try {
    const marks = forgotten();
    change(marks);
    localStorage.setItem(kForgotten, JSON.stringify(marks));
  } catch {
    // Without storage the database's own delete is all there is.
  }
}

function database() {
  opened ??= new Promise((resolve, reject) => {
    const request = indexedDB.open(kDatabase, 1);
    request.onupgradeneeded = () => request.result.createObjectStore(kStore, { keyPath: 'key' });
    request.onsuccess = () => resolve(request.result);
    request.onerror = () => reject(request.error);
  });
  return opened;
}

async function transaction(mode, work) {
  const db = await database();
  return new Promise((resolve, reject) => {
    const tx = db.transaction(kStore, mode);
    const result = work(tx.objectStore(kStore));
    tx.oncomplete = () => resolve(result?.result);
    tx.onerror = () => reject(tx.error);
    tx.onabort = () => reject(tx.error);
  });
}

function newKey() {
  return globalThis.crypto?.randomUUID?.() ?? `${Date.now()}-${Math.random()}`;
}

export async function keepFile(file) {
  const key = newKey();
  try {
    lastAdded = Math.max(Date.now() * 1000 + (added++ % 1000), lastAdded + 1);
    const stamp = lastAdded;
    await transaction('readwrite', (store) => store.put({ key, added: stamp, file }));
    return key;
  } catch {
    return null;
  }
}

export async function forgetFile(key) {
  if (!key) return;
  markForgotten((marks) => marks.keys.push(key));
  try {
    await transaction('readwrite', (store) => store.delete(key));
    markForgotten((marks) => { marks.keys = marks.keys.filter((k) => k !== key); });
  } catch {
    // Nothing kept, nothing to forget.
  }
}

export async function forgetAll() {
  const before = lastAdded + 1;
  markForgotten((marks) => { marks.before = Math.max(marks.before, before); marks.keys = []; });
  try {
    await transaction('readwrite', (store) => store.clear());
  } catch {
    // As above.
  }
}

export async function keptFiles() {
  try {
    const all = (await transaction('readonly', (store) => store.getAll())) || [];
    const marks = forgotten();
    const gone = (record) => record.added < marks.before || marks.keys.includes(record.key);
    for (const record of all) lastAdded = Math.max(lastAdded, record.added);
    for (const record of all.filter(gone)) forgetFile(record.key);
    return all.filter((record) => !gone(record)).sort((a, b) => a.added - b.added);
  } catch {
    return [];
  }
}

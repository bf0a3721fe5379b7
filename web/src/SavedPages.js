// The list's files kept in the browser's own database, so that a reload
// (a tablet dropping the tab, say) or a browser restart loses no work: each
// page's file, and once flatted its result (the files to download, the
// layers the fixes work on, compressed) and every fix made to it. Nothing
// leaves the computer. Every failure here only means the work is not kept;
// the page works on without it.
const kDatabase = 'vandrel-pages';
const kStore = 'files';
const kResults = 'results';

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
    const request = indexedDB.open(kDatabase, 2);
    request.onupgradeneeded = () => {
      const db = request.result;
      for (const name of [kStore, kResults]) if (!db.objectStoreNames.contains(name)) db.createObjectStore(name, { keyPath: 'key' });
    };
    request.onsuccess = () => resolve(request.result);
    request.onerror = () => reject(request.error);
  });
  return opened;
}

async function transaction(mode, work, store = kStore) {
  const db = await database();
  return new Promise((resolve, reject) => {
    const tx = db.transaction(store, mode);
    const result = work(tx.objectStore(store));
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
    await transaction('readwrite', (store) => store.delete(key), kResults);
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
    await transaction('readwrite', (store) => store.clear(), kResults);
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
    const results = new Map(((await transaction('readonly', (store) => store.getAll(), kResults)) || []).map((r) => [r.key, r]));
    return all.filter((record) => !gone(record)).sort((a, b) => a.added - b.added)
      .map((record) => ({ ...record, result: results.get(record.key) ?? null }));
  } catch {
    return [];
  }
}

// A page's result, whole: what it is, its files and layers, its fixes.
// Resolves to the record as read back, whose files are the database's own
// (kept on disk, not in memory), or to null when it could not be kept.
export async function keepResult(key, record) {
  if (!key) return null;
  try {
    await transaction('readwrite', (store) => store.put({ ...record, key }), kResults);
    return await storedResult(key);
  } catch {
    return null;
  }
}

// Part of a kept result changed (its fixes, its saved files): the rest
// stays as it was. Resolves to the record as read back, or null.
export async function changeResult(key, change) {
  if (!key) return null;
  try {
    await transaction('readwrite', (store) => {
      const request = store.get(key);
      request.onsuccess = () => { if (request.result) store.put({ ...request.result, ...change }); };
    }, kResults);
    return change.files ? await storedResult(key) : null;
  } catch {
    return null;
  }
}

export async function forgetResult(key) {
  if (!key) return;
  try {
    await transaction('readwrite', (store) => store.delete(key), kResults);
  } catch {
    // Nothing kept.
  }
}

export async function storedResult(key) {
  try {
    return (await transaction('readonly', (store) => store.get(key), kResults)) ?? null;
  } catch {
    return null;
  }
}

// Everything kept, for a clean start: the database goes whole.
export async function forgetEverything() {
  await forgetAll();
  const db = await opened?.catch(() => null);
  db?.close();
  opened = null;
  await new Promise((done) => {
    const request = indexedDB.deleteDatabase(kDatabase);
    request.onsuccess = request.onerror = request.onblocked = () => done();
  });
}

// The bytes this page's origin keeps in the browser, or null if unknown.
export async function storageUsed() {
  try {
    return (await navigator.storage.estimate()).usage ?? null;
  } catch {
    return null;
  }
}

// The list's files kept in the browser's own database, so that a reload
// (a tablet dropping the tab, say) does not lose the pages. Results are
// not kept: they are made again from the files. Every failure here only
// means the list is not kept; the page works on without it.
const kDatabase = 'vandrel-pages';
const kStore = 'files';

let opened = null;
let added = 0;

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
    await transaction('readwrite', (store) => store.put({ key, added: Date.now() * 1000 + (added++ % 1000), file }));
    return key;
  } catch {
    return null;
  }
}

export async function forgetFile(key) {
  if (!key) return;
  try {
    await transaction('readwrite', (store) => store.delete(key));
  } catch {
    // Nothing kept, nothing to forget.
  }
}

export async function forgetAll() {
  try {
    await transaction('readwrite', (store) => store.clear());
  } catch {
    // As above.
  }
}

export async function keptFiles() {
  try {
    const all = (await transaction('readonly', (store) => store.getAll())) || [];
    return all.sort((a, b) => a.added - b.added);
  } catch {
    return [];
  }
}

// Keeps the page working offline once loaded: every file it needs is put
// in a cache on the first visit and served from there afterwards, the
// network being asked only for what the cache lacks. The build stamps the
// cache's name, so a new build replaces the files of the old one.
const kCache = 'vandrel-__BUILD__';
const kFiles = ['./', 'index.html', 'style.css', 'app.js', 'worker.js', 'layers.js', 'layered.js', 'restore.js', 'vandrel-engine.js', 'vandrel-engine.wasm'];

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(kCache).then((cache) => cache.addAll(kFiles)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(
    caches.keys()
      .then((names) => Promise.all(names.filter((n) => n.startsWith('vandrel-') && n !== kCache).map((n) => caches.delete(n))))
      .then(() => self.clients.claim()),
  );
});

self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith(caches.match(event.request, { ignoreSearch: true }).then((hit) => hit || fetch(event.request)));
});

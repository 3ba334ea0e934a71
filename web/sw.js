// The browser edition's service worker: the site's files kept in the browser,
// so that a second visit starts without the network. scripts/web.sh writes
// the built site's file list and a hash of those files over the two lines
// below; each hash is a cache of its own, filled whole before the worker
// takes over, so a page is never served half one version and half another.
// A new version waits while a page of the old one plays, and takes over when
// the page asks it to (its "Play again") or no page of the old one is left;
// the old cache then goes.
const VERSION = 'unbuilt';
const FILES = [];

const PREFIX = 'reefdart-';
const CACHE = PREFIX + VERSION;
const scope = new URL(self.registration.scope);

// The pages this cache answers for: the site's folder and its index, whatever
// the address asks (?device=, ?watch=).
function cachedKey(url) {
  if (url.origin !== scope.origin || !url.pathname.startsWith(scope.pathname)) return null;
  const name = url.pathname.slice(scope.pathname.length);
  if (name === '' || name === 'index.html') return 'index.html';
  return FILES.includes(name) ? name : null;
}

self.addEventListener('install', (event) => {
  event.waitUntil((async () => {
    if (!FILES.length) throw new Error('the site was built without its file list');
    const cache = await caches.open(CACHE);
    // From the network, not from the browser's HTTP cache: the files of this
    // version, not older ones.
    await cache.addAll(FILES.map((name) => new Request(name, { cache: 'reload' })));
    // The first version takes the page that installed it at once.
    if (!self.registration.active) await self.skipWaiting();
  })());
});

self.addEventListener('activate', (event) => {
  event.waitUntil((async () => {
    for (const name of await caches.keys())
      if (name.startsWith(PREFIX) && name !== CACHE) await caches.delete(name);
    await self.clients.claim();
  })());
});

self.addEventListener('message', (event) => {
  if (event.data === 'take-over') self.skipWaiting();
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET') return;
  const key = cachedKey(new URL(request.url));
  if (!key) return; // the score site's API, a replay to watch: the network's
  event.respondWith((async () => {
    const cache = await caches.open(CACHE);
    const hit = await cache.match(key);
    return hit || fetch(request);
  })());
});

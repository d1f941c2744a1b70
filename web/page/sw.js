// The page's service worker: keeps every file of the page (the module, the
// workers and the worklet too), so once loaded the page opens, plays and
// saves without a network, and can be installed. The codecs' module is left
// out of the first download (most visits never save in a format that needs
// it) and kept once a save has fetched it. web/build.sh fills in the
// build's file list and a name for its cache that changes with the files,
// so a new build replaces the old files at once.
const CACHE_NAME = 'tamsel-page-@BUILD@';
const FILES = [/* @FILES@ */];

self.addEventListener('install', (event) => {
    event.waitUntil(caches.open(CACHE_NAME).then((cache) => cache.addAll(['./', ...FILES])).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
    const oldCaches = caches.keys().then((names) => names.filter((name) => name !== CACHE_NAME));
    event.waitUntil(oldCaches.then((names) => Promise.all(names.map((name) => caches.delete(name))))
        .then(() => self.clients.claim()));
});

// The kept file when there is one, else the network's, kept for next time
// when it is one of the page's own files.
self.addEventListener('fetch', (event) => {
    if (event.request.method !== 'GET') return;
    const ownFile = new URL(event.request.url).origin === self.location.origin;
    event.respondWith(caches.open(CACHE_NAME).then(async (cache) => {
        const kept = await cache.match(event.request, { ignoreSearch: true });
        if (kept) return kept;
        const response = await fetch(event.request);
        if (ownFile && response.ok) await cache.put(event.request, response.clone());
        return response;
    }));
});

// The page's service worker: keeps every file of the page (the module, the
// workers and the worklet too), so once loaded the page opens, plays and
// saves without a network, and can be installed. web/build.sh fills in the
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

// The kept file when there is one, else the network's.
self.addEventListener('fetch', (event) => {
    if (event.request.method !== 'GET') return;
    event.respondWith(caches.open(CACHE_NAME)
        .then((cache) => cache.match(event.request, { ignoreSearch: true }))
        .then((kept) => kept || fetch(event.request)));
});

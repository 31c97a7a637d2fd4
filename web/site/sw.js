// Keeps the site on the visitor's device from the first visit on, so that a second
// visit draws at once and plays the music with no network at all. The cache's name
// comes from the site's contents (scripts/build-web writes it in): a new release
// brings a new sw.js, which fills a new cache and then drops the old ones.
"use strict";
const CACHE = "marrowby-@CACHE@";
const FILES = [@FILES@];

self.addEventListener("install", (event) => {
    event.waitUntil(caches.open(CACHE)
        .then((cache) => cache.addAll(FILES))
        .then(() => self.skipWaiting()));
});

self.addEventListener("activate", (event) => {
    event.waitUntil(caches.keys()
        .then((names) => Promise.all(names
            .filter((name) => name.startsWith("marrowby-") && name !== CACHE)
            .map((name) => caches.delete(name))))
        .then(() => self.clients.claim()));
});

// The site's own files from the cache; anything else, or anything missing from it,
// from the network. index.html is the same page as the folder.
self.addEventListener("fetch", (event) => {
    const request = event.request, url = new URL(request.url);
    if (request.method !== "GET" || url.origin !== self.location.origin) return;
    const key = url.pathname.endsWith("/index.html") ? "./" : request;
    event.respondWith(caches.open(CACHE)
        .then((cache) => cache.match(key, {ignoreSearch: true}))
        .then((hit) => hit || fetch(request)));
});

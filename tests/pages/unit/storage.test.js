// What the pages remember, and the watch statistics.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const web = require('./web.js');
const { Prefs, MAX_VIDEOS } = web('prefs.js');
const stats = web('stats.js');

class MemoryStorage {
    constructor() { this.map = new Map(); }
    get length() { return this.map.size; }
    key(i) { return Array.from(this.map.keys())[i] ?? null; }
    getItem(k) { return this.map.has(k) ? this.map.get(k) : null; }
    setItem(k, v) { this.map.set(k, String(v)); }
    removeItem(k) { this.map.delete(k); }
}

test('per-video tracks and offsets survive a reload, rounded and bounded', () => {
    const storage = new MemoryStorage();
    new Prefs(storage).setVideo('42', { target: { track: 7, offset: 349 }, native: { track: -1, offset: -70000 } });
    const video = new Prefs(storage).video('42');
    assert.deepEqual(video, { target: { track: 7, offset: 300 }, native: { track: -1, offset: -60000 } });
    assert.deepEqual(new Prefs(storage).video('43'), { target: { track: null, offset: 0 }, native: { track: null, offset: 0 } });
});

test('bad stored data and a storage that throws give defaults', () => {
    const storage = new MemoryStorage();
    storage.setItem('lirra.video.1', '{not json');
    storage.setItem('lirra.video.2', JSON.stringify({ target: { track: 'x', offset: 'y' }, native: 5 }));
    storage.setItem('lirra.player', JSON.stringify({ showNative: 'no', autoPause: 1 }));
    storage.setItem('lirra.nativeLanguage', '<b>');
    const prefs = new Prefs(storage);
    assert.deepEqual(prefs.video('1').target, { track: null, offset: 0 });
    assert.deepEqual(prefs.video('2'), { target: { track: null, offset: 0 }, native: { track: null, offset: 0 } });
    assert.deepEqual(prefs.player(), { showTarget: true, showNative: true, autoPause: false, markNew: false, tutorialSeen: false });
    assert.equal(prefs.language(), null);

    const throwing = { getItem() { throw new Error('denied'); }, setItem() { throw new Error('full'); } };
    const broken = new Prefs(throwing);
    assert.doesNotThrow(() => broken.setPlayer({ autoPause: true }));
    assert.equal(broken.language(), null);
    // Settings change one at a time.
    prefs.setPlayer({ autoPause: true });
    prefs.setPlayer({ showNative: false });
    assert.deepEqual(prefs.player(), { showTarget: true, showNative: false, autoPause: true, markNew: false, tutorialSeen: false });
});

test('only the most recently changed videos are kept', () => {
    const storage = new MemoryStorage();
    let now = 0;
    const prefs = new Prefs(storage, () => ++now);
    storage.setItem('lirra.player', '{}');
    for (let id = 1; id <= MAX_VIDEOS + 5; ++id) {
        prefs.setVideo(String(id), { target: { track: id, offset: 0 }, native: { track: null, offset: 0 } });
    }
    prefs.setVideo('3', { target: { track: 3, offset: 100 }, native: { track: null, offset: 0 } });
    const videos = Array.from(storage.map.keys()).filter((k) => k.startsWith('lirra.video.'));
    assert.equal(videos.length, MAX_VIDEOS);
    assert.ok(storage.getItem('lirra.video.3'), 'touched again: kept');
    assert.equal(storage.getItem('lirra.video.1'), null);
    assert.ok(storage.getItem('lirra.player'), 'other settings untouched');
});

test('watch statistics: days in a row, this week, totals', () => {
    const now = new Date(2026, 2, 10, 20, 0).getTime();
    const day = (d, h) => new Date(2026, 2, d, h || 12).getTime();
    const videos = [
        { lastSeen: day(10, 8), trackCount: 2 }, { lastSeen: day(9), trackCount: 1 },
        { lastSeen: day(9, 1), trackCount: 0 }, { lastSeen: day(8), trackCount: 3 },
        { lastSeen: day(6), trackCount: 1 }, { lastSeen: day(1), trackCount: -4 },
        { lastSeen: 'garbage', trackCount: 1 },
    ];
    assert.deepEqual(stats.summarize(videos, now), { videos: 7, thisWeek: 5, streak: 3, subtitles: 7 });
    // Nothing opened today yet: the streak up to yesterday still counts.
    assert.equal(stats.summarize(videos.slice(1), now).streak, 2);
    assert.equal(stats.summarize(videos.slice(3), now).streak, 0);
    // Across the start of summer time (29 March 2026 in much of Europe).
    const spring = [27, 28, 29, 30].map((d) => ({ lastSeen: new Date(2026, 2, d, 12).getTime(), trackCount: 1 }));
    assert.equal(stats.summarize(spring, new Date(2026, 2, 30, 18).getTime()).streak, 4);
});

// What the pages remember, the watch statistics and the online settings' texts.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const web = require('./web.js');
const { Prefs, MAX_VIDEOS } = web('prefs.js');
const stats = web('stats.js');
const onlineSettings = web('onlinesettings.js');
const { MemoryStorage } = require('./fakes.js');

const saved = (target, native, nativeOffset) => ({
    target: { track: target, offset: 0 }, native: { track: native, offset: nativeOffset || 0 } });

test('per-video tracks, offsets and fits survive a reload, rounded and bounded', () => {
    const storage = new MemoryStorage();
    new Prefs(storage).setVideo('42', { target: { track: 7, offset: 349 }, native: { track: -1, offset: -70000 } });
    assert.deepEqual(new Prefs(storage).video('42'), { target: { track: 7, offset: 300 }, native: { track: -1, offset: -60000 } });
    assert.deepEqual(new Prefs(storage).video('43'), saved(null, null));
    // The fits are on unless turned off; choosing tracks or offsets keeps the choice.
    const prefs = new Prefs(storage);
    assert.equal(prefs.aligned('5'), true);
    prefs.setVideo('5', saved(1, 2, 300));
    prefs.setAligned('5', false);
    prefs.setVideo('5', saved(1, 2, 400));
    const again = new Prefs(storage);
    assert.deepEqual([again.aligned('5'), again.aligned('6')], [false, true]);
    assert.deepEqual(again.video('5'), saved(1, 2, 400));
    again.setAligned('5', true);
    assert.equal(new Prefs(storage).aligned('5'), true);
});

test('bad stored data and a storage that throws give defaults; settings change one at a time', () => {
    const storage = new MemoryStorage();
    const stored = { 'lirra.video.1': '{not json', 'lirra.video.2': '{"target": {"track": "x", "offset": "y"}, "native": 5}',
                     'lirra.video.7': '{"aligned": "no"}', 'lirra.player': '{"showNative": "no", "autoPause": 1}', 'lirra.nativeLanguage': '<b>' };
    for (const [k, v] of Object.entries(stored)) storage.setItem(k, v);
    const prefs = new Prefs(storage);
    assert.deepEqual([prefs.video('1'), prefs.video('2'), prefs.aligned('7'), prefs.language()], [saved(null, null), saved(null, null), true, null]);
    const defaults = { showTarget: true, showNative: true, autoPause: false, markNew: false, tutorialSeen: false };
    assert.deepEqual(prefs.player(), defaults);
    const broken = new Prefs({ getItem() { throw new Error('denied'); }, setItem() { throw new Error('full'); } });
    assert.doesNotThrow(() => broken.setPlayer({ autoPause: true }));
    assert.deepEqual([broken.language(), broken.player()], [null, defaults]);
    prefs.setPlayer({ autoPause: true });
    prefs.setPlayer({ showNative: false });
    assert.deepEqual(prefs.player(), { ...defaults, showNative: false, autoPause: true });
});

test('only the most recently changed videos are kept', () => {
    const storage = new MemoryStorage();
    let now = 0;
    const prefs = new Prefs(storage, () => ++now);
    storage.setItem('lirra.player', '{}');
    for (let id = 1; id <= MAX_VIDEOS + 5; ++id) prefs.setVideo(String(id), saved(id, null));
    prefs.setVideo('3', saved(3, null, 100));
    assert.equal(Array.from(storage.map.keys()).filter((k) => k.startsWith('lirra.video.')).length, MAX_VIDEOS);
    assert.deepEqual(['lirra.video.3', 'lirra.video.1', 'lirra.player'].map((k) => storage.getItem(k) !== null), [true, false, true],
                     'touched again: kept; other settings untouched');
});

test('watch statistics: days in a row, this week, totals', () => {
    const now = new Date(2026, 2, 10, 20, 0).getTime();
    const day = (d, h) => new Date(2026, 2, d, h || 12).getTime();
    const videos = [[day(10, 8), 2], [day(9), 1], [day(9, 1), 0], [day(8), 3], [day(6), 1], [day(1), -4], ['garbage', 1]]
        .map(([lastSeen, trackCount]) => ({ lastSeen, trackCount }));
    assert.deepEqual(stats.summarize(videos, now), { videos: 7, thisWeek: 5, streak: 3, subtitles: 7 });
    // Nothing opened today yet: the streak up to yesterday still counts.
    assert.deepEqual([1, 3].map((n) => stats.summarize(videos.slice(n), now).streak), [2, 0]);
    // Across the start of summer time (29 March 2026 in much of Europe).
    const spring = [27, 28, 29, 30].map((d) => ({ lastSeen: day(d), trackCount: 1 }));
    assert.equal(stats.summarize(spring, new Date(2026, 2, 30, 18).getTime()).streak, 4);
});

test('the online settings panel: each state reads as one sentence; a save sends only what was typed or changed', () => {
    const states = [
        [null, /^Off: no key saved, so nothing is sent/],
        [{ configured: true, status: 'ok', remaining: 17 }, /^On: .* 17 downloads left today\.$/],
        [{ configured: true, status: 'offline', message: 'The subtitle database could not be reached.' },
            /could not be reached; Lirra tries again later\. \(The subtitle/],
    ];
    for (const [state, expected] of states) assert.match(onlineSettings.describe(state), expected, JSON.stringify(state));
    const saves = [
        [{ key: 'k1', user: '', password: '', savedUser: '' }, { key: 'k1' }],
        [{ key: '', user: 'me', password: 'pw', savedUser: '' }, { user: 'me', password: 'pw' }],
        [{ key: '', user: 'me', password: '', savedUser: 'me' }, {}],
        [{ key: '', user: '', password: '', savedUser: 'me' }, { user: '' }],
    ];
    for (const [form, body] of saves) assert.deepEqual(onlineSettings.changes(form), body);
});

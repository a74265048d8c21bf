// SPDX-License-Identifier: GPL-3.0-or-later
// What the pages remember, the watch statistics and the online settings' texts.
'use strict';
const { test, assert, web, MemoryStorage } = require('./fakes.js');
const { Prefs, MAX_VIDEOS, summarize, describe, changes } = web('prefs.js', 'stats.js', 'onlinesettings.js');

const saved = (target, native, nativeOffset = 0) => ({ target: { track: target, offset: 0 }, native: { track: native, offset: nativeOffset } });

test('the language, the player settings and per video the tracks, offsets and fits survive a reload, under the keys a new version reads', () => {
    const storage = new MemoryStorage();
    const prefs = new Prefs(storage, () => 77);
    prefs.setLanguage('fre');
    prefs.setPlayer({ autoPause: true });
    prefs.setPlayer({ showNative: false });
    prefs.setVideo('42', { target: { track: 7, offset: 349 }, native: { track: -1, offset: -70000 } });
    prefs.setVideo('5', saved(1, 2, 300));
    prefs.setAligned('5', false);
    prefs.setVideo('5', saved(1, 2, 400));   // choosing tracks or offsets keeps the fits' choice
    assert.deepEqual([...storage.map.keys()], ['lirra.nativeLanguage', 'lirra.player', 'lirra.video.42', 'lirra.video.5']);
    const again = new Prefs(storage);
    assert.deepEqual([again.language(), again.player().autoPause, again.player().showNative], ['fre', true, false]);
    assert.deepEqual([again.video('42'), again.video('43')], [{ target: { track: 7, offset: 300 }, native: { track: -1, offset: -60000 } }, saved(null, null)]);
    assert.deepEqual([again.aligned('5'), again.aligned('6'), again.video('5')], [false, true, saved(1, 2, 400)]);
    again.setAligned('5', true);
    assert.equal(new Prefs(storage).aligned('5'), true);
});

test('bad stored data and a storage that throws give defaults', () => {
    const storage = new MemoryStorage();
    const stored = { 'lirra.video.1': '{not json', 'lirra.video.2': '{"target": {"track": "x", "offset": "y"}, "native": 5}',
                     'lirra.video.7': '{"aligned": "no"}', 'lirra.player': '{"showNative": "no", "autoPause": 1}', 'lirra.nativeLanguage': '<b>' };
    for (const [k, v] of Object.entries(stored)) storage.setItem(k, v);
    const prefs = new Prefs(storage);
    assert.deepEqual([prefs.video('1'), prefs.video('2'), prefs.aligned('7'), prefs.language()], [saved(null, null), saved(null, null), true, null]);
    const defaults = { showTarget: true, showNative: true, autoPause: false, markNew: false, tutorialSeen: false, voice: 'en-us' };
    assert.deepEqual(prefs.player(), defaults);
    const broken = new Prefs({ getItem() { throw new Error('denied'); }, setItem() { throw new Error('full'); } });
    assert.doesNotThrow(() => { broken.setPlayer({ autoPause: true }); broken.setLanguage('ger'); broken.setVideo('1', saved(1, 1)); });
    assert.deepEqual([broken.language(), broken.player(), new Prefs(null).video('1')], [null, defaults, saved(null, null)]);
});

test('only the most recently changed videos are kept', () => {
    const storage = new MemoryStorage();
    let now = 0;
    const prefs = new Prefs(storage, () => ++now);
    storage.setItem('lirra.player', '{}');
    for (let id = 1; id <= MAX_VIDEOS + 5; ++id) prefs.setVideo(String(id), saved(id, null));
    prefs.setVideo('3', saved(3, null, 100));
    assert.equal(Array.from(storage.map.keys()).filter((k) => k.startsWith('lirra.video.')).length, MAX_VIDEOS);
    assert.deepEqual(['lirra.video.3', 'lirra.video.1', 'lirra.video.7', 'lirra.player'].map((k) => storage.getItem(k) !== null), [true, false, true, true],
                     'touched again: kept; other settings untouched');
});

test('watch statistics: days in a row, this week, totals', () => {
    const now = new Date(2026, 2, 10, 20, 0).getTime();
    const day = (d, h) => new Date(2026, 2, d, h || 12).getTime();
    const videos = [[day(10, 8), 2], [day(9), 1], [day(9, 1), 0], [day(8), 3], [day(6), 1], [day(1), -4], ['garbage', 1]]
        .map(([lastSeen, trackCount]) => ({ lastSeen, trackCount }));
    assert.deepEqual(summarize(videos, now), { videos: 7, thisWeek: 5, streak: 3, subtitles: 7 });
    // Nothing opened today yet: the streak up to yesterday still counts.
    assert.deepEqual([1, 3].map((n) => summarize(videos.slice(n), now).streak), [2, 0]);
    // Across the start of summer time (29 March 2026 in much of Europe).
    const spring = [27, 28, 29, 30].map((d) => ({ lastSeen: day(d), trackCount: 1 }));
    assert.equal(summarize(spring, new Date(2026, 2, 30, 18).getTime()).streak, 4);
});

test('the online settings panel: each state reads as one sentence; a save sends only what was typed or changed', () => {
    const states = [
        [null, /^Off: no key saved, so nothing is sent/],
        [{ configured: true, status: 'ok', remaining: 17 }, /^On: .* 17 downloads left today\.$/],
        [{ configured: true, status: 'quota' }, /^Today's downloads are used up/],
        [{ configured: true, status: 'offline', message: 'The subtitle database could not be reached.' }, /could not be reached; Lirra tries again later\. \(The subtitle/],
    ];
    for (const [state, expected] of states) assert.match(describe(state), expected, JSON.stringify(state));
    const saves = [
        [{ key: 'k1', user: '', password: '', savedUser: '' }, { key: 'k1' }],
        [{ key: '', user: 'me', password: 'pw', savedUser: '' }, { user: 'me', password: 'pw' }],
        [{ key: '', user: 'me', password: '', savedUser: 'me' }, {}],
        [{ key: '', user: '', password: '', savedUser: 'me' }, { user: '' }],
    ];
    for (const [form, body] of saves) assert.deepEqual(changes(form), body);
});

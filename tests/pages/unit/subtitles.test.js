// SPDX-License-Identifier: GPL-3.0-or-later
// The player page's subtitle lines: which track each line shows (drawn: the browser's player
// page test), the line list's translations, the service's subtitle files (loading with retries,
// asking again while the service still reads tracks out of the video, adding a file), and the
// fits of the lines.
'use strict';
const { test, assert, web, FakeClock, fakeAjax } = require('./fakes.js');
const { CueTrack, LineTracks, translations, label, SubtitleFiles, fileProblem, PENDING_POLL_MS, PENDING_MAX_MS } =
    web('cues.js', 'tracks.js', 'linelist.js', 'languages.js', 'subtitlefiles.js');
const alignment = web('alignment.js');

const cue = (start, end, text) => ({ start, end, text });
const track = (subtitleId, language, cues) => ({ subtitleId, language, fileName: `${subtitleId}.srt`,
                                                  cues: cues || [cue(1000, 2000, `line of ${subtitleId}`)] });
const saved = (target, native, offsets = [0, 0]) => ({ target: { track: target, offset: offsets[0] }, native: { track: native, offset: offsets[1] } });
const shown = (lines) => [lines.lines.target.trackId, lines.lines.native.trackId];

test('the track each line shows: the stored choice, else English and the learner\'s language; later tracks fill only empty lines', () => {
    const eng = track(1, 'eng'), unknown = track(2, ''), spa = track(3, 'spa'), spa2 = track(4, 'spa'), eng2 = track(5, 'eng'), fre = track(6, 'fre');
    const cases = [
        // first answer, stored [target, native], lines after it; a later answer, lines after it, lines changed
        [[spa, unknown, eng, eng2, fre], [null, null], [1, 3]], [[spa, unknown, eng, eng2, fre], [5, 6], [5, 6]],
        [[spa, unknown, eng], [99, 98], [1, 3], null, null, null, 'stored tracks the video no longer has'],
        [[unknown, spa], [null, null], [2, 3], null, null, null, 'no English: a file of unknown language'],
        [[spa], [3, null], [3, -1], null, null, null, 'the English line took the only Spanish file'],
        [[], [null, null], [null, null], [eng, spa], [1, 3], ['target', 'native'], 'the first tracks come later'],
        [[unknown], [null, null], [2, -1], [unknown, eng, spa], [2, 3], ['native'], 'the shown line keeps its file; the empty one takes the new'],
        [[unknown], [null, -1], [2, -1], [unknown, eng, spa], [2, -1], [], 'the learner chose no line'],
        [[eng, spa], [null, 4], [1, 3], [eng, spa, spa2], [1, 4], ['native'], 'the learner\'s choice has come'],
        [[eng], [null, null], [1, -1], [eng], [1, -1], null, 'the same answer changes nothing'],
    ];
    for (const [first, stored, afterFirst, later, afterLater, changed, why] of cases) {
        const lines = new LineTracks('spa');
        lines.update(first, saved(...stored));
        assert.deepEqual(shown(lines), afterFirst, why || JSON.stringify(stored));
        assert.equal(lines.track('target') === null, !(afterFirst[0] > 0));
        if (!later) continue;
        const target = lines.track('target');
        assert.deepEqual(lines.update(later, saved(...stored)), changed, why);
        assert.deepEqual(shown(lines), afterLater, why);
        if (afterFirst[0] === afterLater[0] && target) assert.equal(lines.track('target'), target, 'the same cues, not drawn anew');
    }
});

test('offsets are stepped, bounded, applied and stored; added files and empty answers; the track the tools follow', () => {
    const lines = new LineTracks('spa');
    lines.update([track(3, 'eng'), track(1, 'spa')], saved(null, null, [300, -200]));
    assert.deepEqual([lines.track('target').videoStart(0), lines.track('native').videoStart(0)], [1300, 800]);
    assert.deepEqual([100, 100, -1000, 90000, null].map((d) => lines.shift('target', d)), [400, 500, -500, 60000, 0]);
    assert.equal(lines.track('target').videoStart(0), 1000);
    lines.shift('native', 100);
    assert.deepEqual(lines.saved(), saved(3, 1, [0, -100]));
    // A track chosen later keeps the line's offset.
    lines.setTrack('native', -1);
    lines.shift('native', 100);
    lines.setTrack('native', 1);
    assert.equal(lines.track('native').videoStart(0), 1000);

    const added = new LineTracks('spa');
    assert.equal(added.replace([]), true);
    assert.equal(added.add([track(7, 'fre'), track(8, 'fre')]), 'native');
    assert.equal(added.replace([]), false, 'the service does not know the added file yet');
    assert.equal(added.add([track(9, 'eng')]), 'target');
    assert.deepEqual(shown(added), [9, 7]);
    assert.equal(added.replace([track(1, 'spa')]), true);
    assert.deepEqual(added.list.map((t) => t.subtitleId), [1]);
    // The track the tools follow, and the one beside it in the line list.
    const tools = new LineTracks('spa');
    tools.update([track(3, 'eng'), track(1, 'spa'), track(2, 'ger', [])], saved(3, 1));
    const english = tools.track('target'), spanish = tools.track('native');
    for (const [showTarget, showNative, followed, companion] of [[true, true, english, spanish], [true, false, english, null], [false, false, spanish, null]]) {
        assert.equal(tools.followed({ showTarget, showNative }), followed, `${showTarget} ${showNative}`);
        assert.equal(tools.companion(followed, { showTarget, showNative }), companion, `${showTarget} ${showNative}`);
    }
    tools.setTrack('target', -1);
    assert.equal(tools.followed({ showTarget: true, showNative: true }), spanish);
    // The line list pairs each line with the other line's cue showing at its middle (2000, 4500, 8500).
    const en = new CueTrack([cue(1000, 3000, 'a'), cue(4000, 5000, 'b'), cue(8000, 9000, 'c')]);
    const other = [cue(900, 2900, 'x'), cue(4400, 6000, 'y')];
    assert.deepEqual([0, 1000, -2500].map((o) => translations(en, new CueTrack(other, o))), [[0, 1, -1], [0, -1, -1], [1, -1, -1]]);
    assert.deepEqual(translations(en, null), [-1, -1, -1]);
});

// The tracks of video 42 loaded with the answers in turn (the last one repeats; 'fail' fails).
function load(answers, videoId = '42') {
    const clock = new FakeClock();
    const { ajax, calls } = fakeAjax((options, i) => {
        const answer = answers[Math.min(i, answers.length - 1)];
        return answer === 'fail' ? { fail: {} } : answer;
    }, clock);
    const given = [], toasts = [];
    const files = new SubtitleFiles({ videoId, ajax, toast: (t) => toasts.push(t), setTimeout: (fn, ms) => clock.setTimeout(fn, ms), now: () => clock.now() });
    files.load((tracks, fileName) => { given.push([tracks.map((t) => t.subtitleId), fileName]); return tracks.length > 0; });
    clock.advance(10 * 60 * 1000);
    return { times: calls.map((c) => c.at), calls, given, toasts };
}

test('the tracks are asked again after a failed or empty answer, every 2 s while pending, then the learner is told', () => {
    const list = [track(1, 'eng')], none = 'No subtitles yet: add a file in the Subtitles menu.';
    const cases = [
        // answers in turn, when the page asked (ms), what it was given, what the learner is told
        [[{ tracks: list }], [0], [[[1], null]], []],
        [['fail', { tracks: [], fileName: '' }, { tracks: list, fileName: 'v.mkv' }], [0, 1000, 3000], [[[], ''], [[1], 'v.mkv']], []],
        [['fail'], [0, 1000, 3000, 7000], [], ['The subtitles could not be loaded.']],
        [[{}, { tracks: 'x', fileName: 5 }, null, { tracks: [] }], [0, 1000, 3000, 7000], Array(4).fill([[], null]), [none]],
        [[{ tracks: [], pending: true }, { tracks: list, pending: true }, { tracks: [track(1, 'eng'), track(2, 'spa')], pending: false }],
         [0, 2000, 4000], [[[], null], [[1], null], [[1, 2], null]], []],
        [[{ tracks: [], pending: true }, 'fail', { tracks: [track(3, '')] }], [0, 2000, 3000], [[[], null], [[3], null]], [],
         'a failed answer while pending is asked again as before'],
    ];
    for (const [answers, times, given, toasts, why] of cases) {
        const r = load(answers);
        assert.deepEqual([r.times, r.given, r.toasts], [times, given, toasts], why || JSON.stringify(answers));
        assert.deepEqual(r.calls[0].options, { url: '../api/videos/42/tracks', dataType: 'json', cache: false, timeout: 8000 });
    }
    // A service that stays pending is asked for 2 minutes, then as after any empty answer.
    const r = load([{ tracks: [], pending: true }]);
    const polls = PENDING_MAX_MS / PENDING_POLL_MS + 1;
    assert.deepEqual(r.times, Array.from({ length: polls }, (_, i) => i * PENDING_POLL_MS).concat([121000, 123000, 127000]));
    assert.deepEqual(r.toasts, [none]);
    assert.equal(load([{ tracks: list }], null).calls.length, 0, 'no video, nothing to ask');
});

test('a chosen subtitle file: checked, sent as a form, and what the learner is told', () => {
    assert.deepEqual([{ name: 'A.VTT', size: 8 << 20 }, { name: 'srt', size: 10 }, { name: 'd.srt', size: (8 << 20) + 1 }]
        .map(fileProblem), [null, 'Choose a .srt, .sub or .vtt file.', 'That file is too large for a subtitle file.']);
    const file = { name: 'Walk.fr.srt', size: 100 };
    const cases = [
        // answer, toasts after "Adding", tracks handed to the page
        [{ tracks: [track(5, 'fre')] }, [], [5]],
        [{ fail: { responseJSON: { error: 'not a subtitle file' } } }, ['Could not add Walk.fr.srt: not a subtitle file'], null],
    ];
    for (const [answer, toasts, added] of cases) {
        const { ajax, calls } = fakeAjax(() => answer);
        const told = [], forms = [];
        let got = null;
        const files = new SubtitleFiles({ videoId: '7', ajax, toast: (t) => told.push(t), newForm: () => ({ append: (...a) => forms.push(a) }) });
        files.add({ name: 'notes.txt', size: 5 }, () => assert.fail('sent'));
        files.add(file, (tracks) => { got = tracks.map((t) => t.subtitleId); });
        assert.deepEqual([calls.length, calls[0].options.url, calls[0].options.method, forms], [1, '../api/videos/7/subtitles', 'POST', [['file', file, 'Walk.fr.srt']]]);
        assert.deepEqual([told, got], [['Choose a .srt, .sub or .vtt file.', 'Adding Walk.fr.srt…'].concat(toasts), added]);
    }
});

// The service's timing fits: each line shows its track fitted to the video's reference track,
// the learner's offset on top, a notice says what moved, and the learner can turn the fits off.
const PAL = 25 / 23.976;
const fitted = (subtitleId, language, fit, origin) => ({ subtitleId, language, origin: origin || 'client', fileName: `${subtitleId}.srt`,
                                                         cues: [cue(10000, 12000, 'a'), cue(60000, 61500, 'b')], alignment: fit });
const lineName = (line) => (line === 'target' ? 'English' : 'Spanish');

test('the words of the notice that says how a line was fitted to the reference', () => {
    const english = fitted(1, 'eng');
    const rows = [
        // alignment, first cue start (ms), reference track, notice (null: nothing to say)
        [{ to: 1, scale: 1, offsetMs: 40 }, 5000, english, null],
        // With a scale the first line moves by offset + start × (scale − 1): here 1.0 s later.
        [{ to: 1, scale: PAL, offsetMs: -1562 }, 60000, english, 'Spanish line moved 1.0 s later and slowed down 4.3% to match English'],
        [{ to: 1, scale: 1 / PAL, offsetMs: 0 }, 0, english, 'Spanish line sped up 4.1% to match English'],
        [{ to: 9, scale: 1, offsetMs: 700 }, 0, fitted(9, '', undefined, 'container'), 'Spanish line moved 0.7 s later to match the subtitles inside the video'],
        [{ to: 3, scale: 1, offsetMs: 700 }, 0, null, 'Spanish line moved 0.7 s later to match the other subtitles'],
        [{ to: 1, scale: 3, offsetMs: 0 }, 0, english, null], [{ to: 1, scale: 1, offsetMs: 'x' }, 0, english, null],
    ];
    for (const [fit, first, reference, expected] of rows) {
        assert.equal(alignment.describe('Spanish', fit, first, alignment.referenceName(reference, label)), expected, JSON.stringify(fit));
    }
});

test('lines show their tracks fitted, the offset on top, unless the fits are off; turned off and on; refitted with a new reference', () => {
    const list = [fitted(1, 'eng'), fitted(2, 'spa', { to: 1, scale: PAL, offsetMs: -2400 })];
    const fit = (ms) => Math.round(ms * PAL - 2400);
    // fits on, Spanish offset (ms), Spanish line starts (the English line has no fit)
    for (const [on, offset, spanish] of [[true, 500, [fit(10000) + 500, fit(60000) + 500]], [false, -300, [9700, 59700]]]) {
        const t = new LineTracks('spa');
        t.aligned = on;
        t.update(list, saved(null, null, [0, offset]));
        const starts = (line) => [0, 1].map((i) => t.track(line).videoStart(i));
        assert.deepEqual([starts('target'), starts('native')], [[10000, 60000], spanish], `fits ${on}, offset ${offset}`);
        assert.equal(list[1].cues[0].start, 10000, 'the file\'s cues stay as the service sent them');
    }
    const t = new LineTracks('spa');
    const spanish = (f) => fitted(2, 'spa', f);
    const both = ['target', 'native'];
    t.update([fitted(1, 'eng'), spanish({ to: 1, scale: 1, offsetMs: -2400 })], saved(null, null));
    assert.equal(t.notice(both, lineName, label), 'Spanish line moved 2.4 s earlier to match English.');
    assert.deepEqual([t.setAligned(false), t.track('native').videoStart(0), t.notice(both, lineName, label), t.setAligned(false)], [true, 10000, null, false]);
    t.setAligned(true);
    assert.equal(t.track('native').videoStart(0), 7600);
    const inside = fitted(3, 'eng', undefined, 'container');
    const steps = [
        // the service's next answer, lines drawn anew, Spanish line's first start, notice of those lines
        [[fitted(1, 'eng'), spanish({ to: 1, scale: 1, offsetMs: -2400 })], null, 7600, null],
        // A track from inside the video arrives and becomes the reference: both lines refitted.
        [[fitted(1, 'eng', { to: 3, scale: 1, offsetMs: 1000 }), spanish({ to: 3, scale: 1, offsetMs: -1400 }), inside], both, 8600,
         'English line moved 1.0 s later to match the English subtitles inside the video. ' +
         'Spanish line moved 1.4 s earlier to match the English subtitles inside the video.'],
        [[fitted(1, 'eng', { to: 3, scale: 1, offsetMs: 1000 }), spanish(null), inside], ['native'], 10000, null],
    ];
    for (const [answer, changed, start, notice] of steps) {
        const lines = t.update(answer, saved(null, null));
        assert.deepEqual([lines, t.track('native').videoStart(0)], [changed, start]);
        assert.equal(lines && t.notice(lines, lineName, label), lines && notice);
    }
});

// Tracks that arrive while the player page plays (read out of the video by the service): the
// page asks again every 2 s while the service says "pending", for at most 2 minutes, and adds
// what comes without changing what a line shows.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const web = require('./web.js');
const { LineTracks } = web('tracks.js');
const { SubtitleFiles, PENDING_POLL_MS, PENDING_MAX_MS } = web('subtitlefiles.js');
const { FakeClock } = require('./fakes.js');

const track = (subtitleId, language) => ({
    subtitleId, language, fileName: `${subtitleId}.srt`, cues: [{ start: 0, end: 5000, text: `line ${subtitleId}` }] });
const saved = (target, native) => ({ target: { track: target, offset: 0 }, native: { track: native, offset: 0 } });

// Answers each call to the tracks API at once with the next of `answers` (the last one repeats).
function rig(answers) {
    const clock = new FakeClock();
    const calls = [], given = [], toasts = [];
    const ajax = () => {
        const answer = answers[Math.min(calls.length, answers.length - 1)];
        calls.push(clock.now());
        return { done(f) { if (answer !== 'fail') f(answer); return this; },
                 fail(f) { if (answer === 'fail') f({}); return this; } };
    };
    const files = new SubtitleFiles({ videoId: '7', ajax, toast: (t) => toasts.push(t),
                                      setTimeout: (fn, ms) => clock.setTimeout(fn, ms), now: () => clock.now() });
    files.load((tracks) => { given.push(tracks.map((t) => t.subtitleId)); return tracks.length > 0; });
    clock.advance(10 * 60 * 1000);
    return { calls, given, toasts };
}

test('asked again every 2 s while pending, then no more', () => {
    const cases = [
        // answers in turn, when the page asked (ms), what it was given, what the learner is told
        [[{ tracks: [], pending: true }, { tracks: [track(1, 'eng')], pending: true },
          { tracks: [track(1, 'eng'), track(2, 'spa')], pending: false }],
         [0, 2000, 4000], [[], [1], [1, 2]], []],
        [[{ tracks: [track(1, 'eng')], pending: false }], [0], [[1]], []],
        [[{ tracks: [], pending: true }, 'fail', { tracks: [track(3, '')] }],
         [0, 2000, 3000], [[], [3]], [], 'a failed answer while pending is asked again as before'],
        [[{ tracks: [], pending: false }, { tracks: [], pending: false }, { tracks: [], pending: false },
          { tracks: [], pending: false }],
         [0, 1000, 3000, 7000], [[], [], [], []], ['No subtitles yet: add a file in the Subtitles menu.']],
    ];
    for (const [answers, times, given, toasts, why] of cases) {
        const r = rig(answers);
        assert.deepEqual(r.calls, times, why || JSON.stringify(answers));
        assert.deepEqual(r.given, given);
        assert.deepEqual(r.toasts, toasts);
    }
});

test('a service that stays pending is asked for 2 minutes, then as after any empty answer', () => {
    const r = rig([{ tracks: [], pending: true }]);
    const polls = PENDING_MAX_MS / PENDING_POLL_MS + 1;
    assert.deepEqual(r.calls.slice(0, polls), Array.from({ length: polls }, (_, i) => i * PENDING_POLL_MS));
    assert.deepEqual(r.calls.slice(polls), [121000, 123000, 127000]);
    assert.deepEqual(r.toasts, ['No subtitles yet: add a file in the Subtitles menu.']);
});

test('tracks that arrive later fill empty lines and change no line that shows a track', () => {
    const eng = track(1, 'eng'), unknown = track(2, ''), spa = track(3, 'spa'), spa2 = track(4, 'spa');
    const cases = [
        // first answer, later answer, stored [target, native], lines after the first, after the later, lines changed
        [[], [eng, spa], [null, null], [null, null], [1, 3], ['target', 'native'], 'the first tracks are chosen'],
        [[unknown], [unknown, eng, spa], [null, null], [2, -1], [2, 3], ['native'],
         'the shown line keeps its file; the empty one takes the new'],
        [[unknown], [unknown, eng, spa], [null, -1], [2, -1], [2, -1], [], 'the learner chose no line'],
        [[eng, spa], [eng, spa, spa2], [null, 4], [1, 3], [1, 4], ['native'], 'the learner\'s choice has come'],
        [[eng], [eng], [null, null], [1, -1], [1, -1], null, 'the same answer changes nothing'],
    ];
    for (const [first, later, stored, afterFirst, afterLater, changed, why] of cases) {
        const lines = new LineTracks('spa');
        lines.update(first, saved(stored[0], stored[1]));
        assert.deepEqual([lines.lines.target.trackId, lines.lines.native.trackId], afterFirst, why);
        const target = lines.track('target');
        assert.deepEqual(lines.update(later, saved(stored[0], stored[1])), changed, why);
        assert.deepEqual([lines.lines.target.trackId, lines.lines.native.trackId], afterLater, why);
        if (afterFirst[0] === afterLater[0] && target) assert.equal(lines.track('target'), target, 'the same cues, not drawn anew');
    }
});

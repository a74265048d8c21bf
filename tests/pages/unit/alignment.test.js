// The service's timing fits on the player page: each line shows its track fitted to the video's
// reference track, the learner's offset on top, a notice says what moved, and the learner can
// turn the fits off for a video (remembered with its offsets).
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const web = require('./web.js');
const { LineTracks } = web('tracks.js');
const alignment = web('alignment.js');
const { Prefs } = web('prefs.js');
const { label } = web('languages.js');

class MemoryStorage {
    constructor() { this.map = new Map(); }
    get length() { return this.map.size; }
    key(i) { return Array.from(this.map.keys())[i] ?? null; }
    getItem(k) { return this.map.has(k) ? this.map.get(k) : null; }
    setItem(k, v) { this.map.set(k, String(v)); }
}

const PAL = 25 / 23.976;
const cues = [{ start: 10000, end: 12000, text: 'a' }, { start: 60000, end: 61500, text: 'b' }];
const track = (subtitleId, language, fit, origin) => ({
    subtitleId, language, origin: origin || 'client', fileName: `${subtitleId}.srt`, cues, alignment: fit });
const saved = (target, native, nativeOffset) => ({
    target: { track: target, offset: 0 }, native: { track: native, offset: nativeOffset || 0 } });
const lineName = (line) => (line === 'target' ? 'English' : 'Spanish');

test('the words of the notice', () => {
    const english = track(1, 'eng'), inside = track(9, 'eng', undefined, 'container');
    const rows = [
        // alignment, first cue start (ms), reference track, notice (null: nothing to say)
        [{ to: 1, scale: 1, offsetMs: -2400 }, 10000, english, 'Spanish line moved 2.4 s earlier to match English'],
        [{ to: 1, scale: 1, offsetMs: 2449 }, 0, english, 'Spanish line moved 2.4 s later to match English'],
        [{ to: 1, scale: 1, offsetMs: 0 }, 5000, english, null],
        [{ to: 1, scale: 1, offsetMs: 40 }, 5000, english, null],
        // With a scale the first line moves by offset + start × (scale − 1): here 1.0 s later.
        [{ to: 1, scale: PAL, offsetMs: -1562 }, 60000, english,
            'Spanish line moved 1.0 s later and slowed down 4.3 % to match English'],
        [{ to: 1, scale: 1 / PAL, offsetMs: 0 }, 0, english, 'Spanish line sped up 4.1 % to match English'],
        [{ to: 9, scale: 1, offsetMs: -12300 }, 0, inside,
            'Spanish line moved 12.3 s earlier to match the English subtitles inside the video'],
        [{ to: 9, scale: 1, offsetMs: 700 }, 0, track(9, '', undefined, 'container'),
            'Spanish line moved 0.7 s later to match the subtitles inside the video'],
        [{ to: 3, scale: 1, offsetMs: 700 }, 0, null, 'Spanish line moved 0.7 s later to match the other subtitles'],
        [{ to: 1, scale: 3, offsetMs: 0 }, 0, english, null],
        [{ to: 1, scale: 1, offsetMs: 'x' }, 0, english, null],
        [null, 0, english, null],
    ];
    for (const [fit, first, reference, expected] of rows) {
        const text = alignment.describe('Spanish', fit, first, alignment.referenceName(reference, label));
        assert.equal(text, expected, JSON.stringify(fit));
    }
});

test('lines show their tracks fitted, the offset on top, unless the fits are off', () => {
    const spanishFit = { to: 1, scale: PAL, offsetMs: -2400 };
    const list = [track(1, 'eng'), track(2, 'spa', spanishFit)];
    const rows = [
        // fits on, Spanish offset (ms), English line starts, Spanish line starts
        [true, 0, [10000, 60000], [Math.round(10000 * PAL - 2400), Math.round(60000 * PAL - 2400)]],
        [true, 500, [10000, 60000], [Math.round(10000 * PAL - 2400) + 500, Math.round(60000 * PAL - 2400) + 500]],
        [false, 0, [10000, 60000], [10000, 60000]],
        [false, -300, [10000, 60000], [9700, 59700]],
    ];
    for (const [on, offset, english, spanish] of rows) {
        const t = new LineTracks('spa');
        t.aligned = on;
        t.update(list, saved(null, null, offset));
        const starts = (line) => [0, 1].map((i) => t.track(line).videoStart(i));
        assert.deepEqual(starts('target'), english, `fits ${on}, offset ${offset}`);
        assert.deepEqual(starts('native'), spanish, `fits ${on}, offset ${offset}`);
        // The file's cues stay as the service sent them.
        assert.equal(list[1].cues[0].start, 10000);
    }
});

test('turning the fits off and on, and a track fitted anew when the reference changes', () => {
    const t = new LineTracks('spa');
    const spanish = (fit) => track(2, 'spa', fit);
    t.update([track(1, 'eng'), spanish({ to: 1, scale: 1, offsetMs: -2400 })], saved(null, null));
    assert.equal(t.notice(['target', 'native'], lineName, label), 'Spanish line moved 2.4 s earlier to match English.');
    assert.equal(t.setAligned(false), true);
    assert.equal(t.track('native').videoStart(0), 10000);
    assert.equal(t.notice(['target', 'native'], lineName, label), null);
    assert.equal(t.setAligned(false), false);
    t.setAligned(true);
    assert.equal(t.track('native').videoStart(0), 7600);

    const steps = [
        // the service's next answer, lines drawn anew, Spanish line's first start, notice of those lines
        [[track(1, 'eng'), spanish({ to: 1, scale: 1, offsetMs: -2400 })], null, 7600, null],
        // A track from inside the video arrives and becomes the reference: both lines refitted.
        [[track(1, 'eng', { to: 3, scale: 1, offsetMs: 1000 }), spanish({ to: 3, scale: 1, offsetMs: -1400 }),
          track(3, 'eng', undefined, 'container')],
         ['target', 'native'], 8600,
         'English line moved 1.0 s later to match the English subtitles inside the video. ' +
         'Spanish line moved 1.4 s earlier to match the English subtitles inside the video.'],
        [[track(1, 'eng', { to: 3, scale: 1, offsetMs: 1000 }), spanish(null), track(3, 'eng', undefined, 'container')],
         ['native'], 10000, null],
    ];
    for (const [list, changed, start, notice] of steps) {
        const lines = t.update(list, saved(null, null));
        assert.deepEqual(lines, changed);
        assert.equal(t.track('native').videoStart(0), start);
        assert.equal(lines && t.notice(lines, lineName, label), lines && notice);
    }
});

test('the choice is remembered per video, beside its tracks and offsets', () => {
    const storage = new MemoryStorage();
    const prefs = new Prefs(storage);
    assert.equal(prefs.aligned('5'), true);
    prefs.setVideo('5', saved(1, 2, 300));
    prefs.setAligned('5', false);
    prefs.setVideo('5', saved(1, 2, 400));  // choosing tracks or offsets keeps it
    const again = new Prefs(storage);
    assert.equal(again.aligned('5'), false);
    assert.equal(again.aligned('6'), true);
    assert.deepEqual(again.video('5'), saved(1, 2, 400));
    again.setAligned('5', true);
    assert.equal(new Prefs(storage).aligned('5'), true);
    assert.deepEqual(new Prefs(storage).video('5'), saved(1, 2, 400));
    storage.setItem('lirra.video.7', '{"aligned": "no"}');
    assert.equal(prefs.aligned('7'), true);
});

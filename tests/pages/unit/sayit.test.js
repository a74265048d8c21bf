// SPDX-License-Identifier: GPL-3.0-or-later
// Hear it and say it: the speech request, the video paused for a sound and playing again only
// if it played, the learner's recordings kept per line with the microphone asked once; and
// lines found by their words whatever their accents and case.
'use strict';
const { test, assert, web, random, FakeClock } = require('./fakes.js');
const { SayIt, speechUrl, MAX_RECORDING_MS } = web('sayit.js');
const { CueTrack } = web('cues.js');
const linesearch = web('linesearch.js');

test('the speech request: spaces as one, 200 characters at most, a known voice', () => {
    const rows = [
        ['water', 'en-gb', '../api/speech?text=water&voice=en-gb'],
        ['  Où\n est  ', 'fr', '../api/speech?text=O%C3%B9%20est&voice=en-us'],
        ['é'.repeat(201), 'en-us', '../api/speech?text=' + '%C3%A9'.repeat(200) + '&voice=en-us'],
        ['😀'.repeat(201), 'en-us', '../api/speech?text=' + '%F0%9F%98%80'.repeat(200) + '&voice=en-us'],
        [' \t ', 'en-us', null], ['', 'en-us', null],
    ];
    for (const [text, voice, url] of rows) assert.equal(speechUrl(text, voice), url, JSON.stringify(text));
});

// A page around SayIt: sounds that end when told, a microphone, a recorder, the commands sent.
function page({ playing = false, refuse = false } = {}) {
    const clock = new FakeClock(), sent = [], toasts = [], sounds = [], asked = [], heard = [];
    const state = { playing }, recorders = [];
    class Recorder {
        constructor(stream) { this.stream = stream; recorders.push(this); }
        start() { this.started = true; }
        stop() { this.ondataavailable({ data: new Blob(['voice']) }); this.onstop(); }
    }
    let urls = 0;
    const say = new SayIt({
        transport: { command: (name) => { sent.push(name); if (name === 'Pause') state.playing = false; if (name === 'Play') state.playing = true; } },
        playState: { isPlaying: () => state.playing }, toast: (t) => toasts.push(t), voice: () => 'en-us',
        audio: (url) => { const s = { url, play() { this.playing = true; }, pause() { this.playing = false; } }; sounds.push(s); return s; },
        media: { getUserMedia: (c) => { asked.push(c); return refuse ? Promise.reject(new Error('NotAllowedError')) : Promise.resolve('stream'); } },
        Recorder, objectUrl: () => 'blob:' + ++urls, revokeUrl: (u) => heard.push('revoked ' + u),
        setTimeout: (f, ms) => clock.setTimeout(f, ms), clearTimeout: (id) => clock.clearTimeout(id),
        practice: { hearOnce: (then) => { heard.push('line'); then(); } },
    });
    return { say, clock, sent, toasts, sounds, asked, heard, recorders, state };
}

test('a sound pauses the video and plays it again after only if it played, also after a failure or a second sound', () => {
    const rows = [
        // playing before, what happens, commands
        [true, (p) => p.sounds[0].onended(), ['Pause', 'Play']],
        [false, (p) => p.sounds[0].onended(), []],
        [true, (p) => p.sounds[0].onerror(), ['Pause', 'Play']],
        [true, (p) => { p.say.say('again'); p.sounds[0].onended(); p.sounds[1].onended(); }, ['Pause', 'Play'], 'the first ending late is ignored'],
    ];
    for (const [playing, then, commands, why] of rows) {
        const p = page({ playing });
        p.say.say('water');
        then(p);
        assert.deepEqual(p.sent, commands, why || then.toString());
        assert.equal(p.sounds[0].url, '../api/speech?text=water&voice=en-us');
        assert.equal(p.sounds.length > 1, !p.sounds[0].playing && !!why, 'a second sound stops the first');
    }
});

test('recordings: the microphone asked once, the last one per line kept, stopped by itself, and played after the line', async () => {
    const p = page({ playing: true });
    const settle = () => new Promise((done) => setImmediate(done));
    p.say.compare('a');
    assert.deepEqual([p.heard, p.toasts.length], [[], 1], 'nothing recorded yet');
    p.say.record('a');
    await settle();
    assert.ok(p.say.isRecording() && p.recorders[0].started && p.sent[0] === 'Pause');
    p.say.record('a'); p.say.record('a');
    await settle();
    p.clock.advance(MAX_RECORDING_MS);
    assert.ok(!p.say.isRecording(), 'stopped after 15 s');
    p.say.record('b');
    await settle();
    p.say.record('b');
    assert.deepEqual([p.asked.length, p.say.recordings, p.heard], [1, { a: 'blob:2', b: 'blob:3' }, ['revoked blob:1']]);
    p.say.compare('a');
    assert.deepEqual([p.heard.slice(1), p.sounds.map((s) => s.url)], [['line'], ['blob:2']]);
    p.sounds[0].onended();
    assert.equal(p.sent.filter((c) => c === 'Play').length, 0, 'the video stays paused after the comparison');

    const refused = page({ refuse: true });
    for (let i = 0; i < 2; ++i) { refused.say.record('a'); await settle(); }
    assert.deepEqual([refused.asked.length, refused.say.isRecording(), refused.toasts.length], [2, false, 2], 'asked again after a refusal');
});

test('a line is found by its words in either track, whatever the accents and case, the match marked where it stands', () => {
    const target = new CueTrack([{ start: 4000, end: 5000, text: 'The <i>CAFÉ</i> opens' }, { start: 9000, end: 9500, text: 'No' }]);
    const native = new CueTrack([{ start: 1000, end: 2000, text: 'El  café\nabre' }], 300);
    const found = linesearch.find({ target, native }, ' Cafe ');
    assert.deepEqual(found.map((f) => [f.line, f.index, f.start, f.text.slice(f.match[0], f.match[1])]),
                     [['native', 0, 1300, 'café'], ['target', 0, 4000, 'CAFÉ']]);
    assert.deepEqual([linesearch.find({ target, native }, 'café abre').length, linesearch.find({ target }, ' ').length,
                      linesearch.find({ target: null }, 'no').length], [1, 0, 0]);
    // Any piece of a line, its letters' accents and case changed, finds that line and marks that piece.
    const rnd = random(7), letters = ['a', 'e', 'é', 'È', 'n', 'ñ', 'O', 'ö', ' ', 'ß', 'ﬁ'];
    for (let i = 0; i < 300; ++i) {
        const text = rnd.text(letters, 20) + 'x';
        const from = rnd.int(text.length), piece = text.slice(from, from + 1 + rnd.int(6));
        if (!piece.trim()) continue;
        const query = Array.from(piece).map((c) => (rnd.int(2) ? c.toUpperCase() : c.normalize('NFD')[0])).join('');
        const hits = linesearch.find({ target: new CueTrack([{ start: 0, end: 1, text }]) }, query);
        assert.equal(hits.length, 1, JSON.stringify([text, query]));
        const marked = hits[0].text.slice(hits[0].match[0], hits[0].match[1]);
        assert.equal(linesearch.fold(marked).text.trim(), linesearch.fold(query).text.trim(), JSON.stringify([text, query]));
    }
});

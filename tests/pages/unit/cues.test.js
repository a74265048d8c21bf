// SPDX-License-Identifier: GPL-3.0-or-later
// Cue lookup with offsets and line navigation; cue text to nodes; time texts.
'use strict';
const { test, assert, web, FakeNode, fakeDocument, random } = require('./fakes.js');
const { CueTrack, clampOffset } = web('cues.js');
const [cuetext, timefmt, words] = ['cuetext.js', 'timefmt.js', 'words.js'].map((n) => web(n));

test('the lines showing at a time (start inclusive, end exclusive, overlapping, with the offset); the next, previous and current', () => {
    const rng = random(47);
    for (let round = 0; round < 60; ++round) {
        // Cues ordered by start, some long, some overlapping, some of no length; times on the edges.
        const cues = [];
        for (let start = 0, n = rng.int(12); cues.length < n; start += rng.int(3) * 500) {
            cues.push({ start, end: start + rng.pick([0, 500, 1000, 1500, 20000]), text: String(cues.length) });
        }
        const offset = rng.pick([0, 300, -500, 1000]);
        const track = new CueTrack(cues.concat([null, { start: 5, end: 1 }, { start: 'x', end: 3 }]), offset);
        assert.equal(track.size(), cues.length);
        for (let t = -1000; t <= 30000; t += rng.pick([1, 250, 499, 500])) {
            const showing = cues.map((c, i) => i).filter((i) => cues[i].start + offset <= t && t < cues[i].end + offset);
            assert.deepEqual(track.activeAt(t), showing, `round ${round} at ${t}`);
            assert.equal(track.lineAt(t), showing.length ? showing[showing.length - 1] : -1);
        }
    }
    assert.deepEqual(new CueTrack([{ start: 0, end: 9 }]).activeAt(NaN), []);
    // The next, previous and current line; in a gap, the one just heard. Offsets stepped and bounded.
    const track = new CueTrack([{ start: 1000, end: 2500 }, { start: 3000, end: 4000 }, { start: 4000, end: 5200 }, { start: 9000, end: 9500 }]);
    // time, next, previous, current
    for (const [t, next, previous, current] of [[0, 0, -1, -1], [1000, 1, 0, 0], [3500, 2, 0, 1], [7000, 3, 2, 2], [9200, -1, 2, 3]]) {
        assert.deepEqual([track.nextLine(t), track.previousLine(t), track.currentLine(t)], [next, previous, current], `at ${t}`);
    }
    track.setOffset(-1000);
    assert.deepEqual([track.offset, track.lineAt(0), track.videoStart(0), track.videoEnd(0)], [-1000, 0, 0, 1500]);
    assert.deepEqual([149, 151, -250, 75000, -99999, 'x'].map(clampOffset), [100, 200, -200, 60000, -60000, 0]);
});

test('cue text becomes text nodes; only b, i and u become elements, whatever the nesting', () => {
    const text = (t) => ({ type: 'text', text: t }), el = (type, ...children) => ({ type, children });
    assert.deepEqual(cuetext.parse('&lt;script&gt;alert(1)&lt;/script&gt; &amp; <b>bold <i>both</i></b>'),
                     [text('<script>alert(1)</script> & '), el('b', text('bold '), el('i', text('both')))]);
    assert.deepEqual(cuetext.parse('</b>a<i>b<u>c</i>d\ne'), [text('a'), el('i', text('b'), el('u', text('c'))), text('d'), { type: 'br' }, text('e')]);
    assert.deepEqual([cuetext.parse(null), cuetext.render(fakeDocument, new FakeNode('p'), '<b>a</b><i>b</i><u>c</u>').markup], [[], '<p><b>a</b><i>b</i><u>c</u></p>']);
    assert.equal(cuetext.plainText('&quot;Hi&quot;, I&#39;m <u>here</u>\nnow &#x263A; &#1; &bogus; &apos;&nbsp;'),
                 '"Hi", I\'m here now \u263a &#1; &bogus; \'\u00a0');
});

test('whatever a cue holds, drawn as a line or as words it makes no element but b, i, u, br and the word spans', () => {
    const rng = random(7);
    const alphabet = ['<', '>', '/', 'b', 'i', 'u', 'img', 'script', ' src=x', '&', 'lt;', 'gt;', '#60;', 'amp;', '"', "'", '\n', 'a', ' ', '😀'];
    for (let i = 0; i < 400; ++i) {
        const text = rng.text(alphabet, 12);
        const line = cuetext.render(fakeDocument, new FakeNode('div'), text);
        const spans = words.render(fakeDocument, new FakeNode('div'), text);
        assert.deepEqual(line.elements().slice(1).filter((e) => !['b', 'i', 'u', 'br'].includes(e.tag)), [], text);
        assert.deepEqual(spans.elements().slice(1).filter((e) => !['b', 'i', 'u', 'br'].includes(e.tag) && e.markup !== `<span.word>${e.textContent}</span>`), [], text);
        assert.equal(line.textContent, cuetext.plainText(text), 'every character kept, as text');
        assert.equal(spans.textContent, line.textContent, text);
    }
});

test('time, offset, speed, volume and how-long-ago texts', () => {
    const rng = random(3);
    for (let i = 0; i < 300; ++i) {
        const ms = rng.int(40 * 3600000);
        const parts = timefmt.formatClock(ms).split(':');
        const seconds = parts.reduce((s, p) => s * 60 + Number(p), 0);
        assert.equal(seconds, Math.floor(ms / 1000), `${ms}: ${parts.join(':')}`);
        assert.ok(parts.slice(1).every((p) => /^[0-5]\d$/.test(p)) && parts.length === (ms >= 3600000 ? 3 : 2), parts.join(':'));
    }
    assert.deepEqual([999, 3599999, 36125000, -5, NaN].map(timefmt.formatClock), ['0:00', '59:59', '10:02:05', '0:00', '--:--']);
    assert.deepEqual([40, -1200, 12300].map(timefmt.formatOffset), ['0.0 s', '\u22121.2 s', '+12.3 s']);
    assert.deepEqual([0.75, 2].map(timefmt.formatSpeed), ['0.75\u00d7', '2\u00d7']);
    assert.deepEqual([101, 250, -3].map(timefmt.formatVolume), ['51%', '100%', '0%']);
    const now = new Date(2026, 2, 10, 9, 0).getTime();
    assert.deepEqual([[2026, 2, 10, 8, 59, 30], [2026, 2, 10, 8, 55], [2026, 2, 10, 1], [2026, 2, 9, 23], [2026, 2, 6, 12], [2025, 11, 24]]
        .map((d) => timefmt.formatAgo(new Date(...d).getTime(), now)), ['just now', '5 min. ago', '8 hr. ago', 'yesterday', '4 days ago', 'Dec 24, 2025']);
});

// Cue lookup with offsets and line navigation; cue text to nodes; time texts.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const web = require('./web.js');
const { CueTrack, clampOffset } = web('cues.js');
const cuetext = web('cuetext.js');
const timefmt = web('timefmt.js');

const cues = [
    { start: 1000, end: 2500, text: 'one' },
    { start: 3000, end: 4000, text: 'two' },
    { start: 4000, end: 5200, text: 'three' },   // starts where two ends
    { start: 9000, end: 9500, text: 'four' },
    { start: 5, end: 1 }, null, { start: 'x', end: 3 },   // no usable times: left out
];

test('the line at a time: start inclusive, end exclusive; overlaps, offsets, previous and next', () => {
    const track = new CueTrack(cues);
    assert.equal(track.size(), 4);
    assert.deepEqual([0, 999, 1000, 2499, 2500, 2999, 3000, 3999, 4000, 5199, 5200, 9499, 9500, 20000].map((t) => track.lineAt(t)),
                     [-1, -1, 0, 0, -1, -1, 1, 1, 2, 2, -1, 3, -1, -1]);
    assert.deepEqual(track.activeAt(NaN), []);
    // A long early cue is still found under the later ones.
    const song = new CueTrack([{ start: 0, end: 60000 }, { start: 1000, end: 2000 }, { start: 3000, end: 5000 }, { start: 4000, end: 4500 }]);
    assert.deepEqual([4200, 4600, 30000].map((t) => song.activeAt(t)), [[0, 2, 3], [0, 2], [0]]);
    assert.equal(song.lineAt(4200), 3);
    // time, next, previous, current: in a gap, the one just heard
    for (const [t, next, previous, current] of [[0, 0, -1, -1], [1000, 1, 0, 0], [3500, 2, 0, 1], [7000, 3, 2, 2], [9200, -1, 2, 3]]) {
        assert.deepEqual([track.nextLine(t), track.previousLine(t), track.currentLine(t)], [next, previous, current], `at ${t}`);
    }
    const later = new CueTrack(cues, 300);
    assert.deepEqual([1100, 1300, 2700].map((t) => later.lineAt(t)), [-1, 0, 0]);
    later.setOffset(-500);
    assert.deepEqual([600, 2100].map((t) => later.lineAt(t)), [0, -1]);
    assert.deepEqual([149, 151, -250, 75000, -99999, 'x'].map(clampOffset), [100, 200, -200, 60000, -60000, 0]);
});

test('cue text becomes text nodes; only b, i and u become elements, whatever the nesting', () => {
    assert.deepEqual(cuetext.parse('&lt;script&gt;alert(1)&lt;/script&gt; &amp; <b>bold <i>both</i></b>'), [
        { type: 'text', text: '<script>alert(1)</script> & ' },
        { type: 'b', children: [{ type: 'text', text: 'bold ' }, { type: 'i', children: [{ type: 'text', text: 'both' }] }] },
    ]);
    // Raw markup (should a service ever send it) stays characters.
    assert.deepEqual(cuetext.parse('<img src=x onerror=alert(1)>'), [{ type: 'text', text: '<img src=x onerror=alert(1)>' }]);
    assert.deepEqual(cuetext.parse('one\ntwo'), [{ type: 'text', text: 'one' }, { type: 'br' }, { type: 'text', text: 'two' }]);
    assert.deepEqual(cuetext.parse('</b>a<i>b<u>c</i>d'), [
        { type: 'text', text: 'a' },
        { type: 'i', children: [{ type: 'text', text: 'b' }, { type: 'u', children: [{ type: 'text', text: 'c' }] }] },
        { type: 'text', text: 'd' },
    ]);
    assert.deepEqual(cuetext.parse(null), []);
    assert.equal(cuetext.plainText('&quot;Hi&quot;, I&#39;m <u>here</u>\nnow &#x263A; &#1; &bogus;'),
                 '"Hi", I\'m here now \u263a &#1; &bogus;');
});

test('time, offset, speed, volume and how-long-ago texts', () => {
    assert.deepEqual([999, 3599999, 36125000, -5, NaN].map(timefmt.formatClock), ['0:00', '59:59', '10:02:05', '0:00', '--:--']);
    assert.deepEqual([40, -1200, 12300].map(timefmt.formatOffset), ['0.0 s', '\u22121.2 s', '+12.3 s']);
    assert.deepEqual([0.75, 2].map(timefmt.formatSpeed), ['0.75\u00d7', '2\u00d7']);
    assert.deepEqual([101, 250, -3].map(timefmt.formatVolume), ['51%', '100%', '0%']);
    const now = new Date(2026, 2, 10, 9, 0).getTime();
    assert.deepEqual([[2026, 2, 10, 8, 55], [2026, 2, 10, 1], [2026, 2, 9, 23], [2026, 2, 6, 12], [2025, 11, 24]]
        .map((d) => timefmt.formatAgo(new Date(...d).getTime(), now)), ['5 min ago', '8 h ago', 'yesterday', '4 days ago', '2025-12-24']);
});

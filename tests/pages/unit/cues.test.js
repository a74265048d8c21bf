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
];

test('the line showing at a time: start inclusive, end exclusive, nothing in gaps', () => {
    const track = new CueTrack(cues);
    const at = (t) => track.lineAt(t);
    assert.deepEqual([0, 999, 1000, 2499, 2500, 2999, 3000, 3999, 4000, 5199, 5200, 9499, 9500, 20000].map(at),
                     [-1, -1, 0, 0, -1, -1, 1, 1, 2, 2, -1, 3, -1, -1]);
    assert.deepEqual(track.activeAt(NaN), []);
});

test('overlapping cues show together, and a long early cue is still found', () => {
    const track = new CueTrack([
        { start: 0, end: 60000, text: 'song lyrics all along' },
        { start: 1000, end: 2000, text: 'a' },
        { start: 3000, end: 5000, text: 'b' },
        { start: 4000, end: 4500, text: 'c' },
    ]);
    assert.deepEqual(track.activeAt(4200), [0, 2, 3]);
    assert.deepEqual(track.activeAt(4600), [0, 2]);
    assert.deepEqual(track.activeAt(30000), [0]);
    assert.equal(track.lineAt(4200), 3);
});

test('cues without usable times are left out', () => {
    const track = new CueTrack([{ start: 5, end: 1 }, null, { start: 'x', end: 3 }, { start: 0, end: 10, text: 'ok' }]);
    assert.equal(track.size(), 1);
    assert.equal(track.lineAt(5), 0);
});

test('offsets: a positive one shows lines later, in 100 ms steps within a minute', () => {
    const later = new CueTrack(cues, 300);
    assert.deepEqual([1100, 1300, 2700].map((t) => later.lineAt(t)), [-1, 0, 0]);
    assert.equal(later.videoStart(0), 1300);
    later.setOffset(-500);
    assert.deepEqual([600, 2100].map((t) => later.lineAt(t)), [0, -1]);
    assert.deepEqual([149, 151, -250, 75000, -99999, 'x'].map(clampOffset), [100, 200, -200, 60000, -60000, 0]);
});

test('previous, next and current line: in a gap, the one just heard', () => {
    const track = new CueTrack(cues);
    const cases = [
        // time, next, previous, current
        [0, 0, -1, -1],
        [1000, 1, 0, 0],
        [3500, 2, 0, 1],
        [7000, 3, 2, 2],
        [9200, -1, 2, 3],
    ];
    for (const [t, next, previous, current] of cases) {
        assert.deepEqual([track.nextLine(t), track.previousLine(t), track.currentLine(t)], [next, previous, current], `at ${t}`);
    }
});

test('cue text becomes text nodes; only b, i and u become elements', () => {
    assert.deepEqual(cuetext.parse('&lt;script&gt;alert(1)&lt;/script&gt; &amp; <b>bold <i>both</i></b>'), [
        { type: 'text', text: '<script>alert(1)</script> & ' },
        { type: 'b', children: [{ type: 'text', text: 'bold ' }, { type: 'i', children: [{ type: 'text', text: 'both' }] }] },
    ]);
    // Raw markup (should a service ever send it) stays characters.
    assert.deepEqual(cuetext.parse('<img src=x onerror=alert(1)>'), [{ type: 'text', text: '<img src=x onerror=alert(1)>' }]);
    assert.deepEqual(cuetext.parse('one\ntwo'), [{ type: 'text', text: 'one' }, { type: 'br' }, { type: 'text', text: 'two' }]);
    assert.equal(cuetext.plainText('&quot;Hi&quot;, I&#39;m <u>here</u>\nnow &#x263A; &#1; &bogus;'),
                 '"Hi", I\'m here now \u263a &#1; &bogus;');
});

test('stray and unclosed tags do not break the nesting', () => {
    assert.deepEqual(cuetext.parse('</b>a<i>b<u>c</i>d'), [
        { type: 'text', text: 'a' },
        { type: 'i', children: [{ type: 'text', text: 'b' }, { type: 'u', children: [{ type: 'text', text: 'c' }] }] },
        { type: 'text', text: 'd' },
    ]);
    assert.deepEqual(cuetext.parse(null), []);
});

test('time, offset, speed and volume texts', () => {
    assert.deepEqual([999, 3599999, 36125000, -5, NaN].map(timefmt.formatClock),
                     ['0:00', '59:59', '10:02:05', '0:00', '--:--']);
    assert.deepEqual([40, -1200, 12300].map(timefmt.formatOffset), ['0.0 s', '\u22121.2 s', '+12.3 s']);
    assert.deepEqual([0.75, 2].map(timefmt.formatSpeed), ['0.75\u00d7', '2\u00d7']);
    assert.deepEqual([101, 250, -3].map(timefmt.formatVolume), ['51%', '100%', '0%']);
});

test('how long ago, in calendar days', () => {
    const now = new Date(2026, 2, 10, 9, 0).getTime();
    const at = (d, h, m) => new Date(2026, 2, d, h, m || 0).getTime();
    assert.equal(timefmt.formatAgo(now - 5 * 60000, now), '5 min ago');
    assert.equal(timefmt.formatAgo(at(10, 1), now), '8 h ago');
    assert.equal(timefmt.formatAgo(at(9, 23), now), 'yesterday');
    assert.equal(timefmt.formatAgo(at(6, 12), now), '4 days ago');
    assert.equal(timefmt.formatAgo(new Date(2025, 11, 24).getTime(), now), '2025-12-24');
});

// Auto-pause, line jumps, the inferred play state.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const web = require('./web.js');
const { CueTrack } = web('cues.js');
const { AutoPause } = web('autopause.js');
const { LineNavigator } = web('linenav.js');
const { PlayState } = web('playstate.js');
const { FakeClock } = require('./fakes.js');

const cues = [
    { start: 1000, end: 2500, text: 'one' },
    { start: 2200, end: 4000, text: 'two' },     // overlaps the end of one
    { start: 6400, end: 7900, text: 'three' },
    { start: 12000, end: 13000, text: 'four' },
];

function play(autoPause, track, from, to, step) {
    for (let t = from; t <= to; t += step || 100) autoPause.update(t, track);
}

test('auto-pause stops once at the end of each line heard, not in between', () => {
    const track = new CueTrack(cues);
    const paused = [];
    const ap = new AutoPause((line) => paused.push(line));
    ap.setEnabled(true);
    play(ap, track, 0, 3900);
    assert.deepEqual(paused, [], 'one ends at 2.5 s while two is being heard');
    play(ap, track, 4000, 8000);
    assert.deepEqual(paused, [1, 2]);
    play(ap, track, 8100, 8600);
    assert.deepEqual(paused, [1, 2], 'nothing in the gap');
});

test('auto-pause is off until switched on, and a seek over a line end does not pause', () => {
    const track = new CueTrack(cues);
    const paused = [];
    const ap = new AutoPause((line) => paused.push(line));
    play(ap, track, 0, 5000);
    assert.deepEqual(paused, []);
    ap.setEnabled(true);
    ap.update(7000, track);
    ap.update(9000, track);      // seek bar jump over the end of three
    ap.update(2000, track);      // and back
    assert.deepEqual(paused, []);
});

test('with an offset the pause follows the line as shown', () => {
    const track = new CueTrack(cues, 500);
    const paused = [];
    const ap = new AutoPause((line) => paused.push(line));
    ap.setEnabled(true);
    play(ap, track, 6000, 8300);
    assert.deepEqual(paused, []);
    ap.update(8400, track);
    assert.deepEqual(paused, [2]);
});

test('a jump lands on the whole second before the line without pausing at the line before', () => {
    const track = new CueTrack([
        { start: 1000, end: 5050, text: 'before' },
        { start: 5100, end: 6000, text: 'next' },
    ]);
    const paused = [];
    const ap = new AutoPause((line) => paused.push(line));
    ap.setEnabled(true);
    ap.update(800, track);
    ap.jumped(5100);
    play(ap, track, 5000, 5500);   // the seek lands at 5 s, where "before" still shows
    assert.deepEqual(paused, []);
    play(ap, track, 5600, 6100);
    assert.deepEqual(paused, [1]);
    // Repeating it pauses again at its end.
    ap.jumped(5100);
    play(ap, track, 5000, 6100);
    assert.deepEqual(paused, [1, 1]);
});

test('jumping line by line: twice back goes back two lines even before the clock follows', () => {
    const clock = new FakeClock();
    const track = new CueTrack(cues);
    const nav = new LineNavigator(() => clock.now());
    nav.position(7000);
    const first = nav.jump(track, 'previous');
    assert.deepEqual(first, { index: 1, target: 2200, seconds: 2 });
    nav.position(7100);            // a reading from before the seek took effect
    const second = nav.jump(track, 'previous');
    assert.equal(second.index, 0);
    assert.equal(second.seconds, 1);
    nav.position(1000);            // the seek has landed, short of the line
    assert.equal(nav.jump(track, 'next').index, 1, 'from the line jumped to, not from 1 s');
    nav.position(2200);
    nav.position(2300);
    assert.equal(nav.jump(track, 'repeat').index, 1);
});

test('line jumps at the edges and a jump the clock never confirms', () => {
    const clock = new FakeClock();
    const track = new CueTrack(cues);
    const nav = new LineNavigator(() => clock.now());
    assert.equal(nav.jump(track, 'repeat').index, 0, 'before any clock: the first line');
    nav.forget();
    nav.position(12500);
    assert.equal(nav.jump(track, 'next'), null);
    assert.equal(nav.jump(track, 'previous').index, 2);
    clock.advance(3500);
    nav.position(12600);
    assert.equal(nav.reference(), 12600, 'forgotten after a while');
    assert.equal(nav.jump(new CueTrack([]), 'next'), null);
    assert.equal(nav.jumpTo(track, 9), null);
    assert.equal(nav.jumpTo(new CueTrack(cues, -1500), 0).seconds, 0, 'never before the start');
});

test('the play state follows the clock, and a command until the clock can confirm it', () => {
    const clock = new FakeClock();
    const state = new PlayState(() => clock.now());
    assert.equal(state.isPlaying(), false);
    state.clock(1000);
    clock.advance(100);
    state.clock(1100);
    assert.equal(state.isPlaying(), true);
    clock.advance(1300);
    assert.equal(state.isPlaying(), false, 'a clock that stands still');
    state.commanded(true);
    assert.equal(state.isPlaying(), true);
    clock.advance(1600);
    assert.equal(state.isPlaying(), false, 'Play that never took effect');
    state.clock(1200);
    state.commanded(false);
    clock.advance(100);
    state.clock(1300);            // still moving just after Pause
    assert.equal(state.isPlaying(), false);
    clock.advance(1500);
    assert.equal(state.isPlaying(), false);
    state.clock(null);
    assert.equal(state.isPlaying(), false);
    // A seek while paused moves the clock by a jump, or backwards: still paused.
    clock.advance(2000);
    state.clock(40000);
    assert.equal(state.isPlaying(), false);
    state.clock(12000);
    assert.equal(state.isPlaying(), false);
    state.clock(12040);
    assert.equal(state.isPlaying(), true);
});

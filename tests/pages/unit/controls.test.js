// SPDX-License-Identifier: GPL-3.0-or-later
// The player page's controls and keys: the commands they send through the bridge, the steps
// of speed and volume, the shortcuts, the values asked of the player, auto-pause, line jumps and
// the play state inferred from the clock.
'use strict';
const { test, assert, web, FakeClock, clockedBridge } = require('./fakes.js');
const { CueTrack, LineNavigator, AutoPause, PlayState, Transport, nextSpeed, audioEntries, SPEEDS } =
    web('cues.js', 'linenav.js', 'autopause.js', 'playstate.js', 'transport.js', 'controls.js');
const keys = web('keys.js');
const { Practice } = web('practise.js');
const playervalues = web('playervalues.js');

const cue = (start, end) => ({ start, end, text: `at ${start}` });

// A transport on the real bridge, clock-driven; what it sends and tells is recorded. (The bridge
// sends only the last of a task's commands of one name with arguments: tick between them.)
function rig(track) {
    const { clock, bridge, sentNow } = clockedBridge();
    const toasts = [];
    const transport = new Transport({
        bridge, playState: new PlayState(() => clock.now()), lineNav: new LineNavigator(() => clock.now()),
        autoPause: new AutoPause(() => {}), toast: (t) => toasts.push(t), followed: () => track,
        view: { showPlaying() {}, showVolume() {}, showSpeed() {} },
    });
    return { clock, transport, toasts, sentNow: () => sentNow().map((u) => u.replace('app:///Execute/', '')) };
}

test('controls and keys send the player these commands and tell the learner this', () => {
    const track = new CueTrack([cue(1000, 2900), cue(3000, 4800), cue(8400, 9500)]);
    const cases = [
        // player state, action, commands, toasts
        [{ time: 42500 }, (t) => t.seekBy(5), ['SeekTo?position=47'], []],
        [{ time: 2900, duration: 30000 }, (t, tick) => { t.seekBy(-5); tick(); t.seekTo(12.9); tick(); t.seekTo(95); },
         ['SeekTo?position=0', 'SeekTo?position=12', 'SeekTo?position=30'], []],
        [{ muted: true }, (t, tick) => { t.setVolume(250); tick(); t.toggleMute(); }, ['SetVolume?volume=200', 'SetMuted?muted=true'], ['Muted'],
         'the player unmutes on a volume change'],
        [{ volume: 195 }, (t) => t.stepVolume(10), ['SetVolume?volume=200'], ['Volume 100%']],
        [{}, (t, tick) => { t.toggleMute(); tick(); t.toggleMute(); }, ['SetMuted?muted=true', 'SetMuted?muted=false'], ['Muted', 'Sound on']],
        [{ speed: 2 }, (t, tick) => { t.stepSpeed(1); tick(); t.stepSpeed(-1); }, ['SetPlaybackSpeed?speed=1.75'], ['Speed 1.75×']],
        [{ audio: { audioTrack: 1 } }, (t) => t.setAudioTrack(2), ['SetAudioTrack?track=2'], []],
        [{}, (t) => t.jumpLine('next'), ['SeekTo?position=1', 'Play'], []],
        [{ time: 8500 }, (t) => t.jumpLine('next'), [], ['That was the last line.']],
        [{ time: 500 }, (t) => t.jumpLine('previous'), [], ['No line before this one.']],
        [{ time: 3500 }, (t, tick) => { t.jumpLine('previous'); tick(); t.jumpLine('next'); }, ['SeekTo?position=1', 'Play', 'SeekTo?position=3', 'Play'], []],
        [{ time: 500 }, (t, tick) => { t.jumpLine('next'); tick(); t.seekTo(8); t.clock(8000); tick(); t.jumpLine('next'); },
         ['SeekTo?position=1', 'Play', 'SeekTo?position=8', 'SeekTo?position=8', 'Play'], [], 'a seek ends the jump: the next line is after 8 s'],
        [{}, (t, tick) => { t.togglePlay(); tick(); t.togglePlay(); }, ['Play', 'Pause'], []],
        [{ time: 3500, known: ['SeekTo', 'SeekToMs'] }, (t) => t.jumpLine('previous'), ['SeekToMs?ms=1000', 'Play'], [], 'an app that seeks exactly'],
        [{ time: 9000, known: ['SeekTo', 'SeekToMs'] }, (t) => t.seekTo(3.7), ['SeekTo?position=3'], [], 'the seek bar keeps whole seconds'],
        [{ time: 3500, known: ['SeekTo'] }, (t) => t.jumpLine('repeat'), ['SeekTo?position=3', 'Play'], [], 'an older app'],
    ];
    for (const [{ known, ...state }, act, commands, toasts, why] of cases) {
        const r = rig(track);
        if (known) r.transport.knownCommands(known);
        Object.assign(r.transport.player, state);
        if (state.time !== undefined) r.transport.clock(state.time);
        act(r.transport, () => r.clock.advance(0));
        assert.deepEqual([r.sentNow(), r.toasts], [commands, toasts], why || act.toString());
        if (state.audio) assert.equal(r.transport.player.audio.audioTrack, 2);
    }
    const none = rig(null);
    none.transport.jumpLine('repeat');
    assert.deepEqual([none.sentNow(), none.toasts], [[], ['No subtitles to move through.']]);
    // A clock reading that is no number is no time (auto-pause on the clock: the browser's player page test).
    for (const reading of [null, undefined, NaN, '3000', Infinity]) assert.equal(none.transport.clock(reading), null);
});

test('speed steps from a listed speed or from between two; audio tracks in the engine\'s order', () => {
    SPEEDS.forEach((s, i) => {
        assert.deepEqual([nextSpeed(s, 1), nextSpeed(s, -1)], [SPEEDS[i + 1] ?? null, SPEEDS[i - 1] ?? null], String(s));
        if (i > 0) assert.deepEqual([nextSpeed((s + SPEEDS[i - 1]) / 2, 1), nextSpeed((s + SPEEDS[i - 1]) / 2, -1)], [s, SPEEDS[i - 1]]);
    });
    assert.deepEqual([SPEEDS[0], SPEEDS[SPEEDS.length - 1], nextSpeed(0.25, 1), nextSpeed(1.0000001, 1)], [0.5, 2, 0.5, 1.1]);
    assert.deepEqual(audioEntries({ audioTracks: { 'Français': 2, 'English': '1', 'Commentary': 'x', 'Deutsch': 10 } }),
                     [{ name: 'English', index: 1 }, { name: 'Français', index: 2 }, { name: 'Deutsch', index: 10 }]);
});

test('each key asks for the action its help gives; Shift picks the second, the card takes the arrows, modifiers and fields keep theirs', () => {
    const plain = { ' ': 'togglePlay', ArrowLeft: 'previousLine', ArrowRight: 'nextLine', ArrowUp: 'louder', ArrowDown: 'quieter',
                    r: 'repeatLine', p: 'toggleAutoPause', t: 'toggleNative', '[': 'slower', ']': 'faster', m: 'toggleMute',
                    l: 'toggleList', '?': 'toggleHelp', h: 'toggleHelp', w: 'lookUpWords', s: 'saveToNotebook', k: 'markWordKnown',
                    n: 'nextOneNewLine', Escape: 'closeAll', o: 'loopLine', b: 'loopStretch', z: 'slowReplay', y: 'sayLine',
                    v: 'recordLine', c: 'compareLine', g: 'peek', '/': 'findLine', 1: 'repeat1', 5: 'repeat5', 9: 'repeat9', 0: 'repeat10' };
    for (const [key, action] of Object.entries(plain)) {
        for (const k of new Set([key, key.length === 1 ? key.toUpperCase() : key])) {
            const shifted = { ArrowLeft: 'back', ArrowRight: 'forward', K: 'markLineKnown', z: 'slowerReplay', Z: 'slowerReplay' }[k] || action;
            assert.deepEqual([keys.actionFor({ key: k }, false, false), keys.actionFor({ key: k, shiftKey: true }, false, false)], [action, shifted], k);
        }
    }
    const cases = [
        // key, shift, modifier, in a form field, a word's card open, action
        ['Escape', false, null, true, false, 'closeAll'], ['ArrowLeft', false, null, false, true, 'previousWord'],
        ['ArrowRight', true, null, false, true, 'forward'], ['Escape', false, null, false, true, 'closeWord'],
        [' ', false, null, true, false, null], ['ArrowLeft', false, 'ctrlKey', false, false, null],
        ['s', false, 'altKey', false, false, null], ['toString', false, null, false, true, null],
    ];
    for (const [key, shiftKey, modifier, inField, open, action] of cases) {
        assert.equal(keys.actionFor({ key, shiftKey, [modifier]: !!modifier }, inField, open), action, JSON.stringify([key, shiftKey, modifier, inField, open]));
    }
});

test('the player\'s values: implausible replies ignored, a dropped request asked twice more', () => {
    const asked = [], applied = [], apply = {};
    playervalues.NAMES.forEach((name) => { apply[name] = (v) => applied.push([name, v]); });
    playervalues.askAll({ request: (name, onReply, onTimeout) => asked.push({ name, onReply, onTimeout }) }, apply);
    const replies = { Duration: [95000, 0, -1, '95000'], Volume: [250.4, -3, 99.6, Infinity], PlaybackSpeed: [0.75, 0],
                      AudioInfo: [{ audioTracks: {} }, 'x'], IsFullscreen: [true, 'true'], FileName: ['Walk.mkv', 5],
                      Commands: [['SeekTo', 7, 'SeekToMs'], 'SeekToMs'] };
    assert.deepEqual(asked.map((a) => a.name), Object.keys(replies));
    for (const a of asked) replies[a.name].forEach((v) => a.onReply(v));
    assert.deepEqual(applied, [['Duration', 95000], ['Duration', 0], ['Volume', 200], ['Volume', 0], ['Volume', 100],
                               ['PlaybackSpeed', 0.75], ['AudioInfo', { audioTracks: {} }], ['IsFullscreen', true], ['FileName', 'Walk.mkv'],
                               ['Commands', ['SeekTo', 'SeekToMs']]]);
    const first = asked.length;
    for (let i = 0; i < 3; ++i) asked[i ? asked.length - 1 : 1].onTimeout();
    assert.deepEqual(asked.slice(first).map((a) => a.name), ['Volume', 'Volume']);
    applied.length = 0;
    asked[asked.length - 1].onReply(20);
    assert.deepEqual(applied, [['Volume', 20]], 'a late try still applies');
});

// Auto-pause, line jumps and the inferred play state on their own; two overlaps the end of one.
const heard = [cue(1000, 2500), cue(2200, 4000), cue(6400, 7900), cue(12000, 13000)];

test('auto-pause stops once at the end of each line heard, as shown, never over a seek, and after a jump', () => {
    const jumpy = new CueTrack([cue(1000, 5050), cue(5100, 6000)]);
    const cases = [
        // track, clock readings ([from, to] in 100 ms steps, a single reading, a jump to a line start, or a seek), lines paused at
        [new CueTrack(heard), [[0, 3900]], [], 'one ends at 2.5 s while two is being heard'],
        [new CueTrack(heard), [[0, 8600]], [1, 2], 'nothing in the gap'], [new CueTrack(heard, 500), [[6000, 8300]], []],
        [new CueTrack(heard, 500), [[6000, 8400]], [2], 'the pause follows the line as shown'],
        [new CueTrack(heard), [[6000, 7000], 9000, 2000], [], 'a seek bar jump over the end of three, and back'],
        [jumpy, [800, { jump: 5100 }, [5000, 5500]], [], 'the seek lands at 5 s, where the line before still shows'],
        [jumpy, [800, { jump: 5100 }, [5000, 6100], { jump: 5100 }, [5000, 6100]], [1, 1], 'repeated, it pauses again'],
        [jumpy, [800, { jump: 5100 }, 'seek', [4000, 5500]], [0], 'a seek after the jump: the line before pauses'],
    ];
    for (const [track, readings, expected, why] of cases) {
        const paused = [];
        const ap = new AutoPause((line) => paused.push(line));
        ap.setEnabled(true);
        for (const r of readings) {
            if (Array.isArray(r)) for (let t = r[0]; t <= r[1]; t += 100) ap.update(t, track);
            else if (r === 'seek') ap.seeked();
            else if (r.jump) ap.jumped(r.jump);
            else ap.update(r, track);
        }
        assert.deepEqual(paused, expected, why);
    }
    const off = new AutoPause(() => assert.fail('paused while off'));
    for (let t = 0; t <= 5000; t += 100) off.update(t, new CueTrack(heard));
});

test('jumping line by line: twice back goes back two lines before the clock follows; edges', () => {
    const clock = new FakeClock();
    const track = new CueTrack(heard);
    const nav = new LineNavigator(() => clock.now());
    assert.equal(nav.jump(track, 'repeat').index, 0, 'before any clock: the first line');
    nav.forget();
    nav.position(7000);
    assert.deepEqual(nav.jump(track, 'previous'), { index: 1, target: 2200, seconds: 2 });
    nav.position(7100);            // a reading from before the seek took effect
    assert.deepEqual(nav.jump(track, 'previous'), { index: 0, target: 1000, seconds: 1 });
    nav.position(1000);            // the seek has landed, short of the line
    assert.equal(nav.jump(track, 'next').index, 1, 'from the line jumped to, not from 1 s');
    [2200, 2300].forEach((t) => nav.position(t));
    assert.equal(nav.jump(track, 'repeat').index, 1);
    nav.position(12500);
    clock.advance(3500);
    nav.position(12600);
    assert.equal(nav.reference(), 12600, 'a jump the clock never confirms is forgotten after a while');
    assert.deepEqual([nav.jumpTo(track, 9), nav.jump(new CueTrack([]), 'next')], [null, null]);
    assert.equal(nav.jumpTo(new CueTrack(heard, -1500), 0).seconds, 0, 'never before the start');
});

test('the play state follows the clock, and a command until the clock can confirm it', () => {
    const clock = new FakeClock();
    const state = new PlayState(() => clock.now());
    const _ = undefined;
    const steps = [
        // ms passed, clock reading (_: none), command, playing
        [0, _, _, false], [0, 1000, _, false], [100, 1100, _, true], [1300, _, _, false, 'a clock that stands still'],
        [0, _, true, true], [1600, _, _, false, 'Play that never took effect'],
        [0, 1200, false, false], [100, 1300, _, false, 'still moving just after Pause'],
        [3500, 40000, _, false, 'a seek while paused moves the clock by a jump'],
        [0, 12000, _, false, 'or backwards'], [0, 12040, _, true],
    ];
    for (const [passed, reading, command, playing, why] of steps) {
        clock.advance(passed);
        if (reading !== undefined) state.clock(reading);
        if (command !== undefined) state.commanded(command);
        assert.equal(state.isPlaying(), playing, why || JSON.stringify([passed, reading, command]));
    }
});

// The engine as the page sees it: the commands the page sent are applied, then the clock runs
// on by 100 ms of video per reading (at the speed set) while playing.
function playOut(r, practice, steps) {
    const engine = { t: r.transport.player.time, playing: true, rate: 1, seeks: [], rates: [] };
    for (let i = 0; i < steps; ++i) {
        for (const c of r.sentNow()) {
            const [name, arg] = c.split(/[?=]/).filter((_, k) => k !== 1);
            if (name === 'SeekToMs') engine.t = Number(arg);
            else if (name === 'SeekTo') engine.t = Number(arg) * 1000;
            else if (name === 'SetPlaybackSpeed') engine.rates.push(engine.rate = Number(arg));
            else if (name === 'Play' || name === 'Pause') engine.playing = name === 'Play';
            if (name.startsWith('SeekTo')) engine.seeks.push(engine.t);
        }
        if (engine.playing) engine.t += 100 * engine.rate;
        practice.clock(r.transport.clock(engine.t));
        r.clock.advance(100);
    }
    return engine;
}

test('practising a line: N times then on, a loop until stopped, a stretch, slower with the speed back, once then something else', () => {
    const track = new CueTrack([cue(1000, 2500), cue(3300, 4200), cue(5000, 6000), cue(7000, 8000)]);
    const cases = [
        // exact seeks, start, what is done, readings, [seeks, rates, still practising, time at the end] or a check
        [true, 3500, (p) => p.repeat(3), 60, [[3300, 3300, 3300], [], false], 'three times, then on past the line'],
        [false, 3500, (p) => p.repeat(2), 60, [[3000, 3000], [], false], 'whole seconds: the line is found a second early'],
        [true, 3500, (p) => p.repeat(0), 20, [[3300], [], false], 'at least once'],
        [true, 3500, (p) => p.repeat(99), 140, [Array(10).fill(3300), [], false], 'at most ten'],
        [true, 3500, (p) => p.loop(), 120, [Array(14).fill(3300), [], true], 'a 900 ms line: once every nine readings'],
        [true, 3500, (p, r) => { p.loop(); playOut(r, p, 30); p.loop(); }, 40, [[], [], false], 'O again stops'],
        [true, 1200, (p, r) => { p.markAB(); r.transport.clock(5500); p.markAB(); }, 110, [[1000, 1000, 1000], [], true], 'from the first line to the third, 5 s each time'],
        [true, 5500, (p, r) => { p.markAB(); r.transport.clock(1200); p.markAB(); }, 60, [[1000, 1000], [], true], 'marked backwards'],
        [true, 3500, (p, r) => { r.transport.player.speed = 1.25; p.slow(0.5); }, 40, [[3300], [0.5, 1.25], false], 'slower, then the speed it had'],
        [true, 3500, (p) => p.slow(0.6), 10, [[], [], false], 'only the slow replays offered'],
        [true, 3500, (p, r) => { p.loop(); playOut(r, p, 3); r.transport.seekTo(9); }, 10, [[9000], [], false], 'a seek elsewhere ends it'],
        [true, 3500, (p, r, log) => p.hearOnce(() => log.push(r.transport.player.time)), 20,
            (e, log) => assert.deepEqual([e.playing, log.length, log[0] >= 4200], [false, 1, true]), 'once, paused at its end'],
        [true, 500, (p) => p.loop(), 10, [[1000], [], true], 'before the first line: the first'],
    ];
    for (const [exact, start, act, steps, expected, why] of cases) {
        const r = rig(track);
        const log = [];
        if (exact) r.transport.knownCommands(['SeekToMs']);
        r.transport.clock(start);
        const practice = new Practice({ transport: r.transport, followed: () => track, toast: () => {} });
        act(practice, r, log);
        const e = playOut(r, practice, steps);
        if (typeof expected === 'function') expected(e, log);
        else assert.deepEqual([e.seeks, e.rates, practice.active()], expected, why);
    }
    // Nothing to practise is told; in Russian the count takes its plural form, its number kept, and the rate is written as there.
    const none = rig(null), toasts = [], told = (r, followed) => new Practice({ transport: r.transport, followed, toast: (t) => toasts.push(t) });
    told(none, () => null).loop();
    L10n.use({ lang: 'ru', plural: Array.from({ length: 200 }, (_, n) => ['one', 'few', 'many'].indexOf(new Intl.PluralRules('ru').select(n))),
               messages: { 'Playing this line {n} time': ['{n} раз', '{n} раза', '{n} раз'], 'This line at {rate}×': '{rate}×' } });
    try { const p = told(rig(track), () => track); [2, 5, 1].forEach((n) => p.repeat(n)); p.slow(0.75); } finally { L10n.use(null); }
    assert.deepEqual([none.sentNow(), toasts], [[], ['No line to practise here.', '2 раза', '5 раз', '1 раз', '0,75×']]);
});

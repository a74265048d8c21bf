// The player page's controls and keys: the commands they send through the bridge, the steps
// of speed and volume, the shortcut table and the values asked of the player.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const web = require('./web.js');
const { Bridge } = web('bridge.js');
const { CueTrack } = web('cues.js');
const { LineNavigator } = web('linenav.js');
const { AutoPause } = web('autopause.js');
const { PlayState } = web('playstate.js');
const { Transport } = web('transport.js');
const { nextSpeed, audioEntries } = web('controls.js');
const keys = web('keys.js');
const playervalues = web('playervalues.js');
const { FakeClock, EventHub } = require('./fakes.js');

const cues = [
    { start: 1000, end: 2900, text: 'one' },
    { start: 3000, end: 4800, text: 'two' },
    { start: 8400, end: 9500, text: 'three' },
];

// A transport on the real bridge, clock-driven; what it sends and shows is recorded. (The bridge
// sends only the last of a task's commands of one name with arguments: tick between them.)
function rig(track) {
    const clock = new FakeClock();
    const events = new EventHub();
    const sent = [];
    const toasts = [];
    const shown = [];
    const bridge = new Bridge({ navigate: (url) => sent.push(url), on: (n, f) => events.on(n, f), off: (n, f) => events.off(n, f),
                                setTimeout: (f, ms) => clock.setTimeout(f, ms), clearTimeout: (id) => clock.clearTimeout(id) });
    const paused = [];
    const transport = new Transport({
        bridge, playState: new PlayState(() => clock.now()), lineNav: new LineNavigator(() => clock.now()),
        autoPause: new AutoPause((line) => paused.push(line)), toast: (t) => toasts.push(t),
        followed: () => track,
        view: {
            showPlaying: (playing) => shown.push(playing ? 'playing' : 'paused'),
            showVolume: (v, muted) => shown.push(`volume ${v}${muted ? ' muted' : ''}`),
            showSpeed: (rate) => shown.push(`speed ${rate}`),
        },
    });
    const sentNow = () => { clock.advance(0); return sent.splice(0).map((u) => u.replace('app:///Execute/', '')); };
    return { clock, transport, toasts, shown, paused, sentNow };
}

test('controls and keys send the player these commands and tell the learner this', () => {
    const track = new CueTrack(cues);
    const cases = [
        // player state, action, commands, toasts
        [{}, (t) => t.seekTo(42.9), ['SeekTo?position=42'], []],
        [{}, (t) => t.seekBy(5), [], [], 'no clock yet'],
        [{ time: 42500 }, (t) => t.seekBy(5), ['SeekTo?position=47'], []],
        [{ time: 2900 }, (t) => t.seekBy(-5), ['SeekTo?position=0'], []],
        [{ muted: true }, (t) => t.setVolume(250), ['SetVolume?volume=200'], []],
        [{ volume: 195 }, (t) => t.stepVolume(10), ['SetVolume?volume=200'], ['Volume 100%']],
        [{}, (t, tick) => { t.toggleMute(); tick(); t.toggleMute(); }, ['SetMuted?muted=true', 'SetMuted?muted=false'], ['Muted', 'Sound on']],
        [{ speed: 1 }, (t) => t.stepSpeed(1), ['SetPlaybackSpeed?speed=1.1'], ['Speed 1.1×']],
        [{ speed: 0.5 }, (t) => t.stepSpeed(-1), [], []],
        [{ audio: { audioTrack: 1 } }, (t) => t.setAudioTrack(2), ['SetAudioTrack?track=2'], []],
        [{}, (t) => t.jumpLine('next'), ['SeekTo?position=1', 'Play'], []],
        [{ time: 8500 }, (t) => t.jumpLine('next'), [], ['That was the last line.']],
        [{ time: 3500 }, (t, tick) => { t.jumpLine('previous'); tick(); t.jumpLine('next'); }, ['SeekTo?position=1', 'Play', 'SeekTo?position=3', 'Play'], []],
        [{}, (t, tick) => { t.togglePlay(); tick(); t.togglePlay(); }, ['Play', 'Pause'], []],
    ];
    for (const [state, act, commands, toasts] of cases) {
        const r = rig(track);
        Object.assign(r.transport.player, state);
        if (state.time !== undefined) r.transport.clock(state.time);
        act(r.transport, () => r.clock.advance(0));
        assert.deepEqual(r.sentNow(), commands, act.toString());
        assert.deepEqual(r.toasts, toasts, act.toString());
        if (state.audio) assert.equal(r.transport.player.audio.audioTrack, 2);
    }
    const none = rig(null);
    none.transport.jumpLine('repeat');
    assert.deepEqual([none.sentNow(), none.toasts], [[], ['No subtitles to move through.']]);
});

test('the controls show what was sent: volume unmuted, speed, and play state with each command', () => {
    const r = rig(new CueTrack(cues));
    r.transport.player.muted = true;
    r.transport.setVolume(120);
    r.transport.setSpeed(1.5);
    r.transport.togglePlay();
    r.transport.command('Pause');
    assert.deepEqual(r.shown, ['paused', 'volume 120', 'paused', 'speed 1.5', 'playing', 'paused']);
});

test('the clock feeds line jumps and auto-pause; a reading that is no number is no time', () => {
    const r = rig(new CueTrack(cues));
    r.transport.autoPause.setEnabled(true);
    for (let t = 2000; t <= 3000; t += 100) assert.equal(r.transport.clock(t), t);
    assert.deepEqual(r.paused, [0]);
    r.transport.jumpLine('next');
    assert.deepEqual(r.sentNow(), ['SeekTo?position=8', 'Play']);
    for (const reading of [null, undefined, NaN, '3000', Infinity]) {
        assert.equal(r.transport.clock(reading), null);
        assert.equal(r.transport.player.time, null);
    }
});

test('speed steps: one step each way from a listed speed or from between two', () => {
    const cases = [[1, -1, 0.85], [2, 1, null], [0.5, -1, null], [0.8, 1, 0.85], [0.8, -1, 0.75],
                   [0.25, 1, 0.5], [1.0000001, 1, 1.1]];
    for (const [rate, direction, expected] of cases) assert.equal(nextSpeed(rate, direction), expected, `${rate} ${direction}`);
});

test('audio tracks in the engine\'s order, without entries that are no track number', () => {
    assert.deepEqual(audioEntries({ audioTracks: { 'Français': 2, 'English': '1', 'Commentary': 'x', 'Deutsch': 10 } }),
                     [{ name: 'English', index: 1 }, { name: 'Français', index: 2 }, { name: 'Deutsch', index: 10 }]);
    assert.deepEqual(audioEntries({ audioTracks: {} }), []);
});

test('each shortcut asks for its action; modifiers and form fields keep their keys', () => {
    const cases = [
        // key, shift, modifier, in a form field, action
        [' ', false, null, false, 'togglePlay'],
        ['ArrowLeft', true, null, false, 'back'],
        ['R', true, null, false, 'repeatLine'],
        ['T', true, null, false, 'toggleNative'],
        ['m', false, null, false, 'toggleMute'],
        ['?', true, null, false, 'toggleHelp'],
        ['Escape', false, null, true, 'closeAll'],
        [' ', false, null, true, null],
        ['ArrowLeft', false, 'ctrlKey', false, null],
        ['m', false, 'metaKey', false, null],
        ['toString', false, null, false, null],
    ];
    for (const [key, shiftKey, modifier, inField, action] of cases) {
        const e = { key, shiftKey };
        if (modifier) e[modifier] = true;
        assert.equal(keys.actionFor(e, inField), action, JSON.stringify([key, shiftKey, modifier, inField]));
    }
    const ran = [];
    assert.equal(keys.handle({ key: 'm' }, false, { toggleMute: () => ran.push('mute') }), true);
    assert.equal(keys.handle({ key: 'l' }, false, { toggleMute: () => ran.push('mute') }), false, 'no such action');
    assert.deepEqual(ran, ['mute']);
});

test('the player\'s values: asked in order, asked again after a drop, implausible replies ignored', () => {
    const asked = [];
    const bridge = { request: (name, onReply, onTimeout) => asked.push({ name, onReply, onTimeout }) };
    const applied = [];
    const apply = {};
    playervalues.NAMES.forEach((name) => { apply[name] = (v) => applied.push([name, v]); });
    playervalues.askAll(bridge, apply);
    assert.deepEqual(asked.map((a) => a.name), ['Duration', 'Volume', 'PlaybackSpeed', 'AudioInfo', 'IsFullscreen', 'FileName']);
    const reply = (name, value) => asked.filter((a) => a.name === name).pop().onReply(value);
    const cases = [
        ['Duration', [95000, 0, -1, '95000'], [95000, 0]],
        ['Volume', [250.4, -3, 99.6, Infinity], [200, 0, 100]],
        ['PlaybackSpeed', [0.75, 0], [0.75]],
        ['AudioInfo', [{ audioTracks: { English: 1 } }, 'x'], [{ audioTracks: { English: 1 } }]],
        ['IsFullscreen', [true, 'true'], [true]],
        ['FileName', ['Walk.mkv', 5], ['Walk.mkv']],
    ];
    for (const [name, replies, taken] of cases) {
        applied.length = 0;
        replies.forEach((v) => reply(name, v));
        assert.deepEqual(applied, taken.map((v) => [name, v]), name);
    }
    // A dropped request is asked twice more, then given up.
    const first = asked.length;
    asked.find((a) => a.name === 'Volume').onTimeout();
    asked[asked.length - 1].onTimeout();
    asked[asked.length - 1].onTimeout();
    assert.deepEqual(asked.slice(first).map((a) => a.name), ['Volume', 'Volume']);
    applied.length = 0;
    reply('Volume', 20);
    assert.deepEqual(applied, [['Volume', 20]], 'a late try still applies');
});

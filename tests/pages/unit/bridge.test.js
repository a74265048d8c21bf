// The bridge's queue of app:/// navigations, guids and reply matching.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { Bridge } = require('./web.js')('bridge.js');
const { FakeClock, EventHub } = require('./fakes.js');

function rig(timeoutMs) {
    const clock = new FakeClock();
    const events = new EventHub();
    const sent = [];
    let seed = 0.5;
    const bridge = new Bridge({
        navigate: (url) => sent.push(url),
        on: (name, fn) => events.on(name, fn),
        off: (name, fn) => events.off(name, fn),
        setTimeout: (fn, ms) => clock.setTimeout(fn, ms),
        clearTimeout: (id) => clock.clearTimeout(id),
        random: () => { seed = (seed * 9301 + 0.49297) % 1; return seed; },
        timeoutMs,
    });
    return { clock, events, sent, bridge };
}

test('commands become app:///Execute URLs; all of one task leave together, in order', () => {
    const { clock, sent, bridge } = rig();
    assert.ok(bridge.command('SeekTo', { position: 95 }));
    assert.ok(bridge.command('SetMuted', { muted: false }));
    for (let i = 0; i < 12; ++i) bridge.command(i % 2 ? 'Play' : 'Pause');
    bridge.request('Duration', () => {});
    assert.deepEqual(sent, [], 'sent at the end of the task');
    clock.advance(0);
    assert.equal(sent.length, 15);
    assert.deepEqual(sent.slice(0, 4), ['app:///Execute/SeekTo?position=95', 'app:///Execute/SetMuted?muted=false',
                                        'app:///Execute/Pause', 'app:///Execute/Play']);
    assert.match(sent[14], /^app:\/\/\/Request\/Duration\?guid=/);
    bridge.command('Stop');
    clock.advance(0);
    assert.equal(sent[15], 'app:///Execute/Stop', 'a later task sends again');
});

test('a dragged slider sends only its last value, in the place of the last change', () => {
    const { clock, sent, bridge } = rig();
    bridge.command('SetVolume', { volume: 100 });
    bridge.command('Play');
    bridge.command('SetVolume', { volume: 120 });
    bridge.command('SetVolume', { volume: 140 });
    clock.advance(0);
    assert.deepEqual(sent, ['app:///Execute/Play', 'app:///Execute/SetVolume?volume=140']);
});

test('nothing that would need escaping is ever sent', () => {
    const { clock, sent, bridge } = rig();
    for (const track of ['1&x=2', 'a b', '%41', NaN, {}]) {
        assert.equal(bridge.command('SetAudioTrack', { track }), false, String(track));
    }
    assert.equal(bridge.command('Seek/To'), false);
    assert.equal(bridge.request('Dura tion', () => {}), null);
    clock.advance(0);
    assert.deepEqual(sent, []);
});

test('each request has its own plain guid and gets only its own reply', () => {
    const { clock, events, sent, bridge } = rig();
    const got = [];
    const g1 = bridge.request('Volume', (v) => got.push(['a', v]));
    const g2 = bridge.request('Volume', (v) => got.push(['b', v]));
    const g3 = bridge.request('IsFullscreen', (v) => got.push(['c', v]));
    assert.notEqual(g1, g2);
    for (const g of [g1, g2, g3]) assert.match(g, /^[a-z0-9-]+$/);
    events.trigger(`response:${g2}`, 150);
    events.trigger(`response:${g3}`, false);
    events.trigger(`response:${g2}`, 999);   // answered already: nobody listens
    events.trigger('response:someone-else', 1);
    assert.deepEqual(got, [['b', 150], ['c', false]]);
    assert.equal(bridge.pendingRequests(), 1);
    events.trigger(`response:${g1}`, 200);
    assert.deepEqual(got[2], ['a', 200]);
    assert.equal(events.count(), 0, 'no listener left behind');
});

test('an unanswered request is dropped quietly after the time-out', () => {
    const { clock, events, bridge } = rig(10000);
    const got = [];
    let timedOut = 0;
    const guid = bridge.request('Duration', (v) => got.push(v), () => { timedOut += 1; });
    bridge.request('AudioInfo', (v) => got.push(v));
    clock.advance(9999);
    assert.equal(timedOut, 0);
    clock.advance(1);
    assert.equal(timedOut, 1);
    assert.equal(bridge.pendingRequests(), 0);
    assert.equal(events.count(), 0);
    events.trigger(`response:${guid}`, 5000);
    assert.deepEqual(got, [], 'a late reply finds no one');
});

test('guids differ between page loads', () => {
    const a = new Bridge({ navigate() {}, on() {}, off() {}, random: () => 0.25 });
    const b = new Bridge({ navigate() {}, on() {}, off() {}, random: () => 0.75 });
    assert.notEqual(a.newGuid(), b.newGuid());
});

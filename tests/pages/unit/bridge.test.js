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
        navigate: (url) => sent.push(url), on: (name, fn) => events.on(name, fn), off: (name, fn) => events.off(name, fn), timeoutMs,
        setTimeout: (fn, ms) => clock.setTimeout(fn, ms), clearTimeout: (id) => clock.clearTimeout(id),
        random: () => { seed = (seed * 9301 + 0.49297) % 1; return seed; },
    });
    return { clock, events, sent, bridge };
}

test('commands leave together at the end of the task, in order, a dragged slider only with its last value', () => {
    const { clock, sent, bridge } = rig();
    assert.ok(bridge.command('SeekTo', { position: 95 }));
    assert.ok(bridge.command('SetMuted', { muted: false }));
    bridge.command('SetVolume', { volume: 100 });
    for (let i = 0; i < 12; ++i) bridge.command(i % 2 ? 'Play' : 'Pause');
    bridge.command('SetVolume', { volume: 140 });
    bridge.request('Duration', () => {});
    assert.deepEqual(sent, [], 'sent at the end of the task');
    clock.advance(0);
    assert.equal(sent.length, 16);
    assert.deepEqual(sent.slice(0, 4), ['app:///Execute/SeekTo?position=95', 'app:///Execute/SetMuted?muted=false',
                                        'app:///Execute/Pause', 'app:///Execute/Play']);
    assert.equal(sent[14], 'app:///Execute/SetVolume?volume=140');
    assert.match(sent[15], /^app:\/\/\/Request\/Duration\?guid=/);
    bridge.command('Stop');
    clock.advance(0);
    assert.equal(sent[16], 'app:///Execute/Stop', 'a later task sends again');
    // Nothing that would need escaping is ever sent.
    for (const track of ['1&x=2', 'a b', '%41', NaN, {}]) assert.equal(bridge.command('SetAudioTrack', { track }), false, String(track));
    assert.equal(bridge.command('Seek/To'), false);
    assert.equal(bridge.request('Dura tion', () => {}), null);
    clock.advance(0);
    assert.equal(sent.length, 17);
});

test('each request has its own plain guid, gets only its own reply, and is dropped after the time-out', () => {
    const { clock, events, bridge } = rig(10000);
    const got = [];
    let timedOut = 0;
    const g1 = bridge.request('Volume', (v) => got.push(['a', v]), () => { timedOut += 1; });
    const g2 = bridge.request('Volume', (v) => got.push(['b', v]));
    const g3 = bridge.request('IsFullscreen', (v) => got.push(['c', v]));
    assert.equal(new Set([g1, g2, g3]).size, 3);
    for (const g of [g1, g2, g3]) assert.match(g, /^[a-z0-9-]+$/);
    events.trigger(`response:${g2}`, 150);
    events.trigger(`response:${g3}`, false);
    events.trigger(`response:${g2}`, 999);   // answered already: nobody listens
    events.trigger('response:someone-else', 1);
    assert.deepEqual(got, [['b', 150], ['c', false]]);
    assert.equal(bridge.pendingRequests(), 1);
    clock.advance(9999);
    assert.equal(timedOut, 0);
    clock.advance(1);
    assert.deepEqual([timedOut, bridge.pendingRequests(), events.count()], [1, 0, 0], 'no listener left behind');
    events.trigger(`response:${g1}`, 5000);
    assert.equal(got.length, 2, 'a late reply finds no one');
});

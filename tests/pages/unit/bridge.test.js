// SPDX-License-Identifier: GPL-3.0-or-later
// The bridge's queue of app:/// navigations, what it refuses to send, guids and reply matching.
'use strict';
const { test, assert, clockedBridge, random } = require('./fakes.js');

test('commands leave together at the end of the task, in order, a dragged slider only with its last value', () => {
    const { bridge, sent, sentNow } = clockedBridge();
    assert.ok(bridge.command('SeekTo', { position: 95 }) && bridge.command('SetMuted', { muted: false }));
    bridge.command('SetVolume', { volume: 100 });
    for (let i = 0; i < 4; ++i) bridge.command(i % 2 ? 'Play' : 'Pause');
    bridge.command('SetVolume', { volume: 140 });
    bridge.request('Duration', () => {});
    assert.deepEqual(sent, [], 'nothing leaves before the end of the task');
    const e = (command) => 'app:///Execute/' + command;
    assert.deepEqual(sentNow().map((u) => u.replace(/guid=.*/, 'guid=')), [e('SeekTo?position=95'), e('SetMuted?muted=false'),
        e('Pause'), e('Play'), e('Pause'), e('Play'), e('SetVolume?volume=140'), 'app:///Request/Duration?guid=']);
    bridge.command('Stop');
    assert.deepEqual(sentNow(), [e('Stop')], 'a later task sends again');
});

test('only names and values that need no escaping are sent, as they are', () => {
    const { bridge, sentNow } = clockedBridge();
    const rng = random(15);
    const alphabet = ['a', 'Z', '7', '.', '_', '-', '&', '=', '?', '%', '41', ' ', '/', '#', '+', "'", 'é', '\n'];
    for (let i = 0; i < 500; ++i) {
        const value = rng.text(alphabet, 4);
        const plain = /^[A-Za-z0-9._-]*$/.test(value);
        assert.equal(bridge.command('SetAudioTrack', { track: value }), plain, JSON.stringify(value));
        assert.deepEqual(sentNow(), plain ? ['app:///Execute/SetAudioTrack?track=' + value] : [], JSON.stringify(value));
    }
    for (const track of [NaN, Infinity, {}, null]) assert.equal(bridge.command('SetAudioTrack', { track }), false, String(track));
    assert.deepEqual([bridge.command('Seek/To'), bridge.command('Seek', { 'po sition': 1 }), bridge.request('Dura tion', () => {})],
                     [false, false, null]);
    assert.deepEqual(sentNow(), []);
});

test('each request has its own plain guid, another page\'s too, gets only its own reply, and is dropped after the time-out', () => {
    const { clock, events, bridge, sentNow } = clockedBridge({ random: () => 0.25 });
    const got = [];
    let timedOut = 0;
    const g1 = bridge.request('Volume', (v) => got.push(['a', v]), () => { timedOut += 1; });
    const g2 = bridge.request('Volume', (v) => got.push(['b', v]));
    const g3 = bridge.request('IsFullscreen', (v) => got.push(['c', v]));
    // The next page (a new video) numbers its requests afresh: its guids must still differ.
    const next = clockedBridge({ random: () => 0.75 }).bridge.request('Volume', () => {});
    assert.equal(new Set([g1, g2, g3, next]).size, 4);
    for (const g of [g1, g2, g3, next]) assert.match(g, /^[a-z0-9-]+$/);
    assert.deepEqual(sentNow(), [`app:///Request/Volume?guid=${g1}`, `app:///Request/Volume?guid=${g2}`, `app:///Request/IsFullscreen?guid=${g3}`]);
    events.emit(`response:${g2}`, 150);
    events.emit(`response:${g3}`, false);
    events.emit(`response:${g2}`, 999);   // answered already: nobody listens
    events.emit(`response:${next}`, 1);
    assert.deepEqual(got, [['b', 150], ['c', false]]);
    assert.equal(bridge.pendingRequests(), 1);
    clock.advance(9999);
    assert.equal(timedOut, 0);
    clock.advance(1);
    assert.deepEqual([timedOut, bridge.pendingRequests(), events.eventNames()], [1, 0, []], 'no listener left behind');
    events.emit(`response:${g1}`, 5000);
    assert.equal(got.length, 2, 'a late reply finds no one');
});

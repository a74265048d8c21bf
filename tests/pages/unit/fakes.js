// SPDX-License-Identifier: GPL-3.0-or-later
// What every page test needs: the pages' modules (server/web, loaded as Node loads any CommonJS
// file) and their surroundings in plain objects: a hand-driven clock with timers, an event hub
// standing in for jQuery on window, the real bridge on them, a document of plain nodes,
// localStorage in memory, jQuery's ajax, and a seeded generator for the property tests.
'use strict';
const path = require('node:path');
const { EventEmitter } = require('node:events');

// The exports of the named modules of the pages, together.
const web = (...names) => Object.assign({}, ...names.map((n) => require(path.resolve(__dirname, '../../../server/web', n))));
const { Bridge } = web('bridge.js');
// The pages' modules find the runtime of their words as the browser gives it, a global, in English.
global.L10n = web('l10n.js');

class FakeClock {
    constructor() { this.time = 0; this.timers = []; this.nextId = 1; }
    now() { return this.time; }
    setTimeout(fn, ms) { this.timers.push({ id: this.nextId, at: this.time + (ms || 0), fn }); return this.nextId++; }
    clearTimeout(id) { this.timers = this.timers.filter((t) => t.id !== id); }
    // Runs every timer due within ms, in time order.
    advance(ms) {
        const end = this.time + ms;
        for (let due; (due = this.timers.filter((t) => t.at <= end).sort((a, b) => a.at - b.at || a.id - b.id)[0]);) {
            this.clearTimeout(due.id);
            this.time = due.at;
            due.fn();
        }
        this.time = end;
    }
}

// The real bridge on a fake clock, its events on an emitter; sentNow() ends the task and takes what left.
function clockedBridge(options) {
    const clock = new FakeClock(), events = new EventEmitter(), sent = [];
    const bridge = new Bridge(Object.assign({
        navigate: (url) => sent.push(url), on: (n, f) => events.on(n, f), off: (n, f) => events.off(n, f),
        setTimeout: (f, ms) => clock.setTimeout(f, ms), clearTimeout: (id) => clock.clearTimeout(id),
    }, options));
    return { clock, events, sent, bridge, sentNow: () => { clock.advance(0); return sent.splice(0); } };
}

// Just enough of a DOM node to build and read back a subtitle line or a card.
class FakeNode {
    constructor(tag, text) { this.tag = tag; this.text = text; this.className = ''; this.children = []; }
    appendChild(child) { this.children.push(child); return child; }
    set textContent(text) { this.children = text ? [new FakeNode(null, text)] : []; }
    // A line break reads as a space, as cuetext.plainText has it.
    get textContent() { return this.tag === null ? this.text : this.tag === 'br' ? ' ' : this.children.map((c) => c.textContent).join(''); }
    // The tree as markup, text nodes as they are: "<span.sub-text>a<br>b</span>".
    get markup() {
        if (this.tag === null) return this.text;
        const name = this.tag + (this.className ? '.' + this.className : '');
        return this.tag === 'br' ? '<br>' : `<${name}>${this.children.map((c) => c.markup).join('')}</${this.tag}>`;
    }
    // Every element of the tree, itself first.
    elements() { return this.tag === null ? [] : [this].concat(...this.children.map((c) => c.elements())); }
}

const fakeDocument = { createElement: (tag) => new FakeNode(tag), createTextNode: (text) => new FakeNode(null, text) };

class MemoryStorage {
    constructor() { this.map = new Map(); }
    get length() { return this.map.size; }
    key(i) { return Array.from(this.map.keys())[i] ?? null; }
    getItem(k) { return this.map.has(k) ? this.map.get(k) : null; }
    setItem(k, v) { this.map.set(k, String(v)); }
    removeItem(k) { this.map.delete(k); }
}

// jQuery's ajax as the pages use it: a deferred per call, settled by the test (answer, refuse)
// or at once by respond(options, index) when given ({ fail: xhr } refuses).
function fakeAjax(respond, clock) {
    const calls = [];
    const ajax = (options) => {
        const handlers = []; let settled = null;
        const fire = () => settled && handlers.splice(0).forEach(([k, f]) => (k === settled[0] || k === 'always') && f(...settled[1]));
        const settle = (kind, args) => { settled = [kind, args]; fire(); };
        const promise = {};
        for (const kind of ['done', 'fail', 'always']) promise[kind] = (f) => { handlers.push([kind, f]); fire(); return promise; };
        const call = { options, at: clock ? clock.now() : 0, answer: (...args) => settle('done', args), refuse: (xhr) => settle('fail', [xhr || {}]) };
        calls.push(call);
        const r = respond && respond(options, calls.length - 1);
        if (respond) { if (r && r.fail) call.refuse(r.fail); else call.answer(r); }
        return promise;
    };
    return { ajax, calls };
}

// A seeded generator (Park and Miller's): int(n) in [0, n), pick(list), text(alphabet, max pieces).
function random(seed) {
    let state = (seed % 2147483646) + 1;
    const next = () => (state = (state * 48271) % 2147483647) / 2147483647;
    const int = (n) => Math.floor(next() * n), pick = (list) => list[int(list.length)];
    return { next, int, pick, text: (alphabet, max) => Array.from({ length: int(max + 1) }, () => pick(alphabet)).join('') };
}

module.exports = { test: require('node:test'), assert: require('node:assert/strict'), web, FakeClock, clockedBridge, FakeNode, fakeDocument, MemoryStorage, fakeAjax, random };

// A hand-driven clock with timers, an event hub standing in for jQuery on window, a document
// that builds plain node objects, localStorage in memory and jQuery's ajax.
'use strict';

class FakeClock {
    constructor() { this.time = 0; this.timers = []; this.nextId = 1; }
    now() { return this.time; }
    setTimeout(fn, ms) {
        const id = this.nextId++;
        this.timers.push({ id, at: this.time + (ms || 0), fn });
        return id;
    }
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

class EventHub {
    constructor() { this.handlers = new Map(); }
    on(name, fn) { this.handlers.set(name, (this.handlers.get(name) || []).concat([fn])); }
    off(name, fn) { this.handlers.set(name, (this.handlers.get(name) || []).filter((h) => h !== fn)); }
    trigger(name, value) { (this.handlers.get(name) || []).slice().forEach((h) => h(value)); }
    count() { let n = 0; this.handlers.forEach((list) => { n += list.length; }); return n; }
}

// Just enough of a DOM node to build and read back a subtitle line.
class FakeNode {
    constructor(tag, text) { this.tag = tag; this.text = text; this.className = ''; this.children = []; }
    appendChild(child) { this.children.push(child); return child; }
    set textContent(text) { this.children = text ? [new FakeNode(null, text)] : []; }
    // The tree as markup, text nodes as they are: "<span.sub-text>a<br>b</span>".
    get markup() {
        if (this.tag === null) return this.text;
        const inner = this.children.map((c) => c.markup).join('');
        const name = this.tag + (this.className ? '.' + this.className : '');
        return this.tag === 'br' ? '<br>' : `<${name}>${inner}</${this.tag}>`;
    }
}

const fakeDocument = {
    createElement: (tag) => new FakeNode(tag),
    createTextNode: (text) => new FakeNode(null, text),
};

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
        const handlers = [];
        let settled = null;
        const fire = () => {
            if (settled) handlers.splice(0).forEach(([k, f]) => { if (k === settled[0] || k === 'always') f(...settled[1]); });
        };
        const promise = {};
        for (const kind of ['done', 'fail', 'always']) promise[kind] = (f) => { handlers.push([kind, f]); fire(); return promise; };
        const call = { options, at: clock ? clock.now() : 0,
                       answer: (...args) => { settled = ['done', args]; fire(); },
                       refuse: (xhr) => { settled = ['fail', [xhr || {}]]; fire(); } };
        calls.push(call);
        if (respond) {
            const r = respond(options, calls.length - 1);
            if (r && r.fail) call.refuse(r.fail); else call.answer(r);
        }
        return promise;
    };
    return { ajax, calls };
}

module.exports = { FakeClock, EventHub, FakeNode, fakeDocument, MemoryStorage, fakeAjax };

// A hand-driven clock with timers, and an event hub standing in for jQuery on window.
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
        for (;;) {
            const due = this.timers.filter((t) => t.at <= end).sort((a, b) => a.at - b.at || a.id - b.id)[0];
            if (!due) break;
            this.timers = this.timers.filter((t) => t !== due);
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

module.exports = { FakeClock, EventHub };

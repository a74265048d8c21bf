// SPDX-License-Identifier: GPL-3.0-or-later
// The bridge to the native side. Commands and requests leave as navigations to app:/// URLs,
// each in a hidden iframe of its own (removed a little later) so that several sent in one go
// all arrive; in our own app, whose view gives the page a channel's key, the same URLs are
// requested instead, sooner. Replies come back as the jQuery event "response:GUID" on window. A
// request that is never answered is dropped quietly after a while.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).bridge = factory();
})(this, function () {
    'use strict';

    var NAME = /^[A-Za-z]+$/;
    // The native side reads values without percent-decoding and its URL parser decodes some
    // escapes itself, so only values that need no escaping at all are ever sent.
    var PLAIN_VALUE = /^[A-Za-z0-9._-]*$/;
    var REQUEST_TIMEOUT_MS = 10000;

    function argumentText(value) {
        if (typeof value === 'boolean') return String(value);
        if (typeof value === 'number') return isFinite(value) ? String(value) : null;
        if (typeof value === 'string') return value;
        return null;
    }

    // options: navigate(url), on(event, fn(value)), off(event, fn), setTimeout, clearTimeout,
    // random() in [0, 1), timeoutMs, defer(fn) to run fn at the end of the task (by default a
    // timer of 0).
    function Bridge(options) {
        this.navigate = options.navigate;
        this.on = options.on;
        this.off = options.off;
        this.setTimeout = options.setTimeout || setTimeout;
        this.clearTimeout = options.clearTimeout || clearTimeout;
        this.random = options.random || Math.random;
        this.timeoutMs = options.timeoutMs || REQUEST_TIMEOUT_MS;
        this.defer = options.defer || null;
        this.queue = [];
        this.flushScheduled = false;
        this.counter = 0;
        this.waiting = {};
        // Guids differ between page loads, so a late reply meant for an earlier page is not
        // taken for one of ours.
        this.session = Math.floor(this.random() * 0x1000000).toString(16);
    }

    Bridge.prototype.newGuid = function () {
        this.counter += 1;
        return 'g' + this.counter.toString(36) + '-' + this.session;
    };

    // Messages of one task leave together, in order, at the end of the task. A command with
    // arguments replaces a queued one of the same name (a dragged slider sends its last value).
    Bridge.prototype.enqueue = function (url, replaceKey) {
        if (replaceKey) {
            this.queue = this.queue.filter(function (m) { return m.key !== replaceKey; });
        }
        this.queue.push({ url: url, key: replaceKey });
        if (this.flushScheduled) return;
        this.flushScheduled = true;
        var self = this;
        var flush = function () { self.flush(); };
        if (this.defer) this.defer(flush);
        else this.setTimeout(flush, 0);
    };

    Bridge.prototype.flush = function () {
        var messages = this.queue;
        this.queue = [];
        this.flushScheduled = false;
        for (var i = 0; i < messages.length; ++i) this.navigate(messages[i].url);
    };

    // Sends app:///Execute/NAME?arg=value. Returns false (and sends nothing) for a name or a
    // value that would need escaping.
    Bridge.prototype.command = function (name, args) {
        if (!NAME.test(name)) return false;
        var parts = [];
        var keys = args ? Object.keys(args) : [];
        for (var i = 0; i < keys.length; ++i) {
            var text = argumentText(args[keys[i]]);
            if (!NAME.test(keys[i]) || text === null || !PLAIN_VALUE.test(text)) return false;
            parts.push(keys[i] + '=' + text);
        }
        var url = 'app:///Execute/' + name + (parts.length ? '?' + parts.join('&') : '');
        this.enqueue(url, parts.length ? name : null);
        return true;
    };

    // Sends app:///Request/NAME?guid=GUID; onReply(value) runs once when the reply comes,
    // onTimeout() if none has come in time. Returns the guid.
    Bridge.prototype.request = function (name, onReply, onTimeout) {
        if (!NAME.test(name)) return null;
        var self = this;
        var guid = this.newGuid();
        var event = 'response:' + guid;
        var timer = null;
        var done = function () {
            self.off(event, handler);
            self.clearTimeout(timer);
            delete self.waiting[guid];
        };
        var handler = function (value) {
            done();
            if (onReply) onReply(value);
        };
        this.on(event, handler);
        this.waiting[guid] = name;
        timer = this.setTimeout(function () {
            done();
            if (onTimeout) onTimeout();
        }, this.timeoutMs);
        this.enqueue('app:///Request/' + name + '?guid=' + guid, null);
        return guid;
    };

    Bridge.prototype.pendingRequests = function () { return Object.keys(this.waiting).length; };

    // Requests of the URLs with the channel's key (the engine lets no fetch() reach the scheme),
    // one after another so that they arrive in order.
    function channelSender(window, key) {
        var waiting = [], busy = false;
        var done = function () {
            busy = false;
            next();
        };
        var next = function () {
            if (busy || !waiting.length) return;
            busy = true;
            var request = new window.XMLHttpRequest();
            request.open('GET', waiting.shift());
            request.setRequestHeader('Accept', key);
            request.onloadend = done;
            request.send();
        };
        return function (url) {
            waiting.push(url);
            next();
        };
    }

    // The page's bridge: the view's channel or hidden iframes, and jQuery events on window.
    function forPage(window, $) {
        var document = window.document;
        var wrappers = {};
        var key = window.lirraBridgeChannel;
        var channel = typeof key === 'string' && typeof window.XMLHttpRequest === 'function';
        return new Bridge({
            // A microtask: a timer of 0 waits a millisecond in the engine.
            defer: channel ? function (fn) { window.Promise.resolve().then(fn); } : null,
            navigate: channel ? channelSender(window, key) : function (url) {
                var frame = document.createElement('iframe');
                frame.className = 'bridge';
                frame.setAttribute('aria-hidden', 'true');
                frame.tabIndex = -1;
                frame.src = url;
                document.body.appendChild(frame);
                window.setTimeout(function () { frame.remove(); }, 2000);
            },
            on: function (event, fn) {
                wrappers[event] = function (e, value) { fn(value); };
                $(window).on(event, wrappers[event]);
            },
            off: function (event) {
                if (!wrappers[event]) return;
                $(window).off(event, wrappers[event]);
                delete wrappers[event];
            },
            setTimeout: function (fn, ms) { return window.setTimeout(fn, ms); },
            clearTimeout: function (id) { window.clearTimeout(id); }
        });
    }

    return { Bridge: Bridge, forPage: forPage, REQUEST_TIMEOUT_MS: REQUEST_TIMEOUT_MS };
});

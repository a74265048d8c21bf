// SPDX-License-Identifier: GPL-3.0-or-later
// The player's values the page asks the native side for when it opens. Each is asked again
// after a dropped request, and a reply that is no plausible value is ignored.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory(require('./controls.js'));
    else (root.Lirra = root.Lirra || {}).playervalues = factory(root.Lirra.controls);
})(this, function (controls) {
    'use strict';

    var TRIES = 3;

    function finite(v) { return typeof v === 'number' && isFinite(v); }

    // Request name -> the value its reply gives, or undefined for one to ignore. Asked in
    // this order.
    var READERS = [
        ['Duration', function (ms) { return finite(ms) && ms >= 0 ? ms : undefined; }],
        ['Volume', function (v) { return finite(v) ? controls.clampVolume(v) : undefined; }],
        ['PlaybackSpeed', function (rate) { return finite(rate) && rate > 0 ? rate : undefined; }],
        ['AudioInfo', function (info) {
            return info && typeof info === 'object' && info.audioTracks ? info : undefined;
        }],
        ['IsFullscreen', function (on) { return typeof on === 'boolean' ? on : undefined; }],
        ['FileName', function (name) { return typeof name === 'string' && name ? name : undefined; }],
        // An app that does not know the request never answers: the page keeps to the old commands.
        ['Commands', function (names) {
            return Array.isArray(names) ? names.filter(function (n) { return typeof n === 'string'; }) : undefined;
        }]
    ];

    function ask(bridge, name, apply, tries) {
        bridge.request(name, apply, function () {
            if (tries > 1) ask(bridge, name, apply, tries - 1);
        });
    }

    // Asks bridge for each value; apply[name](value) gets each usable reply.
    function askAll(bridge, apply) {
        READERS.forEach(function (entry) {
            var name = entry[0], read = entry[1];
            ask(bridge, name, function (reply) {
                var value = read(reply);
                if (value !== undefined) apply[name](value);
            }, TRIES);
        });
    }

    return { askAll: askAll, TRIES: TRIES, NAMES: READERS.map(function (e) { return e[0]; }) };
});

// SPDX-License-Identifier: GPL-3.0-or-later
// The service's timing fit of a track onto the video's reference track ("alignment": start′ =
// start × scale + offsetMs, ends too) applied to its cues, and the words that tell the learner
// what it changed.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).alignment = factory();
})(this, function () {
    'use strict';

    var MAX_OFFSET_MS = 6 * 3600 * 1000;

    // The alignment when it is one the page can apply (what the service sends), else null.
    function usable(alignment) {
        if (!alignment || typeof alignment !== 'object') return null;
        var scale = alignment.scale, offset = alignment.offsetMs;
        if (typeof scale !== 'number' || !(scale >= 0.5 && scale <= 2)) return null;
        if (typeof offset !== 'number' || !(Math.abs(offset) <= MAX_OFFSET_MS)) return null;
        return alignment;
    }

    // The cues as the reference's clock has them; the same array when there is nothing to do.
    function apply(cues, alignment) {
        var a = usable(alignment);
        if (!a || (a.scale === 1 && a.offsetMs === 0)) return cues;
        var map = function (t) { return Math.round(t * a.scale + a.offsetMs); };
        return cues.map(function (c) {
            return { start: map(c.start), end: map(c.end), text: c.text };
        });
    }

    // "2.4 s", one decimal; "" when it rounds to nothing.
    function seconds(ms) {
        var tenths = Math.round(Math.abs(ms) / 100);
        return tenths ? L10n.text('{seconds} s', { seconds: L10n.number(tenths / 10, { minimumFractionDigits: 1 }) }) : '';
    }

    // What the alignment does to a line, in a learner's words: how far its first line moves
    // (the whole line when the scale is 1) and how much its pace changes, or null when it
    // changes nothing one would notice. lineName and referenceName as the page shows them.
    function describe(lineName, alignment, firstStartMs, referenceName) {
        var a = usable(alignment);
        if (!a) return null;
        var first = typeof firstStartMs === 'number' && isFinite(firstStartMs) ? firstStartMs : 0;
        var moved = first * a.scale + a.offsetMs - first;
        var parts = [];
        var distance = seconds(moved);
        if (distance) {
            parts.push(moved < 0 ? L10n.text('moved {distance} earlier', { distance: distance })
                                 : L10n.text('moved {distance} later', { distance: distance }));
        }
        var percent = Math.round(Math.abs(a.scale - 1) * 1000) / 10;
        if (percent) {
            // A scale over 1 spreads the lines apart: they come at a slower pace.
            var pace = { percent: L10n.number(percent / 100, { style: 'percent', minimumFractionDigits: 1 }) };
            parts.push(a.scale > 1 ? L10n.text('slowed down {percent}', pace) : L10n.text('sped up {percent}', pace));
        }
        if (!parts.length) return null;
        var change = parts.length > 1 ? L10n.text('{first} and {second}', { first: parts[0], second: parts[1] }) : parts[0];
        return L10n.text('{language} line {change} to match {reference}', { language: lineName, change: change, reference: referenceName });
    }

    // How the notice names the track the others were fitted to.
    function referenceName(track, label) {
        if (!track) return L10n.text('the other subtitles');
        var language = track.language ? label(track.language) : '';
        if (track.origin === 'container') {
            return language ? L10n.text('the {language} subtitles inside the video', { language: language })
                            : L10n.text('the subtitles inside the video');
        }
        return language || L10n.text('the other subtitles');
    }

    return { usable: usable, apply: apply, describe: describe, referenceName: referenceName };
});

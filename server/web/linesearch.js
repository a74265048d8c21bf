// SPDX-License-Identifier: GPL-3.0-or-later
// Finding a line by its words: every line of both tracks whose text holds the words looked
// for, whatever their accents and letter case, with where the match is in the line's text.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory(require('./cuetext.js'));
    else (root.Lirra = root.Lirra || {}).linesearch = factory(root.Lirra.cuetext);
})(this, function (cuetext) {
    'use strict';

    var MAX_RESULTS = 200;
    var MARKS = /[\u0300-\u036f]/g;

    // The text folded (accents gone, ligatures and ß spelt out, lower case, white space runs as
    // one space) and, for each
    // folded character, where it came from in text.
    function fold(text) {
        var folded = '', from = [], chars = Array.from(text), at = 0, space = false;
        chars.forEach(function (c) {
            var f = /\s/.test(c) ? ' ' : c.normalize('NFKD').replace(MARKS, '').toLowerCase().replace(/ß/g, 'ss');
            if (f === ' ' && space) f = '';
            space = f === ' ';
            for (var i = 0; i < f.length; ++i) { folded += f[i]; from.push(at); }
            at += c.length;
        });
        from.push(at);
        return { text: folded, from: from };
    }

    // Lines of tracks ({line name: track or null}) whose plain text holds query: {line, index,
    // start, text, match: [begin, end) in text}, by start time, at most 200.
    function find(tracks, query) {
        var wanted = fold(String(query).trim()).text;
        var found = [];
        if (!wanted) return found;
        Object.keys(tracks).forEach(function (line) {
            var track = tracks[line];
            if (!track) return;
            for (var i = 0; i < track.size(); ++i) {
                var text = cuetext.plainText(track.cues[i].text);
                var f = fold(text), at = f.text.indexOf(wanted);
                if (at < 0) continue;
                found.push({ line: line, index: i, start: track.videoStart(i), text: text,
                             match: [f.from[at], f.from[at + wanted.length]] });
            }
        });
        found.sort(function (a, b) { return a.start - b.start; });
        return found.slice(0, MAX_RESULTS);
    }

    // The text into parent with the match in a <mark>.
    function render(document, parent, result) {
        var t = result.text, m = result.match;
        parent.appendChild(document.createTextNode(t.slice(0, m[0])));
        var mark = parent.appendChild(document.createElement('mark'));
        mark.appendChild(document.createTextNode(t.slice(m[0], m[1])));
        parent.appendChild(document.createTextNode(t.slice(m[1])));
    }

    return { fold: fold, find: find, render: render, MAX_RESULTS: MAX_RESULTS };
});

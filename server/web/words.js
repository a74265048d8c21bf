// SPDX-License-Identifier: GPL-3.0-or-later
// The words of the English line, as the learner clicks them. A line is split the way the
// dictionary service splits a look-up (apostrophes and hyphens inside a word keep it whole,
// punctuation around it does not belong to it), so that the number of words the service says it
// matched counts the same words here. The renderer draws each word as a span holding a text
// node; nothing of the line ever reaches the HTML parser.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory(require('./cuetext.js'));
    else (root.Lirra = root.Lirra || {}).words = factory(root.Lirra.cuetext);
})(this, function (cuetext) {
    'use strict';

    // A word starts with a letter or digit; marks go on one (but not the variation selectors
    // and keycaps of emoji).
    var WORD_START = /[\p{L}\p{N}]/u;
    var WORD_CHAR = /(?![\uFE00-\uFE0F\u20D0-\u20FF])[\p{L}\p{N}\p{M}]/u;
    var LATIN = /\p{Script=Latin}/u;
    var APOSTROPHES = '\'\u2019\u2018\u02bc`\u00b4\u2032';
    var JOINERS = '-\u2010\u2011.';
    // Words whose opening apostrophe is part of them; any other opening one is a quotation mark,
    // drawn outside the word.
    var ELISIONS = /^['\u2019\u2018\u02bc](em|cause|cos|til|tis|twas|n|round|bout)['\u2019]?$/i;
    var MAX_LOOKUP = 200;   // the service's limit, in characters

    function isWordStart(c) { return c !== undefined && WORD_START.test(c); }
    function isWordChar(c) { return c !== undefined && WORD_CHAR.test(c); }
    function isApostrophe(c) { return c !== undefined && APOSTROPHES.indexOf(c) >= 0; }

    // text split into pieces that join back into it: {text, word}. A word is a run of letters,
    // marks and digits with apostrophes inside or at either end and hyphens or dots between its
    // letters ("don't", "Tom's", "students'", "well-known", "U.S").
    function split(text) {
        var cps = Array.from(String(text == null ? '' : text));
        var pieces = [];
        var start = 0, wordStart = -1;
        var flush = function (end, word) {
            if (end > start) pieces.push({ text: cps.slice(start, end).join(''), word: word });
            start = end;
        };
        for (var i = 0; i <= cps.length; ++i) {
            var c = cps[i];
            var inWord = wordStart >= 0;
            var part = false;
            if (i < cps.length) {
                if (isApostrophe(c)) part = inWord || isWordStart(cps[i + 1]);
                else if (JOINERS.indexOf(c) >= 0) part = inWord && isWordChar(cps[i - 1]) && isWordStart(cps[i + 1]);
                else part = inWord ? isWordChar(c) : isWordStart(c);
            }
            if (part && !inWord) {
                flush(i, false);
                wordStart = i;
            } else if (!part && inWord) {
                flush(i, true);
                wordStart = -1;
            }
        }
        flush(cps.length, false);
        return pieces;
    }

    // Whether a word is one to look up in an English dictionary: it has a Latin letter (digits
    // alone, right-to-left and other scripts stay plain text).
    function isLookupWord(word) { return LATIN.test(word); }

    // The quotation marks around a word ('no'), drawn outside it: [opening, closing] lengths.
    function quotes(word) {
        if (!isApostrophe(word.charAt(0)) || ELISIONS.test(word)) return [0, 0];
        return [1, word.length > 2 && isApostrophe(word.charAt(word.length - 1)) ? 1 : 0];
    }

    // What is sent to look a word up: the line from the word to its end, cut at a space to fit
    // the service's limit.
    function lookupText(lineText, from) {
        var text = lineText.slice(from).replace(/\s+/g, ' ').trim();
        if (text.length <= MAX_LOOKUP) return text;
        text = text.slice(0, MAX_LOOKUP);
        var space = text.lastIndexOf(' ');
        return space > 0 ? text.slice(0, space) : text.slice(0, MAX_LOOKUP - 1);
    }

    // A renderer for linerender.LineView: the cue's text and styles as cuetext draws them, each
    // word to look up a span.word. Each span gets a `lirraWord` property {line, index}: line is
    // shared by the words of one cue, {text: its plain text (line breaks as spaces), words: [{start,
    // span}]} with every word of the cue counted (also those not drawn as spans), index its own.
    function render(document, parent, text) {
        var line = { text: '', words: [] };
        (function build(nodes, into) {
            nodes.forEach(function (n) {
                if (n.type === 'br') {
                    into.appendChild(document.createElement('br'));
                    line.text += ' ';
                } else if (n.type !== 'text') {
                    build(n.children, into.appendChild(document.createElement(n.type)));
                } else {
                    var plain = '';
                    var flush = function () {
                        if (plain) into.appendChild(document.createTextNode(plain));
                        plain = '';
                    };
                    split(n.text).forEach(function (piece) {
                        var start = line.text.length;
                        line.text += piece.text;
                        if (!piece.word) { plain += piece.text; return; }
                        var entry = { start: start, span: null };
                        line.words.push(entry);
                        if (!isLookupWord(piece.text)) { plain += piece.text; return; }
                        var q = quotes(piece.text), end = piece.text.length - q[1];
                        plain += piece.text.slice(0, q[0]);
                        flush();
                        entry.start += q[0];
                        var span = document.createElement('span');
                        span.className = 'word';
                        span.appendChild(document.createTextNode(piece.text.slice(q[0], end)));
                        span.lirraWord = { line: line, index: line.words.length - 1 };
                        entry.span = span;
                        into.appendChild(span);
                        plain += piece.text.slice(end);
                    });
                    flush();
                }
            });
        })(cuetext.parse(text), parent);
        return parent;
    }

    // The spans of the n words from a clicked word on (words not drawn as spans count too).
    function spansFrom(word, n) {
        return word.line.words.slice(word.index, word.index + Math.max(1, n))
            .map(function (w) { return w.span; }).filter(Boolean);
    }

    return { split: split, isLookupWord: isLookupWord, lookupText: lookupText, render: render,
             spansFrom: spansFrom, MAX_LOOKUP: MAX_LOOKUP };
});

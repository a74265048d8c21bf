// SPDX-License-Identifier: GPL-3.0-or-later
// The card a clicked word opens: what the dictionary service answered (the forms the word was
// recognised as, their parts of speech, pronunciation and definitions, the translations into
// the learner's language), built as nodes with the answer's strings as text only, and where
// the card goes beside the word.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).wordcard = factory();
})(this, function () {
    'use strict';

    var MARGIN = 10;   // px kept free around the card
    var TOP = 66;      // px kept free above it: the top bar with the way home
    var GAP = 12;      // px between the card and the line

    function str(value) { return typeof value === 'string' ? value : ''; }
    function list(value) { return Array.isArray(value) ? value : []; }

    function el(document, tag, className, text) {
        var node = document.createElement(tag);
        if (className) node.className = className;
        if (text) node.appendChild(document.createTextNode(text));
        return node;
    }

    // The sentence about translations when there are none to show, or ''.
    function translationNote(answer, language) {
        var status = str(answer.translationStatus);
        var v = { language: language, 'package': str(answer['package']) };
        if (status === 'not-installed') {
            return v['package'] ? L10n.text('No English–{language} dictionary is installed: the Debian package {package} adds it.', v)
                : L10n.text('No English–{language} dictionary is installed.', v);
        }
        if (status === 'none-in-debian') return L10n.text('Debian has no English–{language} dictionary yet.', v);
        if (!list(answer.translations).length) return L10n.text('Not in the English–{language} dictionary.', v);
        return '';
    }

    function entryNode(document, entry) {
        var node = el(document, 'section', 'entry');
        var head = node.appendChild(el(document, 'p', 'entry-head'));
        head.appendChild(el(document, 'span', 'headword', str(entry.headword)));
        if (str(entry.partOfSpeech)) head.appendChild(el(document, 'span', 'pos', str(entry.partOfSpeech)));
        if (str(entry.pronunciation)) head.appendChild(el(document, 'span', 'pron', str(entry.pronunciation)));
        var definitions = list(entry.definitions).filter(function (d) { return typeof d === 'string' && d; });
        if (definitions.length) {
            var ol = node.appendChild(el(document, 'ol', 'definitions'));
            definitions.forEach(function (d) {
                // WordNet's 'gloss; "example"; "example"': the examples in a quieter voice.
                var cut = d.indexOf('; "');
                var li = ol.appendChild(el(document, 'li', null, cut > 0 ? d.slice(0, cut) : d));
                if (cut > 0) li.appendChild(el(document, 'span', 'examples', d.slice(cut + 2)));
            });
        }
        if (str(entry.source)) node.appendChild(el(document, 'p', 'source', str(entry.source)));
        return node;
    }

    function translationsNode(document, answer, language) {
        var node = el(document, 'section', 'translations');
        node.appendChild(el(document, 'h3', null, L10n.text('In {language}', { language: language })));
        var items = list(answer.translations).filter(function (t) { return t && str(t.text); });
        if (items.length) {
            var ul = node.appendChild(el(document, 'ul'));
            items.forEach(function (t) {
                var li = ul.appendChild(el(document, 'li'));
                if (str(t.headword)) li.appendChild(el(document, 'span', 'from', str(t.headword)));
                if (str(t.partOfSpeech)) li.appendChild(el(document, 'span', 'pos', str(t.partOfSpeech)));
                li.appendChild(el(document, 'span', 'to', str(t.text)));
            });
        }
        var note = translationNote(answer, language);
        if (note) node.appendChild(el(document, 'p', 'note', note));
        return node;
    }

    // Fills body (emptied first) with the answer, the translation first; title gets the words
    // matched. language: the learner's language by its English name.
    function fill(document, title, body, answer, language) {
        answer = answer && typeof answer === 'object' ? answer : {};
        var matched = str(answer.matched) || str(answer.query);
        title.textContent = matched;
        body.textContent = '';
        var entries = list(answer.entries).filter(function (e) { return e && typeof e === 'object'; });
        if (!entries.length && !list(answer.translations).length) {
            body.appendChild(el(document, 'p', 'empty', L10n.text('No dictionary here knows “{word}”.', { word: matched })));
        }
        body.appendChild(translationsNode(document, answer, language));
        entries.forEach(function (e) { body.appendChild(entryNode(document, e)); });
    }

    // A card that says something instead of an answer (looking up, no answer).
    function message(document, title, body, heading, text) {
        title.textContent = heading;
        body.textContent = '';
        body.appendChild(el(document, 'p', 'empty', text));
    }

    // Where the card goes: above the word, centred on it and kept inside the view below the top
    // bar, else below it; its height is bounded by the room on that side. word: the word's rectangle (left,
    // right, top, bottom), card: {width, height}, view: {width, height}. Returns {left, top,
    // maxHeight, above}.
    function place(word, card, view) {
        var roomAbove = word.top - GAP - TOP;
        var roomBelow = view.height - word.bottom - GAP - MARGIN;
        var above = card.height <= roomAbove || roomAbove >= roomBelow;
        var maxHeight = Math.max(80, above ? roomAbove : roomBelow);
        var height = Math.min(card.height, maxHeight);
        var centre = (word.left + word.right) / 2;
        var left = Math.max(MARGIN, Math.min(view.width - MARGIN - card.width, centre - card.width / 2));
        var top = above ? word.top - GAP - height : word.bottom + GAP;
        return { left: Math.round(left), top: Math.round(Math.max(above ? TOP : MARGIN, top)), maxHeight: Math.floor(maxHeight),
                 above: above };
    }

    return { fill: fill, message: message, place: place, translationNote: translationNote };
});

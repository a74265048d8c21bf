// SPDX-License-Identifier: GPL-3.0-or-later
// Saving to the learner's notebook from the player page: the current English line with the
// line in the learner's language shown beside it (S or the Save button), or a word from its
// card with what the card showed ("Save word", or S while the card is open). A note in a corner
// says it was saved, without stopping the video.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory(require('./cuetext.js'));
    else (root.Lirra = root.Lirra || {}).notebooksave = factory(root.Lirra.cuetext);
})(this, function (cuetext) {
    'use strict';

    var TIMEOUT_MS = 10000;
    var NOTE_MS = 2600;
    var MAX_DEFINITIONS = 3;
    var MAX_TRANSLATIONS = 3;

    function str(value) { return typeof value === 'string' ? value : ''; }
    function list(value) { return Array.isArray(value) ? value : []; }

    // The line to save at video time `time`: the English cue showing (else the one heard last)
    // on the video's clock, and the learner's line(s) shown during it. target and native are
    // the lines' tracks (cues.js CueTrack) or null. Returns null when there is no English line.
    function lineItem(target, native, time) {
        if (!target || typeof time !== 'number' || !isFinite(time)) return null;
        var i = target.currentLine(time);
        if (i < 0) return null;
        var start = Math.max(0, Math.round(target.videoStart(i)));
        var end = Math.max(start, Math.round(target.videoEnd(i)));
        var text = cuetext.plainText(target.cues[i].text).trim();
        if (!text) return null;
        var translation = [];
        if (native) {
            for (var n = 0; n < native.size(); ++n) {
                // Shown while the English line shows: overlapping it for more than an instant.
                var overlap = Math.min(end, native.videoEnd(n)) - Math.max(start, native.videoStart(n));
                if (overlap > 0 && overlap >= Math.min(200, (end - start) / 2)) {
                    translation.push(cuetext.plainText(native.cues[n].text).trim());
                }
            }
        }
        return { startMs: start, endMs: end, text: text, translation: translation.join('\n') };
    }

    // What a word's card showed, as the notebook keeps it: the headword and its definitions
    // and translations as text. language: the learner's language by its English name.
    function wordFields(answer, language) {
        answer = answer && typeof answer === 'object' ? answer : {};
        var entries = list(answer.entries).filter(function (e) { return e && typeof e === 'object'; });
        var forms = list(answer.forms);
        var word = str(entries.length ? entries[0].headword : '') || str(forms[0]) || str(answer.matched);
        var lines = [];
        entries.slice(0, 2).forEach(function (e) {
            // WordNet's 'gloss; "example"; ...': the gloss is what a card needs.
            var definitions = list(e.definitions).filter(function (d) { return typeof d === 'string' && d; })
                .map(function (d) { var cut = d.indexOf('; "'); return cut > 0 ? d.slice(0, cut) : d; });
            if (!definitions.length) return;
            var pos = str(e.partOfSpeech);
            lines.push((pos ? pos + ': ' : '') + definitions.slice(0, MAX_DEFINITIONS).join('; '));
        });
        var translations = list(answer.translations).map(function (t) { return t ? str(t.text) : ''; })
            .filter(function (t) { return t; }).slice(0, MAX_TRANSLATIONS);
        if (translations.length) {
            lines.push((language ? language + ': ' : '') + translations.join(', ').replace(/\n/g, ', '));
        }
        return { word: word.trim().slice(0, 100), definition: lines.join('\n').slice(0, 3000) };
    }

    // options: $, document, ajax (jQuery's), videoId (text or null), tracks() -> {target,
    // native} (the lines' tracks), time() (the video's time in ms or null), lookup (the word
    // card: answer and isOpen()), language() (the learner's language by its English name).
    function NotebookSave(options) {
        this.$ = options.$;
        this.document = options.document;
        this.ajax = options.ajax;
        this.videoId = options.videoId;
        this.tracks = options.tracks;
        this.time = options.time;
        this.lookup = options.lookup;
        this.language = options.language || function () { return ''; };
        this.noteTimer = null;
    }

    // The note in the corner: one element, made on first use.
    NotebookSave.prototype.note = function (text, failed) {
        var el = this.document.getElementById('saved-note');
        if (!el) {
            el = this.document.createElement('div');
            el.id = 'saved-note';
            el.setAttribute('role', 'status');
            el.setAttribute('aria-live', 'polite');
            this.document.body.appendChild(el);
        }
        el.textContent = text;
        el.className = 'visible' + (failed ? ' failed' : '');
        clearTimeout(this.noteTimer);
        this.noteTimer = setTimeout(function () { el.className = failed ? 'failed' : ''; }, NOTE_MS);
    };

    // What the corner says of a saving: of the line, or of word when one is given.
    function saying(word, outcome, reason) {
        var v = { word: word, reason: reason };
        if (outcome === 'again') return word ? L10n.text('“{word}” is already in your notebook', v) : L10n.text('Line is already in your notebook');
        if (outcome === 'saved') return word ? L10n.text('“{word}” saved to your notebook', v) : L10n.text('Line saved to your notebook');
        return word ? L10n.text('“{word}” not saved: {reason}', v) : L10n.text('Line not saved: {reason}', v);
    }

    NotebookSave.prototype.post = function (item, word) {
        var self = this;
        if (this.videoId === null || this.videoId === undefined) {
            this.note(L10n.text('Not saved: this page has no video.'), true);
            return;
        }
        item.videoId = Number(this.videoId);
        this.ajax({
            url: '../api/notebook', method: 'POST', contentType: 'application/json',
            data: JSON.stringify(item), dataType: 'json', timeout: TIMEOUT_MS
        }).done(function (answer, status, xhr) {
            var again = xhr && xhr.status === 200;
            self.note(saying(word, again ? 'again' : 'saved'));
        }).fail(function (xhr) {
            var reason = xhr && xhr.responseJSON && typeof xhr.responseJSON.error === 'string'
                ? xhr.responseJSON.error : L10n.text('the service did not answer');
            self.note(saying(word, 'failed', reason), true);
        });
    };

    NotebookSave.prototype.currentLine = function () {
        var tracks = this.tracks();
        return lineItem(tracks.target, tracks.native, this.time());
    };

    // S, or the Save button: the line; while a word's card is open, that word.
    NotebookSave.prototype.save = function () {
        if (this.lookup && this.lookup.isOpen()) { this.saveWord(); return; }
        var item = this.currentLine();
        if (!item) { this.note(L10n.text('No English line to save here.'), true); return; }
        this.post(item, null);
    };

    NotebookSave.prototype.saveWord = function () {
        var answer = this.lookup && this.lookup.answer;
        var fields = wordFields(answer, this.language());
        var item = this.currentLine();
        if (!answer || !fields.word) { this.note(L10n.text('Wait for the word\'s card, then save it.'), true); return; }
        if (!item) { this.note(L10n.text('No English line to save the word with.'), true); return; }
        item.word = fields.word;
        item.definition = fields.definition;
        this.post(item, fields.word);
    };

    // The buttons: Save (the line) and the card's Save word.
    NotebookSave.prototype.wire = function () {
        var $ = this.$, self = this;
        $('#save-line').on('click', function () { self.save(); });
        $('#word-card').on('click', '.save-word', function () { self.saveWord(); });
    };

    return { NotebookSave: NotebookSave, lineItem: lineItem, wordFields: wordFields };
});

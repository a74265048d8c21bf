// SPDX-License-Identifier: GPL-3.0-or-later
// Looking up a word of the English line: a click on a word (or W, then the arrows) pauses the
// video, asks the dictionary service about the line from that word on and opens the card beside
// it, the words the service matched marked. Closing the card (Escape, W, a click elsewhere)
// plays on if the video was playing when it opened.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory(require('./words.js'), require('./wordcard.js'), require('./wordstatus.js'));
    else (root.Lirra = root.Lirra || {}).wordlookup = factory(root.Lirra.words, root.Lirra.wordcard, root.Lirra.wordstatus);
})(this, function (words, wordcard, wordstatus) {
    'use strict';

    var TIMEOUT_MS = 8000;
    var LOADING_MS = 150;    // a quicker answer replaces the card without "Looking up…" between
    // Presses on these keep their own meaning: the card closes without playing on.
    var CONTROLS = '#controls, #top-bar, .menu, .panel:not(#word-card)';

    // options: $, document, window, transport (command(name), playState.isPlaying()),
    // ajax (jQuery's), nativeCode() (ISO 639-2/B), language() (its English name), toast(text),
    // closed() (the card closed: the line may be drawn anew).
    function WordLookup(options) {
        this.$ = options.$;
        this.document = options.document;
        this.window = options.window;
        this.transport = options.transport;
        this.ajax = options.ajax;
        this.nativeCode = options.nativeCode;
        this.language = options.language;
        this.toast = options.toast;
        this.closed = options.closed || function () {};
        this.statuses = options.statuses || null;   // a wordstatus.WordStatus, if words are coloured
        this.line = null;       // the English line's element
        this.card = null;
        this.word = null;       // the lirraWord of the word looked up, while the card is open
        this.answer = null;     // the service's answer the card shows (what "Save word" keeps)
        this.wasPlaying = false;
        this.asked = 0;         // answers to older questions are dropped
        this.loadingTimer = null;
        this.marked = [];
    }

    WordLookup.prototype.isOpen = function () { return this.word !== null; };

    WordLookup.prototype.wire = function (line, card) {
        var $ = this.$, self = this;
        this.line = line;
        this.card = card;
        this.title = card.querySelector('.card-title');
        this.body = card.querySelector('.card-body');
        $(line).on('click', '.word', function (e) {
            e.preventDefault();
            if (this.lirraWord) self.open(this);
        });
        $(card).on('click', '.close', function () { self.close(true); });
        $(this.document).on('mousedown', function (e) {
            if (!self.isOpen() || $(e.target).closest('.word, #word-card').length) return;
            self.close(!$(e.target).closest(CONTROLS).length);
        });
        $(this.window).on('resize', function () { if (self.isOpen()) self.position(); });
    };

    // Looks up the word whose span was clicked or stepped to.
    WordLookup.prototype.open = function (span) {
        var word = span.lirraWord;
        if (this.word === word) return;    // the second click of a double click
        if (!this.isOpen()) {
            this.wasPlaying = this.transport.playState.isPlaying();
            this.transport.command('Pause');
        }
        this.unmark();
        this.word = word;
        this.mark([span], 'current');
        this.$('body').addClass('word-card-open');
        this.ask(word);
    };

    WordLookup.prototype.ask = function (word) {
        var self = this;
        var question = ++this.asked;
        this.answer = null;
        var text = words.lookupText(word.line.text, word.line.words[word.index].start);
        clearTimeout(this.loadingTimer);
        this.loadingTimer = setTimeout(function () {
            wordcard.message(self.document, self.title, self.body, text.split(' ')[0], L10n.text('Looking up…'));
            self.show();
        }, LOADING_MS);
        var url = '../api/dictionary/lookup?text=' + encodeURIComponent(text) +
                  '&native=' + encodeURIComponent(this.nativeCode());
        this.ajax({ url: url, dataType: 'json', timeout: TIMEOUT_MS }).done(function (answer) {
            if (question !== self.asked || !self.isOpen()) return;
            clearTimeout(self.loadingTimer);
            self.answer = answer;
            wordcard.fill(self.document, self.title, self.body, answer, self.language());
            var translations = self.body.querySelector('.translations ul');
            if (translations && self.nativeCode) {
                var tag = L10n.forLearner(self.nativeCode());
                translations.setAttribute('lang', tag);
                translations.setAttribute('dir', L10n.dirOf(tag));
            }
            var count = answer && typeof answer.wordCount === 'number' ? answer.wordCount : 1;
            self.mark(words.spansFrom(word, count), 'matched');
            self.learning(word, answer);
            self.show();
        }).fail(function (xhr) {
            if (question !== self.asked || !self.isOpen()) return;
            clearTimeout(self.loadingTimer);
            var reason = xhr && xhr.responseJSON && typeof xhr.responseJSON.error === 'string'
                ? xhr.responseJSON.error : L10n.text('the dictionary did not answer');
            wordcard.message(self.document, self.title, self.body, text.split(' ')[0],
                             L10n.text('No look-up: {reason}.', { reason: reason }));
            self.show();
        });
    };

    // A word looked up is one the learner is learning, unless they know it already; a phrase
    // ("looked up") is learnt as all its words on the line, not its first alone. The card tells
    // the status and which form a word counts as.
    WordLookup.prototype.learning = function (word, answer) {
        var statuses = this.statuses, span = word.line.words[word.index].span;
        if (!statuses || !span) return;
        var self = this, written = span.textContent;
        var form = wordstatus.formFor(written, answer);
        var forms = answer && answer.wordCount <= 1 && Array.isArray(answer.forms) ? answer.forms : [];
        var phrase = answer && answer.wordCount > 1
            ? words.spansFrom(word, answer.wordCount).map(function (s) { return s.textContent; })
                .filter(words.isLookupWord) : [];
        this.statusWord = { written: phrase.length > 1 ? phrase.join(' ') : written, form: form, phrase: phrase };
        statuses.ensure([written, form].concat(phrase), function () {
            if (self.word !== word) return;
            var status = statuses.status(form) || statuses.status(written);
            if (phrase.length > 1) statuses.learnWords(phrase);
            else if (status !== 'known' && status !== 'learning') statuses.set(written, 'learning', form);
            wordstatus.fillCard(self.document, self.body, written, forms, form, statuses);
        });
    };

    // K: the word of the open card is known.
    WordLookup.prototype.markKnown = function () {
        if (!this.statuses || !this.isOpen() || !this.statusWord) return false;
        var w = this.statusWord;
        if (w.phrase.length > 1) this.statuses.setWords(w.phrase, 'known');
        else this.statuses.set(w.written, 'known', this.body.lirraForm || w.form);
        this.toast(L10n.text('“{word}” is known', { word: w.written }));
        this.close(true);
        return true;
    };

    WordLookup.prototype.show = function () {
        this.card.hidden = false;
        this.position();
    };

    WordLookup.prototype.mark = function (spans, className) {
        spans.forEach(function (s) { s.classList.add(className); });
        this.marked = this.marked.concat(spans);
    };

    WordLookup.prototype.unmark = function () {
        this.marked.forEach(function (s) { s.classList.remove('current', 'matched'); });
        this.marked = [];
    };

    // Beside the words marked (or the word alone before the answer), above the whole line so
    // that a line of two rows stays readable.
    WordLookup.prototype.position = function () {
        var spans = this.marked.filter(function (s) { return s.isConnected; });
        if (!spans.length) return;
        var rect = { left: Infinity, right: -Infinity, top: this.line.getBoundingClientRect().top, bottom: -Infinity };
        spans.forEach(function (s) {
            var r = s.getBoundingClientRect();
            rect.left = Math.min(rect.left, r.left);
            rect.right = Math.max(rect.right, r.right);
            rect.top = Math.min(rect.top, r.top);
            rect.bottom = Math.max(rect.bottom, r.bottom);
        });
        var style = this.card.style;
        style.maxHeight = 'none';
        var size = this.card.getBoundingClientRect();
        var at = wordcard.place(rect, { width: size.width, height: size.height },
                                { width: this.window.innerWidth, height: this.window.innerHeight });
        style.left = at.left + 'px';
        style.top = at.top + 'px';
        style.maxHeight = at.maxHeight + 'px';
        this.card.classList.toggle('below', !at.above);
    };

    // Closes the card; with resume, plays on if the video was playing when it opened.
    WordLookup.prototype.close = function (resume) {
        if (!this.isOpen()) return;
        this.word = null;
        this.answer = null;
        this.statusWord = null;
        this.body.lirraForm = null;
        this.asked += 1;
        clearTimeout(this.loadingTimer);
        this.unmark();
        this.card.hidden = true;
        this.$('body').removeClass('word-card-open');
        if (resume && this.wasPlaying) this.transport.command('Play');
        this.closed();
    };

    // The words of the English line that can be looked up, in reading order.
    WordLookup.prototype.spans = function () {
        return Array.prototype.slice.call(this.line.querySelectorAll('.word'));
    };

    // W: opens the card on the line's first word, or closes it.
    WordLookup.prototype.toggleKeyboard = function () {
        if (this.isOpen()) { this.close(true); return; }
        var spans = this.spans();
        if (!spans.length) { this.toast(L10n.text('No English words on screen to look up.')); return; }
        this.open(spans[0]);
    };

    // The arrows while the card is open: the word before or after (direction -1 or 1).
    WordLookup.prototype.step = function (direction) {
        var spans = this.spans();
        var current = this.marked.filter(function (s) { return s.classList.contains('current'); })[0];
        var i = spans.indexOf(current) + direction;
        if (i >= 0 && i < spans.length) this.open(spans[i]);
    };

    // After the English line was drawn again (tracks or settings changed): a card whose word
    // went with the old line closes, without playing on.
    WordLookup.prototype.lineChanged = function () {
        if (this.isOpen() && !this.marked.some(function (s) { return s.isConnected; })) this.close(false);
    };

    return { WordLookup: WordLookup };
});

// SPDX-License-Identifier: GPL-3.0-or-later
// What the learner knows of each English word: new, learning or known, asked of the service
// once per word and kept here, so that drawing a line again costs no request. Paints the word
// spans of a line (the CSS colours learning words, and new ones when the learner asks for it)
// and counts the new words of a line for the list of lines.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory(require('./words.js'));
    else (root.Lirra = root.Lirra || {}).wordstatus = factory(root.Lirra.words);
})(this, function (words) {
    'use strict';

    var STATUSES = ['new', 'learning', 'known'];
    var CLASSES = { 'new': 'ws-new', learning: 'ws-learning', known: 'ws-known' };
    var MAX_ASK = 2000;       // the service's limit per request
    var TIMEOUT_MS = 8000;

    // The word as the service keys it: lower case, typographic apostrophes plain.
    function key(word) {
        return String(word).replace(/[\u2019\u2018\u02bc`\u00b4\u2032]/g, '\'')
            .replace(/[\u2010\u2011]/g, '-').toLowerCase();
    }

    // The words of a cue's text that are looked up (and so coloured), as keys, in order.
    function lineWords(text) {
        var out = [];
        words.split(String(text).replace(/<[^>]*>/g, ' ')).forEach(function (piece) {
            if (!piece.word || !words.isLookupWord(piece.text)) return;
            var w = piece.text.replace(/^['\u2019\u2018\u02bc]+|['\u2019\u2018\u02bc]+$/g, '');
            if (w) out.push(key(w));
        });
        return out;
    }

    // How many different new words text has; null while any of its words is not known here.
    function countNew(text, cache) {
        var seen = {}, count = 0;
        var list = lineWords(text);
        for (var i = 0; i < list.length; ++i) {
            var status = cache.get(list[i]);
            if (status === undefined) return null;
            if (status === 'new' && !seen[list[i]]) { seen[list[i]] = true; ++count; }
        }
        return count;
    }

    // Sets each span's status class from cache; spans whose word is not there yet get none.
    function paint(spans, cache) {
        for (var i = 0; i < spans.length; ++i) {
            var span = spans[i];
            var status = cache.get(key(span.textContent));
            var wanted = status ? CLASSES[status] : '';
            if (span.lirraStatus === wanted) continue;   // no style change: no layout work
            if (span.lirraStatus) span.classList.remove(span.lirraStatus);
            if (wanted) span.classList.add(wanted);
            span.lirraStatus = wanted;
        }
    }

    // options: ajax (jQuery's), changed() (statuses changed: lines and counts to draw anew).
    function WordStatus(options) {
        this.ajax = options.ajax;
        this.changed = options.changed || function () {};
        this.cache = new Map();
        this.pending = new Map();   // word -> the request asking for it
    }

    WordStatus.prototype.status = function (word) { return this.cache.get(key(word)); };

    // Asks the service for the words not known here; done() runs when all of them are (at once
    // when none is missing). Failures leave the words unknown (drawn plain) and ask again later.
    WordStatus.prototype.ensure = function (list, done) {
        var self = this, missing = [], waits = [], seen = {};
        list.forEach(function (w) {
            w = key(w);
            if (self.cache.has(w) || seen[w]) return;
            seen[w] = true;
            if (self.pending.has(w)) waits.push(self.pending.get(w));
            else missing.push(w);
        });
        for (var i = 0; i < missing.length; i += MAX_ASK) {
            waits.push(this.ask(missing.slice(i, i + MAX_ASK)));
        }
        if (!waits.length) { if (done) done(); return; }
        var left = waits.length;
        waits.forEach(function (p) { p.always(function () { if (--left === 0 && done) done(); }); });
    };

    WordStatus.prototype.ask = function (batch) {
        var self = this;
        var request = this.ajax({
            url: '../api/words/statuses', method: 'POST', contentType: 'application/json',
            data: JSON.stringify({ words: batch }), dataType: 'json', timeout: TIMEOUT_MS
        });
        batch.forEach(function (w) { self.pending.set(w, request); });
        request.done(function (answer) {
            var statuses = (answer && answer.statuses) || {};
            batch.forEach(function (w) {
                if (STATUSES.indexOf(statuses[w]) >= 0) self.cache.set(w, statuses[w]);
            });
        }).always(function () {
            batch.forEach(function (w) { if (self.pending.get(w) === request) self.pending.delete(w); });
        });
        return request;
    };

    // Paints the word spans under element now from what is known, and again once the missing
    // words have come (the spans still on screen).
    WordStatus.prototype.paintLine = function (element) {
        var spans = Array.prototype.slice.call(element.querySelectorAll('.word'));
        var cache = this.cache;
        paint(spans, cache);
        var missing = spans.map(function (s) { return s.textContent; })
            .filter(function (w) { return !cache.has(key(w)); });
        if (missing.length) {
            this.ensure(missing, function () {
                paint(spans.filter(function (s) { return s.isConnected !== false; }), cache);
            });
        }
    };

    WordStatus.prototype.countNew = function (text) { return countNew(text, this.cache); };

    // Gives word (counted as form, when given) the status; the cache follows at once, and
    // back if the service refuses. Returns the request.
    WordStatus.prototype.set = function (word, status, form) {
        var self = this, w = key(word), f = form ? key(form) : w;
        var before = this.cache.get(w);
        this.cache.set(w, status);
        if (f !== w) this.cache.set(f, status);
        this.changed();
        var body = { status: status };
        if (f !== w) body.form = f;
        return this.ajax({
            url: '../api/words/' + encodeURIComponent(w), method: 'PUT',
            contentType: 'application/json', data: JSON.stringify(body), dataType: 'json',
            timeout: TIMEOUT_MS
        }).fail(function () {
            if (before === undefined) self.cache.delete(w); else self.cache.set(w, before);
            self.changed();
        });
    };

    // Every word of text marked (the start, when everything is new): one import, the cache at
    // once. Words counted as another form keep it: their written form is marked too.
    WordStatus.prototype.setLine = function (text, status) { return this.setWords(lineWords(text), status); };

    // The words of a phrase looked up that are neither learning nor known yet, marked learning.
    WordStatus.prototype.learnWords = function (list) {
        var self = this;
        return this.setWords(list.filter(function (w) {
            var status = self.status(w);
            return status !== 'learning' && status !== 'known';
        }), 'learning');
    };

    // The words of list (as the service keys them) marked at once, as setLine does.
    WordStatus.prototype.setWords = function (given, status) {
        var self = this, seen = {}, list = [];
        given.map(key).forEach(function (w) {
            if (seen[w] || self.cache.get(w) === status) return;
            seen[w] = true;
            list.push(w);
        });
        if (!list.length) return null;
        var before = list.map(function (w) { return self.cache.get(w); });
        list.forEach(function (w) { self.cache.set(w, status); });
        this.changed();
        return this.ajax({
            url: '../api/words/import?status=' + status, method: 'POST',
            contentType: 'text/plain; charset=utf-8', data: list.join('\n'), dataType: 'json',
            timeout: TIMEOUT_MS
        }).fail(function () {
            list.forEach(function (w, i) {
                if (before[i] === undefined) self.cache.delete(w); else self.cache.set(w, before[i]);
            });
            self.changed();
        });
    };

    // The first line after index whose text has exactly one new word, or -1. texts: the
    // lines' texts.
    function nextSingleNew(texts, index, cache) {
        for (var i = Math.max(-1, index) + 1; i < texts.length; ++i) {
            if (countNew(texts[i], cache) === 1) return i;
        }
        return -1;
    }

    // The form a looked-up word counts as at first: the first single word the dictionary
    // proposes for it, else the word itself (a phrase's words count as themselves).
    function formFor(written, answer) {
        var forms = (answer && answer.wordCount <= 1 && Array.isArray(answer.forms)) ? answer.forms : [];
        for (var i = 0; i < forms.length; ++i) {
            if (typeof forms[i] === 'string' && /^[^\s]{1,64}$/.test(forms[i])) return key(forms[i]);
        }
        return key(written);
    }

    function statusName(status) {
        return status === 'known' ? L10n.text('Known') : status === 'learning' ? L10n.text('Learning') : L10n.text('New');
    }

    // The card's line about the word: its status, a button to mark it known (or learning again)
    // and which form it counts as. statuses: a WordStatus; the bar redraws itself on changes.
    function fillCard(document, body, written, forms, form, statuses) {
        var bar = body.querySelector('.word-status') || body.appendChild(document.createElement('div'));
        bar.className = 'word-status';
        bar.textContent = '';
        var status = statuses.status(form) || statuses.status(written) || 'new';
        var label = bar.appendChild(document.createElement('span'));
        label.className = 'ws-label ' + CLASSES[status];
        label.textContent = statusName(status);
        var button = bar.appendChild(document.createElement('button'));
        button.type = 'button';
        button.className = 'ws-toggle';
        var next = status === 'known' ? 'learning' : 'known';
        button.textContent = status === 'known' ? L10n.text('Still learning') : L10n.text('Known (K)');
        button.addEventListener('click', function () {
            statuses.set(written, next, form);
            fillCard(document, body, written, forms, form, statuses);
        });
        var choices = [form].concat(forms.map(key), [key(written)]).filter(function (f, i, all) {
            return /^[^\s]{1,64}$/.test(f) && all.indexOf(f) === i;
        });
        if (choices.length < 2) return bar;
        var pick = bar.appendChild(document.createElement('label'));
        pick.appendChild(document.createTextNode(L10n.text('Counts as') + ' '));
        var select = pick.appendChild(document.createElement('select'));
        choices.forEach(function (f) {
            var option = select.appendChild(document.createElement('option'));
            option.value = f;
            option.textContent = f;
        });
        select.value = form;
        select.addEventListener('change', function () {
            var chosen = select.value;
            statuses.set(written, status, chosen);
            fillCard(document, body, written, forms, chosen, statuses);
            body.lirraForm = chosen;
        });
        return bar;
    }

    return { WordStatus: WordStatus, key: key, formFor: formFor, fillCard: fillCard, lineWords: lineWords, countNew: countNew,
             paint: paint, nextSingleNew: nextSingleNew, CLASSES: CLASSES };
});

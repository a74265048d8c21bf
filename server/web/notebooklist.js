// SPDX-License-Identifier: GPL-3.0-or-later
// The notebook page's parts that need no page: an item drawn as nodes (its strings as text
// only), the arguments of "Watch this moment" for the bridge, sending many items to Anki in
// small batches with progress, and the sentence that sums a sending up.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory(require('./timefmt.js'));
    else (root.Lirra = root.Lirra || {}).notebooklist = factory(root.Lirra.timefmt);
})(this, function (timefmt) {
    'use strict';

    var BATCH = 4;           // items per request: a card with media takes a moment each
    var MAX_PATH_BYTES = 4096;
    var ALPHABET = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_';

    function str(value) { return typeof value === 'string' ? value : ''; }

    function utf8(text) {
        var bytes = [];
        for (var i = 0; i < text.length; ++i) {
            var c = text.codePointAt(i);
            if (c > 0xffff) ++i;
            if (c < 0x80) bytes.push(c);
            else if (c < 0x800) bytes.push(0xc0 | c >> 6, 0x80 | c & 63);
            else if (c < 0x10000) bytes.push(0xe0 | c >> 12, 0x80 | c >> 6 & 63, 0x80 | c & 63);
            else bytes.push(0xf0 | c >> 18, 0x80 | c >> 12 & 63, 0x80 | c >> 6 & 63, 0x80 | c & 63);
        }
        return bytes;
    }

    // The URL-safe base64 of the text's UTF-8, without padding: the bridge sends only values
    // that need no escaping, and a path may hold any character.
    function base64Url(text) {
        var bytes = utf8(text), out = '';
        for (var i = 0; i < bytes.length; i += 3) {
            var n = bytes[i] << 16 | (bytes[i + 1] || 0) << 8 | (bytes[i + 2] || 0);
            out += ALPHABET[n >> 18 & 63] + ALPHABET[n >> 12 & 63];
            if (i + 1 < bytes.length) out += ALPHABET[n >> 6 & 63];
            if (i + 2 < bytes.length) out += ALPHABET[n & 63];
        }
        return out;
    }

    // The arguments of the WatchMoment command for an item, or null when its video's file is
    // not known (or its path is too long to send).
    function momentArguments(item) {
        var file = str(item && item.videoFile);
        if (!file || file.charAt(0) !== '/' || utf8(file).length > MAX_PATH_BYTES) return null;
        var ms = Number(item.startMs);
        if (!isFinite(ms) || ms < 0) return null;
        return { file: base64Url(file), ms: Math.floor(ms) };
    }

    function el(document, tag, className, text) {
        var node = document.createElement(tag);
        if (className) node.className = className;
        if (text) node.appendChild(document.createTextNode(text));
        return node;
    }

    function button(document, className, text, title) {
        var b = el(document, 'button', className, text);
        b.type = 'button';
        if (title) b.title = title;
        return b;
    }

    // One item as an <li data-id>: the word, the line, its translation, the definition, then
    // its video and time, whether it is in Anki, and its buttons.
    function itemNode(document, item) {
        var li = el(document, 'li');
        li.setAttribute('data-id', String(Number(item.id)));
        var main = li.appendChild(el(document, 'div', 'main'));
        // The English texts say so; the translation, of a language the item does not name, finds
        // its direction itself.
        if (str(item.word)) main.appendChild(el(document, 'p', 'word', str(item.word))).setAttribute('lang', 'en');
        main.appendChild(el(document, 'p', 'sentence', str(item.text))).setAttribute('lang', 'en');
        if (str(item.translation)) main.appendChild(el(document, 'p', 'translation', str(item.translation))).setAttribute('dir', 'auto');
        if (str(item.definition)) main.appendChild(el(document, 'p', 'definition', str(item.definition)));
        var actions = li.appendChild(el(document, 'div', 'actions'));
        if (momentArguments(item)) {
            actions.appendChild(button(document, 'watch', L10n.text('Watch this moment'), L10n.text('Play the video from this line')));
        }
        if (!item.sent) actions.appendChild(button(document, 'send', L10n.text('Send to Anki')));
        actions.appendChild(button(document, 'delete', L10n.text('Delete')));
        var meta = li.appendChild(el(document, 'div', 'meta'));
        meta.appendChild(el(document, 'span', 'video', str(item.videoName) + ' · ' +
                            timefmt.formatClock(Number(item.startMs) || 0)));
        if (item.sent) meta.appendChild(el(document, 'span', 'sent', L10n.text('In Anki')));
        return li;
    }

    // A sending's totals in a sentence: {added, duplicates, failed: [{id, error}],
    // withoutMedia: [{id, reason}], error}.
    function summary(totals) {
        var parts = [];
        if (totals.added) parts.push(L10n.plural(totals.added, '{n} card added to Anki', '{n} cards added to Anki'));
        if (totals.duplicates) parts.push(L10n.plural(totals.duplicates, '{n} already in Anki', '{n} already in Anki'));
        var text = parts.length ? L10n.text('{list}.', { list: parts.join(L10n.text(', ')) }) : '';
        if (totals.withoutMedia.length) {
            text += ' ' + L10n.plural(totals.withoutMedia.length, '{n} without picture or sound: {reason}.',
                                      '{n} without picture or sound: {reason}.', { reason: totals.withoutMedia[0].reason });
        }
        if (totals.error) {
            return (text ? text + ' ' : '') + L10n.text('Stopped: {error}. Nothing is lost; send again later.', { error: totals.error });
        }
        if (totals.failed.length) {
            text += ' ' + L10n.plural(totals.failed.length, '{n} not sent: {error}.', '{n} not sent: {error}.', { error: totals.failed[0].error });
        }
        return text.trim() || L10n.text('Nothing to send.');
    }

    // Sends ids to Anki BATCH at a time, one request after another. post(ids) returns a
    // jQuery-like promise of the service's answer; progress(done, total) after each batch;
    // finished(totals) at the end, or as soon as a batch says why it stopped.
    function sendAll(ids, post, progress, finished) {
        var totals = { added: 0, duplicates: 0, failed: [], withoutMedia: [], error: '' };
        var at = 0;
        (function next() {
            if (at >= ids.length) { finished(totals); return; }
            var batch = ids.slice(at, at + BATCH);
            post(batch).done(function (answer) {
                answer = answer || {};
                totals.added += Number(answer.added) || 0;
                totals.duplicates += Number(answer.duplicates) || 0;
                totals.failed = totals.failed.concat(Array.isArray(answer.failed) ? answer.failed : []);
                totals.withoutMedia = totals.withoutMedia.concat(Array.isArray(answer.withoutMedia) ? answer.withoutMedia : []);
                at += batch.length;
                progress(at, ids.length);
                if (str(answer.error)) {
                    totals.error = answer.error;
                    finished(totals);
                    return;
                }
                next();
            }).fail(function (xhr) {
                totals.error = xhr && xhr.responseJSON && str(xhr.responseJSON.error) || L10n.text('the service did not answer');
                finished(totals);
            });
        })();
    }

    return { itemNode: itemNode, momentArguments: momentArguments, base64Url: base64Url,
             summary: summary, sendAll: sendAll, BATCH: BATCH };
});

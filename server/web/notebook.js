// SPDX-License-Identifier: GPL-3.0-or-later
// The notebook page: the learner's saved lines and words, newest first, with a search; each
// can be deleted, sent to Anki or, when the service has its video's file, watched from its line
// (the command WatchMoment to the app). All unsent items go to Anki in batches with progress.
(function () {
    'use strict';

    var L = window.Lirra;
    var LIMIT = 200;
    var SEARCH_DELAY_MS = 200;
    var bridge, nl = L.notebooklist;
    var items = {};          // id -> item, as last listed
    var asked = 0;           // answers to older lists are dropped
    var searchTimer = null;
    var sending = false;

    function status(text, failed) {
        $('#status').text(text || '').toggleClass('failed', !!failed);
    }

    function reason(xhr) {
        return xhr && xhr.responseJSON && typeof xhr.responseJSON.error === 'string'
            ? xhr.responseJSON.error : L10n.text('the service did not answer');
    }

    function sending(done, total) {
        return L10n.text('Sending to Anki: {done} of {total}…', { done: L10n.number(done), total: L10n.number(total) });
    }

    function show(list, query) {
        var ol = $('#items').empty();
        items = {};
        list.forEach(function (item) {
            items[item.id] = item;
            ol.append(nl.itemNode(document, item));
        });
        if (!list.length) {
            $('<li class="empty">').text(query ? L10n.text('Nothing in the notebook holds “{query}”.', { query: query })
                : L10n.text('Nothing saved yet. While a video plays, S saves the line, and a word\'s card has Save word.'))
                .appendTo(ol);
        }
    }

    function load() {
        var query = $.trim($('#search').val());
        var question = ++asked;
        $.ajax({ url: '../api/notebook?limit=' + LIMIT + '&query=' + encodeURIComponent(query),
                 dataType: 'json', timeout: 10000 })
            .done(function (answer) {
                if (question !== asked) return;
                show(answer && $.isArray(answer.items) ? answer.items : [], query);
            })
            .fail(function (xhr) { if (question === asked) status(L10n.text('The notebook could not be read: {reason}', { reason: reason(xhr) }), true); });
    }

    function postAnki(ids) {
        return $.ajax({ url: '../api/notebook/anki', method: 'POST', contentType: 'application/json',
                        data: JSON.stringify({ ids: ids }), dataType: 'json', timeout: 120000 });
    }

    function send(ids) {
        if (sending || !ids.length) {
            if (!ids.length) status(L10n.text('Everything is in Anki already.'));
            return;
        }
        sending = true;
        $('#send-all, #items .send').prop('disabled', true);
        status(ids.length > 1 ? sending(0, ids.length) : L10n.text('Sending to Anki…'));
        nl.sendAll(ids, postAnki, function (done, total) {
            if (total > 1) status(sending(done, total));
        }, function (totals) {
            sending = false;
            $('#send-all').prop('disabled', false);
            status(nl.summary(totals), !!totals.error || totals.failed.length > 0);
            load();
        });
    }

    function sendAllUnsent() {
        $.ajax({ url: '../api/notebook?unsent=1&limit=500', dataType: 'json', timeout: 10000 })
            .done(function (answer) {
                var list = answer && $.isArray(answer.items) ? answer.items : [];
                // The oldest first, as they were saved.
                send(list.map(function (item) { return item.id; }).reverse());
            })
            .fail(function (xhr) { status(L10n.text('The notebook could not be read: {reason}', { reason: reason(xhr) }), true); });
    }

    function remove(id) {
        $.ajax({ url: '../api/notebook/' + id, method: 'DELETE', dataType: 'json', timeout: 10000 })
            .done(function () {
                $('#items li[data-id="' + id + '"]').remove();
                delete items[id];
                status(L10n.text('Deleted.'));
                if (!$('#items li').length) show([], $.trim($('#search').val()));
            })
            .fail(function (xhr) { status(L10n.text('Not deleted: {reason}', { reason: reason(xhr) }), true); });
    }

    function watch(id) {
        var args = nl.momentArguments(items[id]);
        if (!args || !bridge.command('WatchMoment', args)) {
            status(L10n.text('This video\'s file is not known to Lirra.'), true);
            return;
        }
        status(L10n.text('Opening {video}…', { video: items[id].videoName }));
    }

    $(function () {
        var storage = null;
        try { storage = window.localStorage; } catch (e) { /* storage switched off */ }
        var prefs = new L.prefs.Prefs(storage);
        bridge = L.bridge.forPage(window, $);
        var code = L.languages.initial(prefs.language(), navigator.languages);
        $('#selectedLanguage .flag').attr('class', 'flag small ' + code).text(code);

        $('#search').on('input', function () {
            clearTimeout(searchTimer);
            searchTimer = setTimeout(load, SEARCH_DELAY_MS);
        });
        $('#send-all').on('click', sendAllUnsent);
        $('#items').on('click', 'button', function () {
            var id = Number($(this).closest('li').attr('data-id'));
            if ($(this).hasClass('delete')) remove(id);
            else if ($(this).hasClass('send')) send([id]);
            else if ($(this).hasClass('watch')) watch(id);
        });
        // Back from a video the app tells the page it is shown again.
        $(window).on('refreshLevel', load);
        load();
    });
})();

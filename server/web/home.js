// SPDX-License-Identifier: GPL-3.0-or-later
// Home page: the learner's language (the app reads it from the class "flag small CODE" of
// #selectedLanguage .flag), recent videos and watch statistics, a first-run tour, and the
// command "EnableDraggableHomeScreen" that tells the app the page is ready for drops.
(function () {
    'use strict';

    var L = window.Lirra;
    var RECENT_SHOWN = 8;
    var bridge, prefs;

    function sendCommand(name) { bridge.command(name); }

    // The app reads the code back from the class: "flag small CODE", exactly. A language the
    // learner chose is kept, and the page's own words follow it at once.
    function setLanguage(code, chosen) {
        $('#selectedLanguage .flag').attr('class', 'flag small ' + code).text(code);
        $('#languageSelect').val(code);
        if (!chosen) return;
        prefs.setLanguage(code);
        L10n.setLanguage(L10n.forLearner(code));
    }

    function fillLanguages(select) {
        select.empty();
        L.languages.LIST.forEach(function (l) {
            $('<option>').val(l.code).text(l.name + ' — ' + L.languages.label(l.code)).attr('lang', L10n.forLearner(l.code))
                .appendTo(select);
        });
    }

    function showRecent(videos) {
        var list = $('#recent-videos').empty();
        var now = Date.now();
        videos.slice(0, RECENT_SHOWN).forEach(function (video) {
            var count = Number(video.trackCount) || 0;
            var subs = count === 0 ? L10n.text('no subtitles') : L10n.plural(count, '{n} subtitle file', '{n} subtitle files');
            $('<li>')
                .append($('<span class="name">').text(String(video.fileName)).attr('title', String(video.fileName)))
                .append($('<span class="meta">').text(subs + ' · ' + L.timefmt.formatAgo(video.lastSeen, now)))
                .appendTo(list);
        });
        if (!videos.length) {
            $('<li class="empty">').text(L10n.text('Videos you open appear here.')).appendTo(list);
        }
    }

    function showStats(videos) {
        var s = L.stats.summarize(videos, Date.now());
        $('#stat-streak').text(L10n.number(s.streak));
        $('#stat-week').text(L10n.number(s.thisWeek));
        $('#stat-videos').text(L10n.number(s.videos));
        $('#stat-subtitles').text(L10n.number(s.subtitles));
    }

    function refreshLevel() {
        return $.getJSON('../api/videos/recent?limit=200').done(function (data) {
            var videos = data && $.isArray(data.videos) ? data.videos : [];
            showRecent(videos);
            showStats(videos);
        });
    }

    // Why the last video could not be played, as the player said it (none: nothing to say).
    function showOpenFailure(reason) {
        var text = typeof reason === 'string' ? reason.trim() : '';
        $('#open-reason').text(text ? L10n.text('The last video could not be played: {reason}', { reason: text }) : '').prop('hidden', !text);
    }

    function showTutorial() {
        $('#tutorial').prop('hidden', false);
        $('#close-tutorial').focus();
        // The tour needs some height; the app grows a small window to fit it.
        sendCommand('ResizeForTutorial');
    }

    function closeTutorial() {
        $('#tutorial').prop('hidden', true);
        prefs.setPlayer({ tutorialSeen: true });
    }

    $(function () {
        var storage = null;
        try { storage = window.localStorage; } catch (e) { /* storage switched off */ }
        bridge = L.bridge.forPage(window, $);
        prefs = new L.prefs.Prefs(storage);

        var select = $('#languageSelect');
        fillLanguages(select);
        setLanguage(L.languages.initial(prefs.language(), navigator.languages), false);
        L10n.onChange(function () {
            fillLanguages(select);
            select.val(L.languages.initial(prefs.language(), navigator.languages));
            L.labels.apply($, L.labels.HOME);
            refreshLevel();
        });
        select.on('change', function () { setLanguage($(this).val(), true); });

        // Drops are the app's; in a plain browser a dropped file must not replace the page.
        $(document).on('dragover drop', function (e) { e.preventDefault(); });
        $('#show-tutorial').on('click', function (e) { e.preventDefault(); showTutorial(); });
        $('#close-tutorial').on('click', closeTutorial);

        // Back from a video, the window has the video's size: ask for the home page's height
        // again (the app only ever grows the window for it).
        $(window).on('refreshLevel', function () {
            sendCommand('ResizeForTutorial');
            refreshLevel();
        });
        $(window).on('nativeApp:openFailed', function (e, reason) { showOpenFailure(reason); });
        L.labels.apply($, L.labels.HOME);
        refreshLevel();
        if (!prefs.player().tutorialSeen) showTutorial();
        sendCommand('EnableDraggableHomeScreen');
    });
})();

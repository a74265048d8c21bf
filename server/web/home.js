// Home page: the learner's language (kept in localStorage), the recent videos, and the
// "EnableDraggableHomeScreen" command that tells the app the page is ready for drops.
(function () {
    'use strict';

    var STORAGE_KEY = 'lirra.nativeLanguage';
    var DEFAULT_LANGUAGE = 'spa';
    var LANGUAGES = [
        ['spa', 'Español'], ['fre', 'Français'], ['ger', 'Deutsch'], ['ita', 'Italiano'],
        ['por', 'Português'], ['rus', 'Русский'], ['ukr', 'Українська'], ['pol', 'Polski'],
        ['tur', 'Türkçe'], ['ara', 'العربية'], ['chi', '中文'], ['jpn', '日本語'],
        ['kor', '한국어'], ['vie', 'Tiếng Việt'], ['hin', 'हिन्दी'], ['dut', 'Nederlands']
    ];

    function isKnown(code) {
        return LANGUAGES.some(function (l) { return l[0] === code; });
    }

    function storedLanguage() {
        try { return window.localStorage.getItem(STORAGE_KEY); } catch (e) { return null; }
    }

    // The app reads the code back from the class: "flag small CODE", exactly.
    function setLanguage(code) {
        $('#selectedLanguage .flag').attr('class', 'flag small ' + code);
        $('#languageSelect').val(code);
        try { window.localStorage.setItem(STORAGE_KEY, code); } catch (e) { /* private mode */ }
    }

    // Commands reach the app as navigations to app:///Execute/NAME; a fresh frame per command
    // so that the same command can be sent twice.
    function sendCommand(name) {
        var frame = $('<iframe class="bridge" aria-hidden="true"></iframe>').appendTo('body');
        frame.attr('src', 'app:///Execute/' + name);
        setTimeout(function () { frame.remove(); }, 1000);
    }

    function refreshRecentVideos() {
        $.getJSON('../api/videos/recent?limit=20').done(function (data) {
            var list = $('#recent-videos').empty();
            (data.videos || []).forEach(function (video) {
                var tracks = video.trackCount === 1 ? '1 subtitle' : video.trackCount + ' subtitles';
                $('<li>').text(video.fileName + ' — ' + tracks).appendTo(list);
            });
        });
    }

    $(function () {
        var select = $('#languageSelect');
        LANGUAGES.forEach(function (l) { $('<option>').val(l[0]).text(l[1]).appendTo(select); });
        var stored = storedLanguage();
        setLanguage(isKnown(stored) ? stored : DEFAULT_LANGUAGE);
        select.on('change', function () { setLanguage($(this).val()); });
        $(window).on('refreshLevel', refreshRecentVideos);
        refreshRecentVideos();
        sendCommand('EnableDraggableHomeScreen');
    });
})();

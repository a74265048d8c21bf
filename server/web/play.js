// Player page: shows the current cue of the English track over the video. The app sends the
// position as the jQuery event "timeUpdate" with milliseconds.
(function () {
    'use strict';

    var cues = [];
    var shown = null;

    function videoId() {
        var match = /[?&]videoId=(\d+)/.exec(window.location.search);
        return match ? match[1] : null;
    }

    // The English track, else one whose language is unknown, else the first.
    function chooseTrack(tracks) {
        return tracks.filter(function (t) { return t.language === 'eng'; })[0] ||
            tracks.filter(function (t) { return t.language === ''; })[0] || tracks[0] || null;
    }

    function loadTracks() {
        var id = videoId();
        if (id === null) return;
        $.getJSON('../api/videos/' + id + '/tracks').done(function (data) {
            var track = chooseTrack(data.tracks || []);
            cues = track ? track.cues : [];
            shown = null;
        });
    }

    // The last cue starting at or before ms, if it has not ended yet.
    function cueAt(ms) {
        var lo = 0, hi = cues.length - 1, found = -1;
        while (lo <= hi) {
            var mid = (lo + hi) >> 1;
            if (cues[mid].start <= ms) { found = mid; lo = mid + 1; } else { hi = mid - 1; }
        }
        return found >= 0 && ms < cues[found].end ? cues[found] : null;
    }

    function show(ms) {
        var cue = cueAt(ms);
        if (cue === shown) return;
        shown = cue;
        // Cue text comes escaped from the service with only <b>, <i> and <u> left in it.
        $('#next-sub').html(cue ? cue.text.replace(/\n/g, '<br>') : '');
    }

    function addSubtitle(file) {
        var id = videoId();
        if (id === null || !file) return;
        var form = new FormData();
        form.append('file', file, file.name);
        $.ajax({ url: '../api/videos/' + id + '/subtitles', method: 'POST', data: form,
                 processData: false, contentType: false }).done(loadTracks);
    }

    $(function () {
        $(window).on('timeUpdate', function (e, ms) { show(Number(ms)); });
        $('#subtitle-file').on('change', function () { addSubtitle(this.files[0]); this.value = ''; });
        loadTracks();
    });
})();

// SPDX-License-Identifier: GPL-3.0-or-later
// The video's subtitle files at the service: loading the tracks it holds, and adding a file the
// learner chose in the page.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).subtitlefiles = factory();
})(this, function () {
    'use strict';

    var TIMEOUT_MS = 8000;
    var RETRY_MS = [1000, 2000, 4000, 8000];  // waits before asking for the tracks again
    // While the service still works on the video (reading the tracks inside it), it is asked
    // again this often, for at most this long.
    var PENDING_POLL_MS = 2000;
    var PENDING_MAX_MS = 2 * 60 * 1000;
    var MAX_FILE_BYTES = 8 * 1024 * 1024;
    var FILE_NAME = /\.(srt|sub|vtt)$/i;

    // What keeps a chosen file from being sent, as the learner is told it; null when it may go.
    function fileProblem(file) {
        if (!FILE_NAME.test(file.name)) return L10n.text('Choose a .srt, .sub or .vtt file.');
        if (file.size > MAX_FILE_BYTES) return L10n.text('That file is too large for a subtitle file.');
        return null;
    }

    // options: videoId (null: none), ajax (jQuery's, or one with the same done/fail answer),
    // toast(text), setTimeout, now() (ms), newForm() (a FormData).
    function SubtitleFiles(options) {
        this.videoId = options.videoId;
        this.ajax = options.ajax;
        this.toast = options.toast;
        this.setTimeout = options.setTimeout || function (fn, ms) { return setTimeout(fn, ms); };
        this.now = options.now || function () { return Date.now(); };
        this.newForm = options.newForm || function () { return new FormData(); };
    }

    // The page may come up while the app is still handing the service the files it found, and
    // a busy engine can hold the first request back for seconds: a failed or empty answer is
    // asked again a few times before the learner is told. An answer that says the service is
    // still working ("pending") is asked again every 2 s, for at most 2 minutes, whatever it
    // held. onAnswer(tracks, fileName or null, whether it is asked again because the service
    // still works) returns whether the page now holds any track.
    SubtitleFiles.prototype.load = function (onAnswer, attempt, pendingSince) {
        attempt = attempt || 0;
        if (this.videoId === null) return;
        var self = this;
        var last = attempt + 1 >= RETRY_MS.length;
        var again = function () {
            self.setTimeout(function () { self.load(onAnswer, attempt + 1, pendingSince); }, RETRY_MS[attempt]);
        };
        this.ajax({ url: '../api/videos/' + this.videoId + '/tracks', dataType: 'json',
                    cache: false, timeout: TIMEOUT_MS }).done(function (data) {
            var held = data && Array.isArray(data.tracks) ? data.tracks : [];
            var name = data && typeof data.fileName === 'string' ? data.fileName : null;
            var since = pendingSince === undefined ? self.now() : pendingSince;
            var polling = !!data && data.pending === true && self.now() - since < PENDING_MAX_MS;
            var holds = onAnswer(held, name, polling);
            if (polling) {
                self.setTimeout(function () { self.load(onAnswer, attempt, since); }, PENDING_POLL_MS);
                return;
            }
            if (holds) return;
            if (!last) again();
            else self.toast(L10n.text('No subtitles yet: add a file in the Subtitles menu.'));
        }).fail(function () {
            if (!last) again();
            else self.toast(L10n.text('The subtitles could not be loaded.'));
        });
    };

    // Sends file to the service; onAdded(tracks) gets the tracks it found in it (at least one).
    SubtitleFiles.prototype.add = function (file, onAdded) {
        if (!file || this.videoId === null) return;
        var problem = fileProblem(file);
        if (problem) {
            this.toast(problem);
            return;
        }
        var self = this;
        var form = this.newForm();
        form.append('file', file, file.name);
        this.toast(L10n.text('Adding {file}…', { file: file.name }));
        this.ajax({ url: '../api/videos/' + this.videoId + '/subtitles', method: 'POST', data: form,
                    processData: false, contentType: false, dataType: 'json' })
            .done(function (data) {
                var added = data && Array.isArray(data.tracks) ? data.tracks : [];
                if (!added.length) self.toast(L10n.text('No subtitles were found in {file}.', { file: file.name }));
                else onAdded(added);
            })
            .fail(function (xhr) {
                var message = xhr && xhr.responseJSON && typeof xhr.responseJSON.error === 'string'
                    ? xhr.responseJSON.error : L10n.text('the service did not answer');
                self.toast(L10n.text('Could not add {file}: {reason}', { file: file.name, reason: message }));
            });
    };

    return { SubtitleFiles: SubtitleFiles, fileProblem: fileProblem, RETRY_MS: RETRY_MS,
             PENDING_POLL_MS: PENDING_POLL_MS, PENDING_MAX_MS: PENDING_MAX_MS,
             MAX_FILE_BYTES: MAX_FILE_BYTES };
});

// SPDX-License-Identifier: GPL-3.0-or-later
// The home page's part about words: how many the learner knows and is learning, importing a
// list of known words (a text file, one word per line, any case and encoding: the service
// reads it) and exporting theirs, and whether the player colours new words too.
(function () {
    'use strict';

    var L = window.Lirra;

    function showCounts() {
        $.ajax({ url: '../api/words/counts', dataType: 'json' }).done(function (c) {
            $('#words-known').text(L10n.number(Number(c.known) || 0));
            $('#words-learning').text(L10n.number(Number(c.learning) || 0));
        });
    }

    function importFile(file) {
        var note = $('#words-note').text(L10n.text('Importing {file}…', { file: file.name }));
        $.ajax({
            url: '../api/words/import?status=known', method: 'POST', data: file,
            processData: false, contentType: 'text/plain', dataType: 'json'
        }).done(function (answer) {
            note.text(L10n.plural(Number(answer.words) || 0, 'Imported {n} word, {changed} of them newly marked known.',
                                  'Imported {n} words, {changed} of them newly marked known.',
                                  { changed: L10n.number(Number(answer.changed) || 0) }));
            showCounts();
        }).fail(function (xhr) {
            var reason = xhr.status === 413 ? L10n.text('the file is too large (16 MB at most)')
                : xhr.responseJSON && typeof xhr.responseJSON.error === 'string' ? xhr.responseJSON.error
                : L10n.text('the service did not answer');
            note.text(L10n.text('Nothing imported: {reason}.', { reason: reason }));
        });
    }

    $(function () {
        var prefs = new L.prefs.Prefs((function () { try { return window.localStorage; } catch (e) { return null; } })());
        $('#words-mark-new').prop('checked', prefs.player().markNew).on('change', function () {
            prefs.setPlayer({ markNew: this.checked });
        });
        $('#words-import').on('click', function () { $('#words-file').val('').trigger('click'); });
        $('#words-file').on('change', function () { if (this.files && this.files[0]) importFile(this.files[0]); });
        showCounts();
        // Back from a video, where words may have been marked.
        $(window).on('refreshLevel', showCounts);
    });
})();

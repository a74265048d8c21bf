// SPDX-License-Identifier: GPL-3.0-or-later
// The Subtitles menu: for each line the track it shows, whether it shows and its timing, and
// the button that adds a subtitle file. What the learner picks goes to the page's handlers.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) {
        module.exports = factory(require('./cues.js'), require('./timefmt.js'), require('./languages.js'));
    } else {
        var L = root.Lirra = root.Lirra || {};
        L.subtitlemenu = factory(L.cues, L.timefmt, L.languages);
    }
})(this, function (cues, timefmt, languages) {
    'use strict';

    var LINES = ['target', 'native'];

    function trackLabel(t) {
        return (t.language ? languages.label(t.language) : L10n.text('Unknown language')) + ' · ' + t.fileName;
    }

    // menu: jQuery object of #subtitle-menu. handlers: choose(line, trackId), shift(line, ms or
    // null for the file's timing), show(line, on), align(on) (the service's timing fits),
    // addFile(file or undefined).
    function SubtitleMenu($, menu, handlers) {
        this.$ = $;
        this.menu = menu;
        var lineOf = function (el) { return $(el).closest('[data-line]').data('line'); };
        menu.on('click', '.choice', function () {
            handlers.choose(lineOf(this), Number($(this).data('track')));
        }).on('click', '.offset-minus, .offset-plus, .offset-reset', function () {
            var delta = $(this).hasClass('offset-reset') ? null
                : $(this).hasClass('offset-plus') ? cues.OFFSET_STEP_MS : -cues.OFFSET_STEP_MS;
            handlers.shift(lineOf(this), delta);
        }).on('change', '.show-line', function () {
            handlers.show(lineOf(this), this.checked);
            this.blur();
        }).on('change', '#match-timing', function () {
            handlers.align(this.checked);
            this.blur();
        });
        menu.find('#subtitle-file').on('change', function () {
            handlers.addFile(this.files && this.files[0]);
            this.value = '';
        });
    }

    SubtitleMenu.prototype.section = function (line) {
        return this.menu.find('[data-line="' + line + '"]');
    };

    // Everything anew: the tracks to choose from (lineTracks: a tracks.LineTracks), the
    // offsets, the show boxes (shown: the player settings) and the other line's language.
    SubtitleMenu.prototype.build = function (lineTracks, shown, nativeTitle) {
        var $ = this.$, self = this;
        this.menu.find('.native-title').text(L10n.text('{language} line', { language: nativeTitle }));
        LINES.forEach(function (line) {
            var box = self.section(line).find('.track-choices').empty();
            var add = function (id, text) {
                $('<button type="button" class="choice">').text(text).attr('data-track', id)
                    .toggleClass('current', lineTracks.lines[line].trackId === id).appendTo(box);
            };
            add(-1, L10n.text('None'));
            lineTracks.list.forEach(function (t) { add(t.subtitleId, trackLabel(t)); });
        });
        this.showOffsets(lineTracks);
        this.showChecked('target', shown.showTarget);
        this.showChecked('native', shown.showNative);
    };

    SubtitleMenu.prototype.showOffsets = function (lineTracks) {
        var self = this;
        LINES.forEach(function (line) {
            self.section(line).find('.offset-value').text(timefmt.formatOffset(lineTracks.lines[line].offset));
        });
    };

    // Whether the timing fits apply, and what they do (null: nothing to say).
    SubtitleMenu.prototype.showAlignment = function (on, note) {
        this.menu.find('#match-timing').prop('checked', on);
        this.menu.find('.match-note').text(on ? note || '' : L10n.text('Each line keeps its file\'s timing.'));
    };

    SubtitleMenu.prototype.showChecked = function (line, on) {
        this.section(line).find('.show-line').prop('checked', on);
    };

    return { SubtitleMenu: SubtitleMenu, trackLabel: trackLabel };
});

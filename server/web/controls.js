// SPDX-License-Identifier: GPL-3.0-or-later
// The control bar: what it shows (play button, clock and seek bar, volume, speed, audio track,
// full screen, file name), its speed and audio menus, and the steps of speed and volume.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory(require('./timefmt.js'));
    else (root.Lirra = root.Lirra || {}).controls = factory(root.Lirra.timefmt);
})(this, function (timefmt) {
    'use strict';

    var SPEEDS = [0.5, 0.6, 0.75, 0.85, 1, 1.1, 1.25, 1.5, 1.75, 2];
    var MAX_VOLUME = 200;   // the engine's scale, shown as 0..100 %

    function clampVolume(v) { return Math.max(0, Math.min(MAX_VOLUME, Math.round(v))); }

    function sameSpeed(a, b) { return Math.abs(a - b) < 1e-6; }

    // The speed one step slower (direction < 0) or faster than rate, or null past the ends; a
    // rate between two steps goes to the step beyond it in that direction.
    function nextSpeed(rate, direction) {
        var i = 0;
        while (i < SPEEDS.length - 1 && SPEEDS[i] < rate - 1e-6) ++i;
        var next = direction > 0 ? (sameSpeed(SPEEDS[i], rate) ? i + 1 : i) : i - 1;
        return next < 0 || next >= SPEEDS.length ? null : SPEEDS[next];
    }

    // The audio tracks of the player's AudioInfo ({audioTracks: {name: index}}), by index.
    function audioEntries(info) {
        return Object.keys(info.audioTracks).map(function (name) {
            return { name: name, index: Number(info.audioTracks[name]) };
        }).filter(function (e) { return isFinite(e.index); }).sort(function (a, b) { return a.index - b.index; });
    }

    function Controls($, document) {
        this.$ = $;
        this.document = document;
        this.seeking = false;   // the seek bar is being dragged: the clock leaves it alone
    }

    // The seek bar and the speed and audio menus. handlers: seek(seconds), speed(rate),
    // audioTrack(index).
    Controls.prototype.wire = function (handlers) {
        var $ = this.$, self = this;
        $('#seek').on('input', function () {
            self.seeking = true;
            self.showClock(Number(this.value) * 1000);
        }).on('change', function () {
            self.seeking = false;
            handlers.seek(Number(this.value));
            this.blur();
        });
        this.buildSpeedMenu();
        $('#speed-menu').on('click', 'button', function () { handlers.speed(Number($(this).data('speed'))); });
        $('#audio-menu').on('click', 'button', function () {
            handlers.audioTrack(Number($(this).data('track')));
            $('#audio-menu button').removeClass('current');
            $(this).addClass('current');
        });
    };

    Controls.prototype.showPlaying = function (playing) {
        var $ = this.$;
        $('#play-pause use').attr('href', playing ? '#i-pause' : '#i-play');
        $('#play-pause').attr('aria-label', playing ? L10n.text('Pause') : L10n.text('Play'));
        $('body').toggleClass('paused', !playing);
    };

    Controls.prototype.showDuration = function (ms) {
        this.$('#seek').attr('max', Math.floor(ms / 1000));
        this.$('#time-duration').text(timefmt.formatClock(ms));
    };

    Controls.prototype.showTime = function (ms) {
        if (this.seeking) return;
        this.$('#seek').val(Math.floor(ms / 1000));
        this.showClock(ms);
    };

    // The clock alone, while the seek bar is dragged.
    Controls.prototype.showClock = function (ms) { this.$('#time-current').text(timefmt.formatClock(ms)); };

    Controls.prototype.showVolume = function (volume, muted) {
        var $ = this.$;
        $('#volume').val(volume);
        $('#volume-value').text(muted ? L10n.text('Muted') : timefmt.formatVolume(volume));
        $('#mute use').attr('href', muted || volume === 0 ? '#i-muted' : '#i-volume');
        $('#mute').attr('aria-pressed', String(muted));
    };

    Controls.prototype.buildSpeedMenu = function () {
        var $ = this.$;
        var menu = $('#speed-menu');
        $('<h3>').text(L10n.text('Speed')).appendTo(menu);
        SPEEDS.forEach(function (s) {
            $('<button type="button" role="menuitemradio">').text(timefmt.formatSpeed(s))
                .attr('data-speed', s).appendTo(menu);
        });
    };

    Controls.prototype.showSpeed = function (rate) {
        var $ = this.$;
        $('#speed-button').text(timefmt.formatSpeed(rate));
        $('#speed-menu button').each(function () {
            $(this).toggleClass('current', sameSpeed(Number($(this).data('speed')), rate));
        });
    };

    Controls.prototype.buildAudioMenu = function (info) {
        var $ = this.$;
        var menu = $('#audio-menu').empty();
        var entries = audioEntries(info);
        $('<h3>').text(L10n.text('Audio track')).appendTo(menu);
        entries.forEach(function (e) {
            $('<button type="button" role="menuitemradio">').text(e.name).attr('data-track', e.index)
                .toggleClass('current', e.index === Number(info.audioTrack))
                .appendTo(menu);
        });
        $('#audio-button').text(entries.length > 1 ? L10n.text('Audio ({count})', { count: L10n.number(entries.length) }) : L10n.text('Audio'));
    };

    Controls.prototype.showFullscreen = function (on) {
        this.$('body').toggleClass('fullscreen', on);
        this.$('#fullscreen-state').text(on ? L10n.text('Leave full screen') : L10n.text('Full screen'));
    };

    Controls.prototype.showFileName = function (name) {
        this.$('#file-name').text(name).attr('title', name);
        this.document.title = name + ' — Lirra';
    };

    return { Controls: Controls, SPEEDS: SPEEDS, nextSpeed: nextSpeed, clampVolume: clampVolume,
             audioEntries: audioEntries };
});

// SPDX-License-Identifier: GPL-3.0-or-later
// Playing, line jumps, seeking, volume and speed: the commands the page sends the player for
// its controls and keys, and what the page knows of the player's state.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory(require('./controls.js'), require('./timefmt.js'));
    else (root.Lirra = root.Lirra || {}).transport = factory(root.Lirra.controls, root.Lirra.timefmt);
})(this, function (controls, timefmt) {
    'use strict';

    // options: bridge, playState, lineNav, autoPause, view (a controls.Controls), toast(text),
    // followed() (the track line jumps follow, or null).
    function Transport(options) {
        this.bridge = options.bridge;
        this.playState = options.playState;
        this.lineNav = options.lineNav;
        this.autoPause = options.autoPause;
        this.view = options.view;
        this.toast = options.toast;
        this.followed = options.followed;
        // time and duration in ms (null: not known); volume on the engine's 0..200 scale.
        this.player = { time: null, duration: null, volume: 200, muted: false, speed: 1, audio: null };
    }

    Transport.prototype.command = function (name, args) {
        if (name === 'Play') this.playState.commanded(true);
        if (name === 'Pause') this.playState.commanded(false);
        this.bridge.command(name, args);
        this.showPlaying();
    };

    Transport.prototype.showPlaying = function () { this.view.showPlaying(this.playState.isPlaying()); };
    Transport.prototype.showVolume = function () { this.view.showVolume(this.player.volume, this.player.muted); };

    // Each clock reading (ms, or anything else for none). Returns the time taken.
    Transport.prototype.clock = function (ms) {
        var t = typeof ms === 'number' && isFinite(ms) ? ms : null;
        this.player.time = t;
        this.lineNav.position(t);
        this.playState.clock(t);
        if (t !== null) this.autoPause.update(t, this.followed());
        return t;
    };

    Transport.prototype.togglePlay = function () {
        this.command(this.playState.isPlaying() ? 'Pause' : 'Play');
    };

    // kind: 'previous', 'next' or 'repeat'.
    Transport.prototype.jumpLine = function (kind) {
        var track = this.followed();
        var jump = this.lineNav.jump(track, kind);
        if (!jump) {
            this.toast(track ? (kind === 'next' ? L10n.text('That was the last line.') : L10n.text('No line before this one.'))
                             : L10n.text('No subtitles to move through.'));
            return;
        }
        this.goToJump(jump);
    };

    // The app knows the exact seek (its "Commands" reply names it): line jumps use it.
    Transport.prototype.knownCommands = function (names) {
        this.lineNav.exact = names.indexOf('SeekToMs') >= 0;
    };

    // A seek to a line's start: exact where the app can, else the whole second before it.
    Transport.prototype.seekToLine = function (jump) {
        if (this.lineNav.exact) this.command('SeekToMs', { ms: Math.round(jump.target) });
        else this.command('SeekTo', { position: jump.seconds });
    };

    // A jump from lineNav (a key, a button, the line list).
    Transport.prototype.goToJump = function (jump) {
        this.autoPause.jumped(jump.target);
        this.seekToLine(jump);
        this.command('Play');
    };

    // Whole seconds within the video (the end unknown: no upper bound).
    Transport.prototype.seekTo = function (seconds) {
        var p = this.player;
        var max = p.duration !== null ? Math.floor(p.duration / 1000) : Infinity;
        var position = Math.max(0, Math.min(max, Math.floor(seconds)));
        this.lineNav.forget();
        this.autoPause.seeked();
        this.command('SeekTo', { position: position });
    };

    Transport.prototype.seekBy = function (seconds) {
        if (this.player.time === null) return;
        this.seekTo(Math.floor(this.player.time / 1000) + seconds);
    };

    Transport.prototype.setVolume = function (v) {
        this.player.volume = controls.clampVolume(v);
        this.player.muted = false;  // the player unmutes on every volume change
        this.command('SetVolume', { volume: this.player.volume });
        this.showVolume();
    };

    Transport.prototype.stepVolume = function (delta) {
        this.setVolume(this.player.volume + delta);
        this.toast(L10n.text('Volume {volume}', { volume: timefmt.formatVolume(this.player.volume) }));
    };

    Transport.prototype.toggleMute = function () {
        this.player.muted = !this.player.muted;
        this.command('SetMuted', { muted: this.player.muted });
        this.showVolume();
        this.toast(this.player.muted ? L10n.text('Muted') : L10n.text('Sound on'));
    };

    Transport.prototype.setSpeed = function (rate) {
        this.player.speed = rate;
        this.command('SetPlaybackSpeed', { speed: rate });
        this.view.showSpeed(rate);
        this.toast(L10n.text('Speed {speed}', { speed: timefmt.formatSpeed(rate) }));
    };

    Transport.prototype.stepSpeed = function (direction) {
        var rate = controls.nextSpeed(this.player.speed, direction);
        if (rate !== null) this.setSpeed(rate);
    };

    Transport.prototype.setAudioTrack = function (track) {
        this.command('SetAudioTrack', { track: track });
        if (this.player.audio) this.player.audio.audioTrack = track;
    };

    return { Transport: Transport };
});

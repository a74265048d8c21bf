// SPDX-License-Identifier: GPL-3.0-or-later
// Whether the video is playing. The native side reports only the clock, so a clock that
// moves means playing and one that stands still means paused; right after the page sends
// Play or Pause, what it asked for is believed until the clock can confirm it.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).playstate = factory();
})(this, function () {
    'use strict';

    var STILL_MS = 1200;   // no clock movement for this long: paused
    var BELIEF_MS = 1500;  // how long a command's intent outweighs the clock
    var MAX_STEP_MS = 1500; // readings further apart are a seek, not playback

    function PlayState(now) {
        this.now = now || function () { return Date.now(); };
        this.lastTime = null;
        this.movedAt = null;
        this.intent = null;
    }

    PlayState.prototype.clock = function (t) {
        if (typeof t !== 'number' || !isFinite(t)) return;
        // Only a clock running forward counts; a seek while paused also moves it, by a jump.
        var step = this.lastTime === null ? 0 : t - this.lastTime;
        if (step > 0 && step <= MAX_STEP_MS) {
            this.movedAt = this.now();
            // A clock that moves confirms Play at once.
            if (this.intent && this.intent.playing) this.intent = null;
        }
        this.lastTime = t;
    };

    PlayState.prototype.commanded = function (playing) {
        this.intent = { playing: !!playing, at: this.now() };
    };

    PlayState.prototype.isPlaying = function () {
        var now = this.now();
        if (this.intent) {
            if (now - this.intent.at < BELIEF_MS) return this.intent.playing;
            this.intent = null;
        }
        return this.movedAt !== null && now - this.movedAt < STILL_MS;
    };

    return { PlayState: PlayState, STILL_MS: STILL_MS, BELIEF_MS: BELIEF_MS };
});
